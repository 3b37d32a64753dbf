#include "platform/name_pattern.h"

#include <fnmatch.h>  // fnmatch

namespace quorvane::platform {

bool MatchesPattern(const std::string& pattern, std::string_view name) {
  return fnmatch(pattern.c_str(), std::string(name).c_str(), FNM_PATHNAME | FNM_PERIOD) == 0;
}

}  // namespace quorvane::platform
