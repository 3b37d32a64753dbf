#include "window/win32/folder_tree.h"

#include <commctrl.h>

#include <algorithm>    // std::min
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "platform/volumes.h"
#include "platform/windows/utf16.h"

namespace quorvane::win32 {
namespace {

// The names of the folders from below `root` down to `folder`.
std::vector<std::string> NamesBelow(std::string_view root, std::string_view folder) {
  std::vector<std::string> names;
  std::size_t at = root.size();
  while (at < folder.size()) {
    const std::size_t end = std::min(folder.find_first_of("\\/", at), folder.size());
    if (end > at) {
      names.emplace_back(folder.substr(at, end - at));
    }
    at = end + 1;
  }
  return names;
}

std::string Below(const std::string& folder, const std::string& name) {
  const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  return separated ? folder + name : folder + '\\' + name;
}

}  // namespace

void FolderTree::Show(const std::string& root, const std::string& folder,
                      const std::vector<std::string>& sub_folders) {
  SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  TreeView_DeleteAllItems(tree_);
  paths_.clear();
  std::string path = root;
  HTREEITEM shown = Add(TVI_ROOT, root, path);
  const std::string below = platform::Holds(root, folder) ? folder : root;
  for (const std::string& name : NamesBelow(root, below)) {
    path = Below(path, name);
    const HTREEITEM item = Add(shown, name, path);
    TreeView_Expand(tree_, shown, TVE_EXPAND);
    shown = item;
  }
  for (const std::string& name : sub_folders) {
    Add(shown, name, Below(path, name));
  }
  TreeView_Expand(tree_, shown, TVE_EXPAND);
  TreeView_SelectItem(tree_, shown);
  SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  TreeView_EnsureVisible(tree_, shown);
}

std::string FolderTree::Chosen() const {
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = TreeView_GetSelection(tree_);
  if (item.hItem == nullptr || !TreeView_GetItem(tree_, &item)) {
    return {};
  }
  const auto index = static_cast<std::size_t>(item.lParam);
  return index < paths_.size() ? paths_[index] : std::string();
}

HTREEITEM FolderTree::Add(HTREEITEM parent, const std::string& name, std::string path) {
  const std::wstring text = platform::ToWide(name);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<wchar_t*>(text.c_str());
  insert.item.lParam = static_cast<LPARAM>(paths_.size());
  paths_.push_back(std::move(path));
  return TreeView_InsertItem(tree_, &insert);
}

}  // namespace quorvane::win32
