// quorvane.exe: the window that lists a folder's files and writes their index page, on Windows.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>   // std::unique_ptr
#include <string>   // std::string
#include <utility>  // std::move
#include <vector>   // std::vector

#include "platform/system_services.h"
#include "platform/volumes.h"
#include "platform/windows/utf16.h"
#include "window/model/folder_navigator.h"
#include "window/win32/frm_quorvane.h"
#include "window/win32/scoped.h"

namespace {

struct LocalFreer {
  void operator()(wchar_t** arguments) const { LocalFree(arguments); }
};

// The arguments after the program's name, read from the wide command line, so that any name
// survives.
std::vector<std::string> Arguments() {
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreer> arguments(
      CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> given;
  for (int i = 1; arguments && i < count; ++i) {
    given.push_back(quorvane::platform::ToUtf8(arguments.get()[i]));
  }
  return given;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const quorvane::win32::ScopedCom com;
  const INITCOMMONCONTROLSEX controls{
      sizeof(INITCOMMONCONTROLSEX),
      ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
  InitCommonControlsEx(&controls);

  quorvane::platform::Result<quorvane::platform::Regional> regional =
      quorvane::platform::Regional::FromProcessLocale();
  if (!regional) {
    // No console to say it on: said in a box, as the window says what fails.
    MessageBoxW(nullptr,
                quorvane::platform::ToWide(quorvane::platform::Describe(regional.Error())).c_str(),
                L"quorvane", MB_OK | MB_ICONERROR);
    return 1;
  }
  const quorvane::platform::SystemServices services(std::move(*regional));
  const quorvane::StartFolders start = quorvane::StartFoldersOf(Arguments(), "C:\\");
  std::vector<quorvane::platform::Volume> volumes = quorvane::platform::SystemVolumes();
  // A folder on a share with no drive letter is on a volume of its own.
  quorvane::platform::AddShareHolding(volumes, start.working);
  if (start.asked) {
    quorvane::platform::AddShareHolding(volumes, *start.asked);
  }
  quorvane::frmQuorvane window(services.Get(), std::move(volumes), start);
  return window.Open(show) ? window.Run() : 1;
}
