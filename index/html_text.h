#pragma once

#include <cstddef>      // std::size_t
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace quorvane {

// Appends `text` for the page's text and title: & < > " as entity references, control bytes as
// numeric references (so a newline in a name cannot break a line of the page), every other byte
// as it is.
void AppendHtmlText(std::string& out, std::string_view text);

// Appends the file name `name` as a relative link target. Every byte is percent-encoded except
// letters, digits, the space and - . _ ~ ! $ ' ( ) * + , ; = @, and a space at either end is
// encoded too because browsers strip it from a link. The result means the same file whatever
// encoding a browser guesses for the page.
void AppendLinkTarget(std::string& out, std::string_view name);

// Appends `byte` as two upper-case hexadecimal digits: 0xE9 as "E9".
void AppendHexByte(std::string& out, unsigned char byte);

// The length of the UTF-8 sequence that starts `bytes`, with its code point in `code`; 0 when
// it is malformed, overlong, a surrogate or beyond U+10FFFF. Names are shown by it, to people,
// where their bytes decode.
std::size_t Utf8SequenceLength(std::string_view bytes, char32_t& code);

}  // namespace quorvane
