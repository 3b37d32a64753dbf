#include "window/win32/file_list.h"

#include <algorithm>  // std::min
#include <utility>    // std::move

namespace quorvane::win32 {

void FileList::Show(std::vector<std::wstring> names) {
  names_ = std::move(names);
  ListView_SetItemCountEx(list_, static_cast<int>(names_.size()), 0);
  ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  // The one column as wide as the list, inside its scroll bar where one has come.
  ListView_SetColumnWidth(list_, 0, LVSCW_AUTOSIZE_USEHEADER);
}

bool FileList::Answer(NMHDR& notification, LRESULT& result) const {
  if (notification.hwndFrom != list_) {
    return false;
  }
  switch (notification.code) {
    case LVN_GETDISPINFOW:
      GiveName(reinterpret_cast<NMLVDISPINFOW&>(notification).item);
      result = 0;
      return true;
    case LVN_ODFINDITEMW: {
      const auto& find = reinterpret_cast<NMLVFINDITEMW&>(notification);
      result = Find(find.lvfi, find.iStart);
      return true;
    }
    default:
      return false;
  }
}

void FileList::GiveName(LVITEMW& item) const {
  if ((item.mask & LVIF_TEXT) == 0 || item.cchTextMax <= 0) {
    return;
  }
  const auto index = static_cast<std::size_t>(item.iItem);
  const std::wstring* name = item.iItem >= 0 && index < names_.size() ? &names_[index] : nullptr;
  const std::size_t length =
      name != nullptr ? std::min(name->size(), static_cast<std::size_t>(item.cchTextMax - 1)) : 0;
  if (length > 0) {
    name->copy(item.pszText, length);
  }
  item.pszText[length] = L'\0';
}

int FileList::Find(const LVFINDINFOW& find, int start) const {
  if ((find.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.psz == nullptr || names_.empty()) {
    return -1;
  }
  const std::wstring typed = find.psz;
  const std::size_t count = names_.size();
  const std::size_t first = start >= 0 ? static_cast<std::size_t>(start) % count : 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::wstring& name = names_[(first + i) % count];
    if (name.size() >= typed.size() &&
        CompareStringOrdinal(name.c_str(), static_cast<int>(typed.size()), typed.c_str(),
                             static_cast<int>(typed.size()), TRUE) == CSTR_EQUAL) {
      return static_cast<int>((first + i) % count);
    }
  }
  return -1;
}

}  // namespace quorvane::win32
