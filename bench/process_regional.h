#pragma once

#include <cstdio>   // std::fprintf
#include <cstdlib>  // std::exit
#include <utility>  // std::move

#include "platform/failure.h"
#include "platform/regional.h"

namespace quorvane::bench {

// The process locale's regional settings: without them there is nothing to measure.
inline platform::Regional ProcessRegional() {
  platform::Result<platform::Regional> regional = platform::Regional::FromProcessLocale();
  if (!regional) {
    std::fprintf(stderr, "%s\n", platform::Describe(regional.Error()).c_str());
    std::exit(1);
  }
  return std::move(*regional);
}

}  // namespace quorvane::bench
