#include "window/display_name.h"

#include <QChar>

#include <cstdint>  // std::uint32_t

namespace quorvane {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the UTF-8 sequence that starts `bytes`, with its length in `length`; 0 length
// when the sequence is malformed, overlong, a surrogate or beyond U+10FFFF.
std::uint32_t Decode(std::string_view bytes, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::uint32_t code = 0;
  std::uint32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    length = 0;
    return 0;
  }
  if (bytes.size() < length) {
    length = 0;
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (!IsContinuation(byte)) {
      length = 0;
      return 0;
    }
    code = (code << 6) | (byte & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    length = 0;
  }
  return code;
}

void AppendEscaped(QString& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += QLatin1String("\\x");
  out += QLatin1Char(kHex[byte >> 4]);
  out += QLatin1Char(kHex[byte & 0xF]);
}

}  // namespace

QString DisplayName(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F) {
        AppendEscaped(out, byte);
      } else {
        out += QChar(static_cast<char16_t>(byte));
      }
      ++i;
      continue;
    }
    std::size_t length = 0;
    const std::uint32_t code = Decode(bytes.substr(i), length);
    if (length == 0) {
      AppendEscaped(out, byte);
      ++i;
      continue;
    }
    if (QChar::requiresSurrogates(code)) {
      out += QChar(QChar::highSurrogate(code));
      out += QChar(QChar::lowSurrogate(code));
    } else {
      out += QChar(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

}  // namespace quorvane
