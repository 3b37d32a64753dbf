#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

namespace quorvane::text {

// Whether the file name `name` matches `pattern` by the shell's rules (fnmatch with FNM_PATHNAME
// and FNM_PERIOD), the same on every system: "*" any characters, "?" one, "[...]" one of a set
// ("[!...]" or "[^...]" one not in it, "a-z" ranges, "[:alpha:]" classes), "\" the next as it
// is; a leading "." only matched by one written. Characters are UTF-8 sequences where the bytes
// make one, else single bytes. With `ignore_case`, letters match without regard to case, as
// names do on a system that does not tell them apart (the letters of the Latin, Greek and
// Cyrillic alphabets).
bool MatchesPattern(const std::string& pattern, std::string_view name, bool ignore_case = false);

}  // namespace quorvane::text
