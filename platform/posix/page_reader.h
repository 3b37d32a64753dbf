#pragma once

#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.h"

namespace quorvane::platform {

class SystemCalls;

// Opens the page `name` in the open folder `dir_fd`, whose path is `folder_path` (ending in
// "/"), by the rules of Folder::ReadPage. The reader uses `dir_fd`, which must outlive it.
Result<std::unique_ptr<PageReader>> ReadSystemPage(const SystemCalls& calls, int dir_fd,
                                                   const std::string& folder_path,
                                                   std::string_view name);

}  // namespace quorvane::platform
