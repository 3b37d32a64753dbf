#include "index/html_text.h"

#include <array>  // std::array

namespace quorvane {
namespace {

constexpr std::array<bool, 256> MakeKeptInLinks() {
  std::array<bool, 256> kept{};
  for (int c = 'A'; c <= 'Z'; ++c) kept[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) kept[c] = true;
  for (int c = '0'; c <= '9'; ++c) kept[c] = true;
  for (const char c : std::string_view(" -._~!$'()*+,;=@")) {
    kept[static_cast<unsigned char>(c)] = true;
  }
  return kept;
}

constexpr std::array<bool, 256> kKeptInLinks = MakeKeptInLinks();

// The bytes that page text writes as entities: markup's own, and control characters.
constexpr std::array<bool, 256> MakeEscapedInText() {
  std::array<bool, 256> escaped{};
  for (int c = 0; c < 0x20; ++c) escaped[c] = true;
  escaped[0x7F] = true;
  for (const char c : std::string_view("&<>\"")) {
    escaped[static_cast<unsigned char>(c)] = true;
  }
  return escaped;
}

constexpr std::array<bool, 256> kEscapedInText = MakeEscapedInText();

}  // namespace

void AppendHtmlText(std::string& out, std::string_view text) {
  // Bytes kept as they are go in runs, so that a plain name costs one copy.
  std::size_t kept_from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!kEscapedInText[static_cast<unsigned char>(text[i])]) {
      continue;
    }
    out.append(text, kept_from, i - kept_from);
    kept_from = i + 1;
    switch (text[i]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:  // a control character
        out += "&#";
        out += std::to_string(static_cast<unsigned char>(text[i]));
        out += ';';
    }
  }
  out.append(text, kept_from);
}

void AppendLinkTarget(std::string& out, std::string_view name) {
  std::size_t kept_from = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const bool edge_space = byte == ' ' && (i == 0 || i + 1 == name.size());
    if (kKeptInLinks[byte] && !edge_space) {
      continue;
    }
    out.append(name, kept_from, i - kept_from);
    kept_from = i + 1;
    out += '%';
    AppendHexByte(out, byte);
  }
  out.append(name, kept_from);
}

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

std::size_t Utf8SequenceLength(std::string_view bytes, char32_t& code) {
  if (bytes.empty()) {
    return 0;
  }
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  }
  if (length == 0 || bytes.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if ((byte & 0xC0) != 0x80) {
      return 0;
    }
    code = (code << 6) | (byte & 0x3F);
  }
  const bool valid = code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  return valid ? length : 0;
}

}  // namespace quorvane
