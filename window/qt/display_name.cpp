#include "window/qt/display_name.h"

#include <string>  // std::string

#include "text/hex.h"
#include "text/utf8.h"

namespace quorvane {
namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
  out += "\\x";
  text::AppendHexByte(out, byte);
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
    } else if (char32_t code = 0;
               const std::size_t length = text::Utf8SequenceLength(bytes.substr(i), code)) {
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
