#pragma once

#include <cstddef>      // std::size_t
#include <string_view>  // std::string_view

namespace quorvane::text {

// The length of the UTF-8 sequence that starts `bytes`, with its code point in `code`; 0 when
// it is malformed, overlong, a surrogate or beyond U+10FFFF. Names are shown by it, to people,
// where their bytes decode.
std::size_t Utf8SequenceLength(std::string_view bytes, char32_t& code);

}  // namespace quorvane::text
