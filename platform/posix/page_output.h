#pragma once

#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.h"

namespace quorvane::platform {

class SystemCalls;

// Starts replacing the page `name` in the open folder `dir_fd`, whose path is `folder_path`
// (ending in "/"), by the rules of Folder::CreatePage. The result may outlive the descriptor.
Result<std::unique_ptr<PageOutput>> CreateSystemPage(const SystemCalls& calls, int dir_fd,
                                                     const std::string& folder_path,
                                                     std::string_view name);

// Checks by the same rules that the page `name` may be replaced; creates nothing.
Result<> CheckSystemPage(const SystemCalls& calls, int dir_fd, const std::string& folder_path,
                         std::string_view name);

}  // namespace quorvane::platform
