#include "window/win32/frm_quorvane.h"

#include <utility>  // std::move

#include "index/program_version.h"
#include "platform/windows/utf16.h"
#include "window/model/folder_view.h"
#include "window/model/sub_folders.h"
#include "window/win32/dpi.h"
#include "window/win32/drive_box.h"
#include "window/win32/resources.h"

namespace quorvane {
namespace {

using win32::Control;

constexpr wchar_t kClassName[] = L"frmQuorvane";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

HICON LoadIcon(HINSTANCE instance, int width_metric, int height_metric) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON,
                                       GetSystemMetrics(width_metric),
                                       GetSystemMetrics(height_metric), LR_DEFAULTCOLOR));
}

bool RegisterFormClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = procedure;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kClassName;
  form.hIcon = LoadIcon(instance, SM_CXICON, SM_CYICON);
  form.hIconSm = LoadIcon(instance, SM_CXSMICON, SM_CYSMICON);
  return RegisterClassExW(&form) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

frmQuorvane::frmQuorvane(const platform::Services& services, std::vector<platform::Volume> volumes,
                         StartFolders start)
    : services_(services),
      start_(std::move(start)),
      work_(services.executor, post_.Post()),
      navigator_(services.files, std::move(volumes)),
      files_(services),
      reads_(services, work_),
      generation_(services, files_, work_,
                  [this](GenerationOutcome outcome) { PageEnded(std::move(outcome)); }) {}

frmQuorvane::~frmQuorvane() {
  if (hwnd_ != nullptr) {
    DestroyWindow(hwnd_);
  }
  work_.StopAndWait();
}

bool frmQuorvane::Open(int show) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterFormClass(instance, &Procedure)) {
    return false;
  }
  // Made at no size: its size follows from the dots per inch of the monitor it is made on.
  if (CreateWindowExW(0, kClassName, L"quorvane", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                      nullptr, nullptr, instance, this) == nullptr) {
    return false;
  }
  ShowWindow(hwnd_, show);
  UpdateWindow(hwnd_);
  return true;
}

int frmQuorvane::Run() {
  MSG message{};
  BOOL got = 0;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (hwnd_ == nullptr || (!OpensFolder(message) && !IsDialogMessageW(hwnd_, &message))) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return got < 0 ? 1 : static_cast<int>(message.wParam);
}

bool frmQuorvane::OpensFolder(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN ||
      message.hwnd != controls_[Control::Dir1]) {
    return false;
  }
  Dir1_Change();
  return true;
}

LRESULT CALLBACK frmQuorvane::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<frmQuorvane*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    form->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<frmQuorvane*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return form != nullptr ? form->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT frmQuorvane::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case DM_GETDEFID:  // Enter presses Make HTML, as in a dialog whose default button it is
      return MAKELRESULT(win32::ControlId(Control::cmdMake), DC_HASDEFID);
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<NMHDR*>(l));
    default:
      return Handled(message, w, l) ? 0 : DefWindowProcW(hwnd_, message, w, l);
  }
}

bool frmQuorvane::Handled(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l));
      return true;
    case WM_ACTIVATE:
      OnActivate(w);
      return true;
    case WM_SETFOCUS:
      SetFocus(focus_ != nullptr ? focus_ : controls_[Control::Drive1]);
      return true;
    case WM_COMMAND:
      OnCommand(LOWORD(w), HIWORD(w));
      return true;
    case WM_TIMER:
      generation_.Follow();
      return true;
    case win32::WindowPost::kMessage:
      post_.RunQueued();
      return true;
    case kShowFailures:
      ShowFailures();
      return true;
    case WM_CLOSE:
      generation_.Stop();  // the page stays as it was before the press
      DestroyWindow(hwnd_);
      return true;
    case WM_DESTROY:
      OnDestroy();
      return true;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return true;
    default:
      return false;
  }
}

bool frmQuorvane::OnCreate() {
  if (!controls_.Create(hwnd_)) {
    return false;
  }
  post_.WakeWindow(hwnd_);
  opener_.SetWindow(hwnd_);
  file_view_ = std::make_unique<win32::FileListView>(controls_[Control::File1], files_);
  folder_tree_ = std::make_unique<win32::FolderTree>(controls_[Control::Dir1]);
  names_ = std::make_unique<win32::AccessibleNames>(controls_);
  Scale(win32::WindowDpi(hwnd_));
  win32::ShowDrives(controls_[Control::Drive1], navigator_.Volumes(), 0);
  focus_ = controls_[Control::Drive1];
  Form_Load();
  return true;
}

void frmQuorvane::OnDestroy() {
  KillTimer(hwnd_, kFollowTimer);
  // A page still being made is stopped, so the previous one stays; it and any folder still
  // being read end before the models they work on go, and nothing comes back from them.
  post_.WakeWindow(nullptr);
  work_.StopAndWait();
  file_view_.reset();
  names_.reset();
  PostQuitMessage(0);
}

void frmQuorvane::Scale(UINT dpi) {
  win32::ScopedFont font =
      win32::MessageFont(dpi, [&](HFONT face) { return controls_.CaptionsFit(face, dpi); });
  controls_.Place(font.get(), dpi);
  font_ = std::move(font);  // the font the controls had goes only once they have the new one
  const SIZE size = win32::WindowSize(win32::ClientSize(dpi), kStyle, 0, dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmQuorvane::OnDpiChanged(UINT dpi, const RECT& suggested) {
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Scale(dpi);
}

void frmQuorvane::OnActivate(WPARAM w) {
  if (LOWORD(w) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) {
      focus_ = focus;
    }
  } else if (focus_ != nullptr && IsWindowEnabled(focus_)) {
    SetFocus(focus_);
  }
}

void frmQuorvane::OnCommand(int id, int code) {
  if (id == IDCANCEL) {
    generation_.Stop();  // Escape, as in a dialog
  } else if (id == win32::ControlId(Control::Drive1) && code == CBN_SELCHANGE) {
    Drive1_Change();
  } else if (id == win32::ControlId(Control::cmdRefresh) && code == BN_CLICKED) {
    cmdRefresh_Click();
  } else if (id == win32::ControlId(Control::cmdMake) && code == BN_CLICKED) {
    cmdMake_Click();
  }
}

LRESULT frmQuorvane::OnNotify(NMHDR& notification) {
  LRESULT result = 0;
  if (file_view_ && file_view_->Answer(notification, result)) {
    return result;
  }
  if (notification.hwndFrom == controls_[Control::Dir1] && notification.code == NM_DBLCLK) {
    Dir1_Change();
    return TRUE;
  }
  return DefWindowProcW(hwnd_, WM_NOTIFY, notification.idFrom,
                        reinterpret_cast<LPARAM>(&notification));
}

void frmQuorvane::Form_Load() {
  SetWindowTextW(hwnd_, platform::ToWide(std::string("quorvane ") + kProgramVersionText).c_str());
  const StartPlace start = navigator_.Start(start_);
  GoTo(start.place);
  if (!start.asked) {
    ShowFailure(start.asked.Error());
  }
}

void frmQuorvane::Drive1_Change() {
  const auto volume = SendMessageW(controls_[Control::Drive1], CB_GETCURSEL, 0, 0);
  if (volume >= 0) {
    // Dir1 goes to the drive's current folder, which is shown.
    GoTo(navigator_.VolumeChosen(static_cast<std::size_t>(volume)));
  }
}

void frmQuorvane::Dir1_Change() {
  const std::string chosen = folder_tree_->Chosen();
  if (!chosen.empty()) {
    GoTo({place_.volume, chosen});
  }
}

void frmQuorvane::cmdRefresh_Click() {
  // Sub-folders made since are listed too, and the files are read afresh.
  GoTo(place_);
}

void frmQuorvane::GoTo(const Place& place, bool falling_back) {
  reads_.Cancel();  // a folder still being read is overtaken by the one gone to
  place_ = place;
  SendMessageW(controls_[Control::Drive1], CB_SETCURSEL, place.volume, 0);
  ListAndShow(place, !falling_back);
}

void frmQuorvane::ListAndShow(const Place& place, bool report) {
  listing_stop_.request_stop();
  const std::uint64_t listing = ++listings_;
  listing_ = true;
  listing_stop_ =
      work_.Run([&services = services_, folder = place.folder](
                    std::stop_token stop) { return SubFolders(services, folder, std::move(stop)); },
                [this, listing, place, report](platform::Result<std::vector<std::string>> names) {
                  if (listing != listings_) {
                    return;  // overtaken by a later place
                  }
                  listing_ = false;
                  // A folder that cannot be listed shows none; showing it says why.
                  folder_tree_->Show(navigator_.Root(place.volume), place.folder,
                                     names ? *names : std::vector<std::string>());
                  ShowFolder(place, report);
                });
}

void frmQuorvane::ShowFolder(const Place& place, bool report) {
  reads_.Read(place.folder, [this, place, report](FolderReading& reading) {
    FolderRead(place, report, reading);
  });
}

void frmQuorvane::FallBack(const Place& failed) { GoTo(navigator_.AfterFailure(failed), true); }

}  // namespace quorvane
