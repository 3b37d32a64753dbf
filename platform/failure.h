#pragma once

#include <stdexcept>    // std::runtime_error
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace quorvane::platform {

// A failed platform operation. what() is the description shown to the user: the cause in the
// system's words, then the path where there is one ("Is a directory: /srv/pub/x.html").
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The description of errno value `errnum` for `path` (the system's words alone if path is empty).
std::string SystemDescription(int errnum, std::string_view path);

// Throws the Failure for errno value `errnum` and `path`.
[[noreturn]] void ThrowSystemFailure(int errnum, std::string_view path);

}  // namespace quorvane::platform
