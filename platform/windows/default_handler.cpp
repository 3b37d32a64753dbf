#include "platform/default_handler.h"

#include <windows.h>
// after windows.h, which they need
#include <objbase.h>   // CoInitializeEx
#include <shellapi.h>  // ShellExecuteW

#include "platform/windows/utf16.h"

namespace quorvane::platform {

Result<> SystemDefaultHandler::Open(const std::string& path) const {
  // The shell may hand the request to a COM server, so the calling thread joins COM for it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // The shell answers at once: above 32 where a program took the file.
  const auto answer = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", ToWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (SUCCEEDED(com)) {
    CoUninitialize();
  }
  return answer > 32 ? Result<>() : Failure(Step::kOpenPage, path);
}

}  // namespace quorvane::platform
