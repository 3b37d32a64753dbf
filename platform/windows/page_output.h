#pragma once

#include <memory>       // std::unique_ptr
#include <string>       // std::string, std::wstring
#include <string_view>  // std::string_view

#include "platform/file_system.h"

namespace quorvane::platform {

class SystemCalls;

// Starts replacing the page `name` in the folder `folder` (a \\?\ path ending in \), whose path
// as the user knows it is `folder_path`, by the rules of Folder::CreatePage on Windows: a page
// that is read-only, a symbolic link, a junction or a folder is refused.
Result<std::unique_ptr<PageOutput>> CreateSystemPage(const SystemCalls& calls,
                                                     const std::wstring& folder,
                                                     const std::string& folder_path,
                                                     std::string_view name);

// Checks by the same rules that the page `name` may be replaced; creates nothing.
Result<> CheckSystemPage(const SystemCalls& calls, const std::wstring& folder,
                         const std::string& folder_path, std::string_view name);

}  // namespace quorvane::platform
