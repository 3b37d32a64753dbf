#pragma once

#include <string>  // std::string

namespace quorvane::platform {

// A new hidden name for a page being written, one that IsTemporaryPageName() knows:
// ".quorvane_index.html." and eight random letters or digits.
std::string TemporaryPageName();

}  // namespace quorvane::platform
