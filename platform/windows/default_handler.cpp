#include "platform/default_handler.h"

#include <windows.h>
// after windows.h, which they need
#include <objbase.h>   // CoInitializeEx
#include <shellapi.h>  // ShellExecuteW

#include "platform/windows/utf16.h"

namespace quorvane::platform {

void SystemDefaultHandler::Open(const std::string& path) const {
  // The shell may hand the request to a COM server, so the calling thread joins COM for it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ShellExecuteW(nullptr, L"open", ToWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) {
    CoUninitialize();
  }
}

}  // namespace quorvane::platform
