#pragma once

#include <string>       // std::string, std::wstring
#include <string_view>  // std::string_view, std::wstring_view

namespace quorvane::platform {

// Windows names are UTF-16 and may hold a lone surrogate; inside, names are UTF-8. A lone
// surrogate is carried in UTF-8's three-byte form (as WTF-8 does), so that every name the system
// gives converts back to the very same name.
std::string ToUtf8(std::wstring_view wide);

// `text` in UTF-16: surrogates encoded as ToUtf8 writes them come back as they were; bytes that
// are not UTF-8 become U+FFFD.
std::wstring ToWide(std::string_view text);

}  // namespace quorvane::platform
