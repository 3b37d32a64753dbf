#pragma once

#include <stdexcept>  // std::runtime_error
#include <string>     // std::string
#include <utility>    // std::move

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::testing {

// Keeps the names a folder listing gives, in the order given.
using Names = platform::NameVector;

// What the failure of `result` says, or "" when it succeeded.
template <typename T>
std::string FailureOf(const platform::Result<T>& result) {
  return result ? std::string() : platform::Describe(result.Error());
}

// The value of `result`, which a test expects to be there; a failure ends the test with its
// words.
template <typename T>
T Ok(platform::Result<T> result) {
  if (!result) {
    throw std::runtime_error(platform::Describe(result.Error()));
  }
  return std::move(*result);
}

}  // namespace quorvane::testing
