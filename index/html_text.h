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

// Appends the bytes the link target `target` stands for to `name`; false where a "%" is not
// followed by two upper-case hexadecimal digits, as the targets above always are.
bool DecodeLinkTarget(std::string_view target, std::string& name);

}  // namespace quorvane
