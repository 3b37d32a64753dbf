#pragma once

#include <string>  // std::string

namespace quorvane::platform {

class SystemCalls;

// A run holds a lock on each new page it writes, from before the page shows under its hidden name
// until it is placed or dropped; a hidden name that no lock holds is what a killed run left.

// Locks the new page `fd` as a live run's. Where it was made under the hidden name `name` in the
// folder `dir_fd` (none for a page without a name yet), also checks that the name is still its
// own: false where a run that took it for a leftover came in between, and the page must take
// another name. On a file system without locks it holds, and no leftover is removed there.
bool LockAsLive(const SystemCalls& calls, int fd, int dir_fd, const char* name);

// Removes the hidden page `name` from the folder `dir_fd` when it is a file no live run holds.
void RemoveLeftOverPage(const SystemCalls& calls, int dir_fd, const std::string& name);

}  // namespace quorvane::platform
