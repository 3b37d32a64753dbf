#pragma once

#include <windows.h>

#include <functional>  // std::function
#include <string>      // std::string, std::wstring
#include <vector>      // std::vector

namespace quorvane::testing {

// The real quorvane.exe, started on a folder, and its window as another program sees it: its
// controls read back and driven through their messages, as a user's keys reach them.
class RunningWindow {
 public:
  // Starts `program` with `folder` as its working folder, and as its argument unless
  // `folder_given` is false, and waits for its window; Window() is null when none came.
  RunningWindow(const std::wstring& program, const std::string& folder, bool folder_given = true);
  // Closes the window as its close button does, and waits for the program to end.
  ~RunningWindow();
  RunningWindow(const RunningWindow&) = delete;
  RunningWindow& operator=(const RunningWindow&) = delete;

  HWND Window() const { return window_; }
  // The window's children, in the order they were made.
  std::vector<HWND> Controls() const;
  // The control that has the keyboard focus in the program.
  HWND Focus() const;
  // Sends the key `key` (a virtual-key code) to the control with the focus, as the keyboard does.
  void Press(WORD key) const;
  // The access key `letter` (Alt and a lower-case letter), likewise.
  void PressAlt(wchar_t letter) const;
  // The control's position and size in the window's client area.
  RECT PlaceOf(HWND control) const;
  // The program's message box, while one shows; null otherwise.
  HWND MessageBoxShown() const;
  // The program's exit status once it has ended; STILL_ACTIVE while it runs.
  DWORD Status() const;

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// The path of quorvane.exe in the build, from the test program's own; or the one that
// QUORVANE_PROGRAM names, an installed one.
std::wstring BuiltProgram(const char* from_tests);
// The path of the file `from_tests` names, relative to the test program's folder.
std::wstring BuiltFile(const char* from_tests);

// Whether `holds` comes true before the program's patience runs out, asking every few
// milliseconds: a key posted to another program is handled when that program comes to it.
bool Eventually(const std::function<bool()>& holds);

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);

}  // namespace quorvane::testing
