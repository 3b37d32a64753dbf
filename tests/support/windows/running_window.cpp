#include "tests/support/windows/running_window.h"

#include "platform/windows/utf16.h"

namespace quorvane::testing {
namespace {

// How long a program may take to start or to answer under Wine on a loaded machine.
constexpr DWORD kPatienceMs = 60000;

struct Search {
  DWORD process;
  const wchar_t* window_class;
  HWND found;
};

BOOL CALLBACK FindProgramsWindow(HWND window, LPARAM l) {
  auto& search = *reinterpret_cast<Search*>(l);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search.process && ClassOf(window) == search.window_class &&
      IsWindowVisible(window)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

RunningWindow::RunningWindow(const std::wstring& program, const std::string& folder,
                             bool folder_given) {
  const std::wstring wide_folder = platform::ToWide(folder);
  std::wstring command = L"\"" + program + L"\"";
  if (folder_given) {
    command += L" \"" + wide_folder + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      wide_folder.c_str(), &startup, &process_)) {
    return;
  }
  // The window is made before the program first waits for input.
  WaitForInputIdle(process_.hProcess, kPatienceMs);
  Search search{process_.dwProcessId, L"frmQuorvane", nullptr};
  EnumWindows(&FindProgramsWindow, reinterpret_cast<LPARAM>(&search));
  window_ = search.found;
}

RunningWindow::~RunningWindow() {
  if (process_.hProcess == nullptr) {
    return;
  }
  if (window_ != nullptr) {
    PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  if (WaitForSingleObject(process_.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.hProcess, 1);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::vector<HWND> RunningWindow::Controls() const {
  std::vector<HWND> controls;
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    controls.push_back(child);
  }
  return controls;
}

HWND RunningWindow::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

void RunningWindow::Press(WORD key) const {
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  PostMessageW(Focus(), WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(Focus(), WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

void RunningWindow::PressAlt(wchar_t letter) const {
  // Bit 29: Alt is down, which makes the character an access key.
  PostMessageW(Focus(), WM_SYSCHAR, letter, 1 | (1u << 29));
}

RECT RunningWindow::PlaceOf(HWND control) const {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND RunningWindow::MessageBoxShown() const {
  Search search{process_.dwProcessId, L"#32770", nullptr};  // the class of Windows' dialogs
  EnumWindows(&FindProgramsWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DWORD RunningWindow::Status() const {
  DWORD status = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &status);
  return status;
}

bool Eventually(const std::function<bool()>& holds) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  while (!holds()) {
    if (GetTickCount64() > deadline) {
      return false;
    }
    Sleep(5);
  }
  return true;
}

std::wstring BuiltProgram(const char* from_tests) {
  if (const DWORD length = GetEnvironmentVariableW(L"QUORVANE_PROGRAM", nullptr, 0); length > 0) {
    std::wstring installed(length, L'\0');
    installed.resize(GetEnvironmentVariableW(L"QUORVANE_PROGRAM", installed.data(), length));
    return installed;
  }
  return BuiltFile(from_tests);
}

std::wstring BuiltFile(const char* from_tests) {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, length);
  return path.substr(0, path.rfind(L'\\') + 1) + platform::ToWide(from_tests);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  const int length = GetClassNameW(window, name, 64);
  return std::wstring(name, length > 0 ? length : 0);
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace quorvane::testing
