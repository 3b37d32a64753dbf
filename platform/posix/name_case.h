#pragma once

#include <string>  // std::string

namespace quorvane::platform {

class SystemCalls;

// Where letter case is not told apart (FAT, exFAT, SMB shares, ext4 with casefold), `name` also
// finds a file listed under another name. Sets `other` to that name when `name` in the folder
// `dir_fd` finds a file that is not listed under `name` itself, and clears it otherwise. Costs a
// listing of the folder only where `name` and its spelling in swapped case find the same file or
// files of both spellings exist. Returns 0, or the error that stopped it.
int FindOtherCase(const SystemCalls& calls, int dir_fd, const std::string& name,
                  std::string& other);

}  // namespace quorvane::platform
