#pragma once

#include <functional>   // std::function
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::testing {

// Keeps the names a folder listing gives, in the order given.
struct Names final : platform::NameSink {
  std::vector<std::string> names;
  void Add(std::string_view name) override { names.emplace_back(name); }
};

// What a Failure says, or "" when `run` throws none.
inline std::string FailureOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const platform::Failure& failure) {
    return failure.what();
  }
  return "";
}

}  // namespace quorvane::testing
