#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"

namespace quorvane::platform {

class SystemCalls;

// Where letter case is not told apart (FAT, exFAT, SMB shares, ext4 with casefold), `name` also
// finds a file listed under another name. Gives that name when `name` in the folder `dir_fd`
// finds a file that is not listed under `name` itself, and "" otherwise. Costs a listing of the
// folder only where `name` and its spelling in swapped case find the same file or files of both
// spellings exist. Fails with `step` naming `page_path`.
Result<std::string> FindOtherCase(const SystemCalls& calls, int dir_fd, const std::string& name,
                                  Step step, std::string_view page_path);

}  // namespace quorvane::platform
