#include "platform/windows/leftover_pages.h"

#include "platform/windows/system_calls.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {

void RemoveLeftOverPage(const SystemCalls& calls, const std::wstring& folder,
                        const std::string& name) {
  const Handle page(calls, calls.Open((folder + ToWide(name)).c_str(), DELETE | FILE_READ_DATA, 0,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
  BY_HANDLE_FILE_INFORMATION information{};
  if (page.IsOpen() && calls.Information(page.Get(), &information) &&
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          0) {
    calls.MarkForDeletion(page.Get());
  }
}

}  // namespace quorvane::platform
