#pragma once

#include <windows.h>

#include <string>  // std::string
#include <vector>  // std::vector

namespace quorvane::win32 {

// Shows in the tree view `tree` the folders from `root` down to `folder`, which it holds, each
// open on the next, and under `folder` its `sub_folders`; `folder` is selected.
void ShowFolder(HWND tree, const std::string& root, const std::string& folder,
                const std::vector<std::string>& sub_folders);

}  // namespace quorvane::win32
