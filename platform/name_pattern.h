#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

namespace quorvane::platform {

// Whether the file name `name` matches the pattern `pattern` as the shell matches names: "*"
// and "?" match no "/" and no leading ".", "[...]" a character of a set, "\" quotes the next.
bool MatchesPattern(const std::string& pattern, std::string_view name);

}  // namespace quorvane::platform
