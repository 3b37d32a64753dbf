// Any name at all: as a link it decodes back to itself, as text it reads back as itself, and
// neither holds a byte that could end an attribute, open a tag or break a line.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "index/html_text.h"

namespace {

bool Unsafe(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '<' || c == '>' || c == '"' || byte < 0x20 || byte == 0x7F) {
      return true;
    }
  }
  return false;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string FromLink(const std::string& link) {
  std::string bytes;
  for (std::size_t i = 0; i < link.size(); ++i) {
    if (link[i] != '%') {
      bytes += link[i];
      continue;
    }
    if (i + 2 >= link.size() || Hex(link[i + 1]) < 0 || Hex(link[i + 2]) < 0) {
      std::abort();  // a lone "%" would be read as the start of an escape
    }
    bytes += static_cast<char>(Hex(link[i + 1]) * 16 + Hex(link[i + 2]));
    i += 2;
  }
  return bytes;
}

std::string FromText(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      bytes += text[i];
      continue;
    }
    const std::size_t end = text.find(';', i);
    const std::string entity = text.substr(i + 1, end - i - 1);
    if (entity == "amp")
      bytes += '&';
    else if (entity == "lt")
      bytes += '<';
    else if (entity == "gt")
      bytes += '>';
    else if (entity == "quot")
      bytes += '"';
    else if (entity.size() > 1 && entity[0] == '#')
      bytes += static_cast<char>(std::stoi(entity.substr(1)));
    else
      std::abort();
    i = end;
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  std::string link;
  quorvane::AppendLinkTarget(link, name);
  std::string text;
  quorvane::AppendHtmlText(text, name);
  if (Unsafe(link) || Unsafe(text) || FromLink(link) != name || FromText(text) != name ||
      (!link.empty() && (link.front() == ' ' || link.back() == ' '))) {
    std::abort();
  }
  return 0;
}
