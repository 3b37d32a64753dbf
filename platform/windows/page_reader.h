#pragma once

#include <memory>       // std::unique_ptr
#include <string>       // std::string, std::wstring
#include <string_view>  // std::string_view

#include "platform/file_system.h"

namespace quorvane::platform {

class SystemCalls;

// Opens the page `name` in the folder `folder` (a \\?\ path ending in \), whose path as the user
// knows it is `folder_path`, by the rules of Folder::ReadPage on Windows: a reparse point is never
// followed, and a file whose name differs from the page's only in letter case is the user's, not
// a page (kNotAPage, naming it as it is spelt).
Result<std::unique_ptr<PageReader>> ReadSystemPage(const SystemCalls& calls,
                                                   const std::wstring& folder,
                                                   const std::string& folder_path,
                                                   std::string_view name);

}  // namespace quorvane::platform
