#include "window/win32/frm_quorvane.h"

#include <algorithm>  // std::sort
#include <string>     // std::string
#include <utility>    // std::move
#include <vector>     // std::vector

#include "index/name_list.h"
#include "window/win32/dpi.h"
#include "window/win32/drive_box.h"
#include "window/win32/folder_tree.h"
#include "window/win32/resources.h"

namespace quorvane {
namespace {

constexpr wchar_t kClassName[] = L"frmQuorvane";
constexpr wchar_t kCaption[] = L"quorvane";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

bool RegisterFormClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = procedure;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kClassName;
  form.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  return RegisterClassExW(&form) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

frmQuorvane::frmQuorvane(const platform::Services& services, FolderNavigator& navigator,
                         StartFolders start)
    : services_(services), navigator_(navigator), start_(std::move(start)) {}

frmQuorvane::~frmQuorvane() {
  if (hwnd_ != nullptr) {
    DestroyWindow(hwnd_);
  }
}

bool frmQuorvane::Open(int show) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterFormClass(instance, &Procedure)) {
    return false;
  }
  // Made at no size: its size follows from the dots per inch of the monitor it is made on.
  const HWND made = CreateWindowExW(0, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                    0, 0, nullptr, nullptr, instance, this);
  if (made == nullptr) {
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
    if (hwnd_ == nullptr || !IsDialogMessageW(hwnd_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return got < 0 ? 1 : static_cast<int>(message.wParam);
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
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l));
      return 0;
    case WM_ACTIVATE:
      OnActivate(w);
      return 0;
    case WM_SETFOCUS:
      SetFocus(focus_ != nullptr ? focus_ : controls_[win32::Control::Drive1]);
      return 0;
    case DM_GETDEFID:  // Enter presses Make HTML, as in a dialog whose default button it is
      return MAKELRESULT(win32::ControlId(win32::Control::cmdMake), DC_HASDEFID);
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<NMHDR*>(l));
    case WM_DESTROY:
      names_.reset();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, w, l);
  }
}

bool frmQuorvane::OnCreate() {
  if (!controls_.Create(hwnd_)) {
    return false;
  }
  files_.emplace(controls_[win32::Control::File1]);
  names_.emplace(controls_);
  Scale(win32::WindowDpi(hwnd_));
  ShowStart();
  focus_ = controls_[win32::Control::Drive1];
  return true;
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
  } else {
    SetFocus(focus_);
  }
}

LRESULT frmQuorvane::OnNotify(NMHDR& notification) {
  LRESULT result = 0;
  if (files_ && files_->Answer(notification, result)) {
    return result;
  }
  return DefWindowProcW(hwnd_, WM_NOTIFY, notification.idFrom,
                        reinterpret_cast<LPARAM>(&notification));
}

// The drive that holds the folder to start on, and that folder in the tree.
void frmQuorvane::ShowStart() {
  const Place place = navigator_.Start(start_).place;
  win32::ShowDrives(controls_[win32::Control::Drive1], navigator_.Volumes(), place.volume);
  std::vector<std::string> sub_folders;
  if (auto folder = services_.files.OpenFolder(place.folder)) {
    if (auto names = (*folder)->SubFolderNames()) {
      sub_folders = std::move(*names);
    }
  }
  std::sort(sub_folders.begin(), sub_folders.end(),
            [&](const std::string& a, const std::string& b) {
              return CompareNames(services_.regional, a, b) < 0;
            });
  win32::ShowFolder(controls_[win32::Control::Dir1], navigator_.Root(place.volume), place.folder,
                    sub_folders);
  navigator_.Shown(place);
}

}  // namespace quorvane
