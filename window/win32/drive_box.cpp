#include "window/win32/drive_box.h"

#include <string>  // std::wstring

#include "platform/windows/utf16.h"

namespace quorvane::win32 {
namespace {

// "C:  [System]": the root without its separator, as drives are spoken of, and the label.
std::wstring DriveText(const platform::Volume& volume) {
  std::wstring text = platform::ToWide(volume.mount_point);
  if (text.size() > 1 && (text.back() == L'\\' || text.back() == L'/')) {
    text.pop_back();
  }
  if (!volume.label.empty()) {
    text += L"  [" + platform::ToWide(volume.label) + L"]";
  }
  return text;
}

}  // namespace

void ShowDrives(HWND box, const std::vector<platform::Volume>& volumes, std::size_t selected) {
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  for (const platform::Volume& volume : volumes) {
    const std::wstring text = DriveText(volume);
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(box, CB_SETCURSEL, selected, 0);
}

}  // namespace quorvane::win32
