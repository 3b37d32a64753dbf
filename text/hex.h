#pragma once

#include <string>  // std::string

namespace quorvane::text {

// Appends `byte` as two upper-case hexadecimal digits: 0xE9 as "E9".
inline void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace quorvane::text
