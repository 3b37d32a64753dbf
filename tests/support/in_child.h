#pragma once

#include <functional>  // std::function
#include <string>      // std::string

namespace quorvane::testing {

// The user and group nobody, whom permission bits stop where they do not stop root.
inline constexpr unsigned kNobody = 65534;

// Runs `run` in a child process, which ends there, and returns what it returned: for what must
// not touch the test process itself (another user, another mount namespace).
std::string InChild(const std::function<std::string()>& run);

// Makes this process the user and group nobody, with no other groups; false when it cannot.
bool BecomeNobody();

}  // namespace quorvane::testing
