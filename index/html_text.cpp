#include "index/html_text.h"

#include <array>  // std::array

#include "text/hex.h"

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
    text::AppendHexByte(out, byte);
  }
  out.append(name, kept_from);
}

bool DecodeLinkTarget(std::string_view target, std::string& name) {
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] != '%') {
      name += target[i];
    } else if (i + 2 < target.size() && digit(target[i + 1]) >= 0 && digit(target[i + 2]) >= 0) {
      name += static_cast<char>(digit(target[i + 1]) * 16 + digit(target[i + 2]));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace quorvane
