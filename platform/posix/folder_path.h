#pragma once

#include <fcntl.h>  // O_*

#include <string_view>   // std::string_view
#include <system_error>  // std::error_code

#include "platform/failure.h"
#include "platform/posix/descriptor.h"

namespace quorvane::platform {

class SystemCalls;

inline constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Opens the folder at `path`. A path longer than the system takes in one call is opened a stretch
// of whole names at a time.
Result<Descriptor> OpenFolderPath(const SystemCalls& calls, std::string_view path);

// The failure of a folder at `path` that could not be opened with `error`: its path ends in the
// separator as a folder's does, unless it is no folder at all.
Failure OpenFailure(std::string_view path, std::error_code error);

}  // namespace quorvane::platform
