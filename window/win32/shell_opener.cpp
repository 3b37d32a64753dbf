#include "window/win32/shell_opener.h"

#include <shellapi.h>

#include "platform/windows/utf16.h"

namespace quorvane::win32 {

platform::Result<> ShellOpener::Open(const std::string& path) const {
  // The file's own verb (none named), shown normally; the result is ignored, as the window
  // reports no failed launch.
  ShellExecuteW(window_, nullptr, platform::ToWide(path).c_str(), nullptr, L"C:\\", SW_SHOWNORMAL);
  return {};
}

}  // namespace quorvane::win32
