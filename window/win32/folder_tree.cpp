#include "window/win32/folder_tree.h"

#include <commctrl.h>

#include <algorithm>    // std::min
#include <string_view>  // std::string_view

#include "platform/volumes.h"
#include "platform/windows/utf16.h"

namespace quorvane::win32 {
namespace {

HTREEITEM AddItem(HWND tree, HTREEITEM parent, std::string_view name) {
  const std::wstring text = platform::ToWide(name);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<wchar_t*>(text.c_str());
  return TreeView_InsertItem(tree, &insert);
}

// The names of the folders from below `root` down to `folder`.
std::vector<std::string_view> NamesBelow(std::string_view root, std::string_view folder) {
  std::vector<std::string_view> names;
  std::size_t at = root.size();
  while (at < folder.size()) {
    const std::size_t end = std::min(folder.find_first_of("\\/", at), folder.size());
    if (end > at) {
      names.push_back(folder.substr(at, end - at));
    }
    at = end + 1;
  }
  return names;
}

}  // namespace

void ShowFolder(HWND tree, const std::string& root, const std::string& folder,
                const std::vector<std::string>& sub_folders) {
  SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
  TreeView_DeleteAllItems(tree);
  HTREEITEM shown = AddItem(tree, TVI_ROOT, root);
  const std::string_view below =
      platform::Holds(root, folder) ? std::string_view(folder) : std::string_view(root);
  for (const std::string_view name : NamesBelow(root, below)) {
    const HTREEITEM item = AddItem(tree, shown, name);
    TreeView_Expand(tree, shown, TVE_EXPAND);
    shown = item;
  }
  for (const std::string& name : sub_folders) {
    AddItem(tree, shown, name);
  }
  TreeView_Expand(tree, shown, TVE_EXPAND);
  TreeView_SelectItem(tree, shown);
  SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
  TreeView_EnsureVisible(tree, shown);
}

}  // namespace quorvane::win32
