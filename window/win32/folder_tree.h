#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>  // std::string
#include <vector>  // std::vector

namespace quorvane::win32 {

// Dir1, the tree view of the current drive's folders: from its root down to the current folder,
// each open on the next, and under the current folder its sub-folders. The arrows and typing
// choose among them; Enter or a double click opens the one chosen.
class FolderTree {
 public:
  explicit FolderTree(HWND tree) : tree_(tree) {}

  // Shows `folder`, on the drive whose root is `root`, with `sub_folders` under it, chosen.
  void Show(const std::string& root, const std::string& folder,
            const std::vector<std::string>& sub_folders);

  // The path of the folder chosen in the tree; empty when none is.
  std::string Chosen() const;

 private:
  // Adds `name` under `parent`, the folder at `path`.
  HTREEITEM Add(HTREEITEM parent, const std::string& name, std::string path);

  HWND tree_;
  std::vector<std::string> paths_;  // each item's folder, by the index the item holds
};

}  // namespace quorvane::win32
