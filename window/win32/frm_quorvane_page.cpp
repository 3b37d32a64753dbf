// The window's side of a folder read, of making the page, and of telling what failed.

#include <utility>  // std::exchange, std::move

#include "platform/windows/utf16.h"
#include "window/model/folder_view.h"
#include "window/win32/frm_quorvane.h"

namespace quorvane {
namespace {

using win32::Control;

}  // namespace

void frmQuorvane::FolderRead(const Place& place, bool report, FolderReading& reading) {
  const FolderViewState& state = reading.state;
  // Without files the read ran out of memory: what the window shows stays as it was.
  const bool read = reading.files != nullptr;
  if (read) {
    files_.Adopt(*reading.files);
    CurPath = state.CurPath;
    SetText(Control::lblFCount, CountText(state.count));
    if (names_) {
      names_->NameCount(platform::ToWide(SpokenCount(state.count)));
    }
    SetText(Control::lblPath, CurPath);
    for (const Control control : {Control::cmdMake, Control::chkView, Control::chkImg}) {
      EnableWindow(controls_[control], state.generation_enabled);  // a tick stays, greyed
    }
  }
  const bool make = std::exchange(make_when_shown_, false);
  if (read && state.listed) {
    navigator_.Shown(place);
    if (make && !Settling()) {
      cmdMake_Click();
    }
  } else if (report) {
    ShowFailure(state.listed.Error());
    FallBack(place);
  }
}

void frmQuorvane::cmdMake_Click() {
  if (generation_.Running() || !IsWindowEnabled(controls_[Control::cmdMake])) {
    return;
  }
  if (Settling()) {
    make_when_shown_ = true;  // made for the folder chosen, once it is shown
    return;
  }
  MakePage();
}

void frmQuorvane::MakePage() {
  // The controls take no input before the run starts, so that none is seen enabled once the page
  // is in place, however quickly it is made.
  TakeInput(false);
  if (!generation_.Start(Ticked(Control::chkImg), CurPath)) {
    return TakeInput(true);
  }
  SetTimer(hwnd_, kFollowTimer, kFollowMilliseconds, nullptr);
}

void frmQuorvane::PageEnded(GenerationOutcome outcome) {
  KillTimer(hwnd_, kFollowTimer);
  generation_.Follow();  // the selection ends on the last entry written
  TakeInput(true);
  if (const std::optional<platform::Failure> failure =
          AfterRun(std::move(outcome), Ticked(Control::chkView), opener_, CurFile)) {
    ShowFailure(*failure);
  }
}

void frmQuorvane::TakeInput(bool take) {
  if (take) {
    for (const HWND control : std::exchange(took_no_input_, {})) {
      EnableWindow(control, TRUE);
    }
    if (focus_ != nullptr && IsWindowEnabled(focus_)) {
      SetFocus(focus_);
    }
    return;
  }
  const HWND focus = GetFocus();
  focus_ = focus != nullptr && IsChild(hwnd_, focus) ? focus : focus_;
  for (const Control control : {Control::Drive1, Control::Dir1, Control::File1, Control::chkImg,
                                Control::chkView, Control::cmdRefresh, Control::cmdMake}) {
    if (IsWindowEnabled(controls_[control])) {
      EnableWindow(controls_[control], FALSE);
      took_no_input_.push_back(controls_[control]);
    }
  }
  SetFocus(hwnd_);  // where Escape still reaches the window
}

void frmQuorvane::ShowFailure(const platform::Failure& failure) {
  // Shown once the handler has returned, so that no handler waits on the message box.
  failures_.push_back(failure);
  PostMessageW(hwnd_, kShowFailures, 0, 0);
}

void frmQuorvane::ShowFailures() {
  while (!failures_.empty() && hwnd_ != nullptr) {
    const platform::Failure failure = failures_.front();
    failures_.erase(failures_.begin());
    MessageBoxW(hwnd_, platform::ToWide(platform::Describe(failure)).c_str(), L"quorvane",
                MB_OK | MB_ICONWARNING);
  }
}

void frmQuorvane::SetText(Control control, const std::string& text) const {
  SetWindowTextW(controls_[control], platform::ToWide(text).c_str());
}

bool frmQuorvane::Ticked(Control control) const {
  return SendMessageW(controls_[control], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace quorvane
