#include "window/win32/file_list.h"

#include <algorithm>  // std::min
#include <string>     // std::wstring

#include "platform/windows/utf16.h"

namespace quorvane::win32 {

FileListView::FileListView(HWND list, FileList& files) : list_(list), files_(files) {
  files_.SetObserver(this);
  ListChanged();
}

FileListView::~FileListView() { files_.SetObserver(nullptr); }

void FileListView::ListChanged() {
  // Counted in ints by the list view; a folder of more files shows as many as it can hold.
  const auto count = static_cast<int>(std::min<std::int64_t>(files_.Count(), INT_MAX));
  ListView_SetItemCountEx(list_, count, 0);
  SelectionChanged(files_.Selected());
  // The one column as wide as the list, inside its scroll bar where one has come.
  ListView_SetColumnWidth(list_, 0, LVSCW_AUTOSIZE_USEHEADER);
}

void FileListView::SelectionChanged(std::int64_t position) {
  if (position < 0 || position >= files_.Count()) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    return;
  }
  const auto item = static_cast<int>(position);
  ListView_SetItemState(list_, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list_, item, FALSE);
}

bool FileListView::Answer(NMHDR& notification, LRESULT& result) {
  if (notification.hwndFrom != list_) {
    return false;
  }
  result = 0;
  switch (notification.code) {
    case LVN_GETDISPINFOW:
      GiveName(reinterpret_cast<NMLVDISPINFOW&>(notification).item);
      return true;
    case LVN_ODFINDITEMW: {
      const auto& find = reinterpret_cast<NMLVFINDITEMW&>(notification);
      result = Find(find.lvfi, find.iStart);
      return true;
    }
    case LVN_ITEMCHANGED: {
      // The user's choice of a file is the list's current entry.
      const auto& change = reinterpret_cast<NMLISTVIEW&>(notification);
      if ((change.uNewState & LVIS_SELECTED) != 0 && change.iItem != files_.Selected()) {
        files_.Select(change.iItem);
      }
      return true;
    }
    default:
      return false;
  }
}

void FileListView::GiveName(LVITEMW& item) const {
  if ((item.mask & LVIF_TEXT) == 0 || item.cchTextMax <= 0) {
    return;
  }
  const std::wstring name = item.iItem >= 0 && item.iItem < files_.Count()
                                ? platform::ToWide(files_.Name(item.iItem))
                                : std::wstring();
  const std::size_t length = std::min(name.size(), static_cast<std::size_t>(item.cchTextMax - 1));
  name.copy(item.pszText, length);
  item.pszText[length] = L'\0';
}

int FileListView::Find(const LVFINDINFOW& find, int start) const {
  const std::int64_t count = files_.Count();
  if ((find.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.psz == nullptr || count == 0) {
    return -1;
  }
  const std::wstring typed = find.psz;
  const std::int64_t first = start >= 0 && start < count ? start : 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t at = (first + i) % count;
    const std::wstring name = platform::ToWide(files_.Name(at));
    if (name.size() >= typed.size() &&
        CompareStringOrdinal(name.c_str(), static_cast<int>(typed.size()), typed.c_str(),
                             static_cast<int>(typed.size()), TRUE) == CSTR_EQUAL) {
      return static_cast<int>(at);
    }
  }
  return -1;
}

}  // namespace quorvane::win32
