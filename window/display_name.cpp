#include "window/display_name.h"

#include <cstdint>  // std::uint32_t
#include <string>   // std::string

#include "index/html_text.h"

namespace quorvane {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the UTF-8 sequence that starts `bytes`; 0 when it is malformed, overlong, a
// surrogate or beyond U+10FFFF.
std::size_t SequenceLength(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::size_t length = 0;
  std::uint32_t code = 0;
  std::uint32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (!IsContinuation(byte)) {
      return 0;
    }
    code = (code << 6) | (byte & 0x3F);
  }
  const bool valid = code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  return valid ? length : 0;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  out += "\\x";
  AppendHexByte(out, byte);
}

}  // namespace

QString DisplayName(std::string_view bytes) {
  // Built as UTF-8 that is valid throughout, then decoded once.
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == '\\') {
      // Doubled, so that a backslash in the name never reads as the start of an escape.
      out += "\\\\";
      ++i;
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendEscaped(out, byte);
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else if (const std::size_t length = SequenceLength(bytes.substr(i)); length > 0) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      AppendEscaped(out, byte);
      ++i;
    }
  }
  return QString::fromStdString(out);
}

}  // namespace quorvane
