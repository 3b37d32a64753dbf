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

}  // namespace

void AppendHtmlText(std::string& out, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
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
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "&#";
          out += std::to_string(byte);
          out += ';';
        } else {
          out += c;
        }
    }
  }
}

void AppendLinkTarget(std::string& out, std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const bool edge_space = byte == ' ' && (i == 0 || i + 1 == name.size());
    if (kKeptInLinks[byte] && !edge_space) {
      out += name[i];
    } else {
      out += '%';
      AppendHexByte(out, byte);
    }
  }
}

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace quorvane
