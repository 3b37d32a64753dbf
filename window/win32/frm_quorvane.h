#pragma once

#include <windows.h>

#include <cstdint>  // std::uint64_t
#include <memory>
#include <stop_token>  // std::stop_source  // std::unique_ptr
#include <string>      // std::string
#include <vector>      // std::vector

#include "index/folder_listing.h"
#include "platform/failure.h"
#include "platform/services.h"
#include "platform/volumes.h"
#include "window/model/folder_navigator.h"
#include "window/model/folder_reads.h"
#include "window/model/generation_run.h"
#include "window/model/window_work.h"
#include "window/win32/accessible_names.h"
#include "window/win32/file_list.h"
#include "window/win32/folder_tree.h"
#include "window/win32/form_controls.h"
#include "window/win32/scoped.h"
#include "window/win32/shell_opener.h"
#include "window/win32/window_post.h"

namespace quorvane {

// The program's one window, drawn with Windows' own controls: the form of nine controls at their
// places in twips, scaled to the monitor's dots per inch, in the system's message font. Folders
// are read and pages written beside the window, so that it answers all the while; the handlers
// still run one at a time, on the window's thread.
class frmQuorvane {
 public:
  // `services` must outlive the window. `volumes` fill Drive1; the window starts at
  // `start.asked` or, without it, at the root of the drive that holds `start.working`.
  frmQuorvane(const platform::Services& services, std::vector<platform::Volume> volumes,
              StartFolders start);
  frmQuorvane(const frmQuorvane&) = delete;
  frmQuorvane& operator=(const frmQuorvane&) = delete;
  ~frmQuorvane();

  // Makes the window and shows it as `show` asks; false when it or a control cannot be made.
  bool Open(int show);

  // Handles the thread's messages, with Tab, the arrows and the access keys as in a dialog,
  // until the window is closed. The program's exit status.
  int Run();

 private:
  static constexpr UINT kShowFailures = WM_APP + 2;  // beside WindowPost::kMessage
  static constexpr UINT_PTR kFollowTimer = 1;

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  // The messages whose answer is 0 once handled; false for those left to Windows.
  bool Handled(UINT message, WPARAM w, LPARAM l);
  bool OnCreate();
  void OnDestroy();
  void Scale(UINT dpi);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnActivate(WPARAM w);
  void OnCommand(int id, int code);
  LRESULT OnNotify(NMHDR& notification);
  // Enter on Dir1 opens the folder chosen there rather than pressing the default button.
  bool OpensFolder(const MSG& message);

  void Form_Load();
  void Drive1_Change();
  void Dir1_Change();
  void cmdRefresh_Click();
  void cmdMake_Click();
  // Makes the place's drive Drive1's and its folder Dir1's, and shows the folder; a folder that
  // cannot be shown there is reported unless `falling_back`.
  void GoTo(const Place& place, bool falling_back = false);
  // Lists the place's sub-folders beside the window into Dir1, then shows the folder.
  void ListAndShow(const Place& place, bool report);
  // Whether the folder gone to is still on its way: Dir1 listed, or its files read.
  bool Settling() const { return listing_ || reads_.Reading(); }
  void ShowFolder(const Place& place, bool report);
  void FolderRead(const Place& place, bool report, FolderReading& reading);
  void FallBack(const Place& failed);
  // Says why something failed, in a message box shown once the handler has returned.
  void ShowFailure(const platform::Failure& failure);
  void ShowFailures();
  void MakePage();
  void PageEnded(GenerationOutcome outcome);
  // While a page is made, the controls that would change what it is made of take no input.
  void TakeInput(bool take);
  void SetText(win32::Control control, const std::string& text) const;
  bool Ticked(win32::Control control) const;

  const platform::Services& services_;
  const StartFolders start_;
  win32::ShellOpener opener_;
  win32::WindowPost post_;
  // Made first and so gone last: every model and job below works through it, and the window
  // stops and waits for it before any of them goes.
  WindowWork work_;
  FolderNavigator navigator_;
  FileList files_;
  FolderReads reads_;
  GenerationRun generation_;
  HWND hwnd_ = nullptr;
  win32::FormControls controls_;
  win32::ScopedFont font_;
  std::unique_ptr<win32::FileListView> file_view_;
  std::unique_ptr<win32::FolderTree> folder_tree_;
  std::unique_ptr<win32::AccessibleNames> names_;
  HWND focus_ = nullptr;  // the control with the focus when the window was last left
  std::string CurPath;
  std::string CurFile;
  Place place_;                   // the place Drive1 and Dir1 show
  bool make_when_shown_ = false;  // "Make HTML" pressed while the folder was still on its way
  std::uint64_t listings_ = 0;    // Dir1's listings started; only the last is shown
  std::stop_source listing_stop_;
  bool listing_ = false;
  std::vector<HWND> took_no_input_;
  std::vector<platform::Failure> failures_;  // to be shown once the handler has returned
};

}  // namespace quorvane
