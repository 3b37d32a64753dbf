#pragma once

#include <windows.h>

#include <optional>  // std::optional

#include "platform/services.h"
#include "window/model/folder_navigator.h"
#include "window/win32/accessible_names.h"
#include "window/win32/file_list.h"
#include "window/win32/form_controls.h"
#include "window/win32/scoped.h"

namespace quorvane {

// The program's one window, drawn with Windows' own controls: the form of nine controls at their
// places in twips, scaled to the monitor's dots per inch, in the system's message font.
class frmQuorvane {
 public:
  // `services` and `navigator` must outlive the window.
  frmQuorvane(const platform::Services& services, FolderNavigator& navigator, StartFolders start);
  frmQuorvane(const frmQuorvane&) = delete;
  frmQuorvane& operator=(const frmQuorvane&) = delete;
  ~frmQuorvane();

  // Makes the window and shows it as `show` asks; false when it or a control cannot be made.
  bool Open(int show);

  // Handles the thread's messages, with Tab, the arrows and the access keys as in a dialog,
  // until the window is closed. The program's exit status.
  int Run();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  bool OnCreate();
  void Scale(UINT dpi);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnActivate(WPARAM w);
  LRESULT OnNotify(NMHDR& notification);
  void ShowStart();

  const platform::Services& services_;
  FolderNavigator& navigator_;
  StartFolders start_;
  HWND hwnd_ = nullptr;
  win32::FormControls controls_;
  win32::ScopedFont font_;
  std::optional<win32::FileList> files_;
  std::optional<win32::AccessibleNames> names_;
  HWND focus_ = nullptr;  // the control with the focus when the window was last left
};

}  // namespace quorvane
