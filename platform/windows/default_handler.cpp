#include "platform/default_handler.h"

#include <objbase.h>   // CoInitializeEx
#include <shellapi.h>  // ShellExecuteW
#include <windows.h>

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
