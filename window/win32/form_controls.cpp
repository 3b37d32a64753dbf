#include "window/win32/form_controls.h"

#include <commctrl.h>

#include <string_view>  // std::wstring_view

namespace quorvane::win32 {
namespace {

struct ControlKind {
  const wchar_t* window_class;
  const wchar_t* caption;
  DWORD style;
  DWORD ex_style;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kTabStop = kChild | WS_TABSTOP;
// A label shows a path or a count as it is: an "&" in a folder's name is no access key.
constexpr DWORD kLabel = kChild | SS_NOPREFIX | SS_LEFTNOWORDWRAP;

// In tab order. The lists keep their sizes exactly: a tree view and a list view never shrink to
// whole lines, and the drop-down is sized in Place().
constexpr ControlKind kKinds[kControlCount] = {
    {WC_COMBOBOXW, L"", kTabStop | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0},
    {WC_TREEVIEWW, L"",
     kTabStop | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS |
         TVS_DISABLEDRAGDROP,
     WS_EX_CLIENTEDGE},
    {WC_LISTVIEWW, L"",
     kTabStop | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
     WS_EX_CLIENTEDGE},
    {WC_STATICW, L"", kLabel | SS_PATHELLIPSIS, 0},
    {WC_STATICW, L"", kLabel, 0},
    {WC_BUTTONW, L"Show &Images in HTML Page", kTabStop | BS_AUTOCHECKBOX, 0},
    {WC_BUTTONW, L"&View HTML", kTabStop | BS_AUTOCHECKBOX, 0},
    {WC_BUTTONW, L"&Refresh List", kTabStop | BS_PUSHBUTTON, 0},
    {WC_BUTTONW, L"Make &HTML", kTabStop | BS_DEFPUSHBUTTON, 0},
};

// How many drives the drop-down shows when open before it scrolls.
constexpr int kDropDownLines = 12;

int WindowHeight(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

// The drop-down's height is that of its open list; closed, it is as high as its selection field
// makes it, which is set here so that it is exactly `height`. Set once more where the field
// came out otherwise: not every system reads back the field's height as it was set.
void SizeDropDown(HWND box, const RECT& rect) {
  const int height = rect.bottom - rect.top;
  const int item = static_cast<int>(SendMessageW(box, CB_GETITEMHEIGHT, 0, 0));
  SetWindowPos(box, nullptr, rect.left, rect.top, rect.right - rect.left,
               height + item * kDropDownLines, SWP_NOZORDER | SWP_NOACTIVATE);
  auto field = static_cast<int>(SendMessageW(box, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int tries = 0; tries < 2 && WindowHeight(box) != height; ++tries) {
    field -= WindowHeight(box) - height;
    if (field <= 0) {
      break;
    }
    SendMessageW(box, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  }
}

// The list view's one column fills its width, so that it reads as a list of names.
void AddNameColumn(HWND list) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  ListView_InsertColumn(list, 0, &column);
}

}  // namespace

bool FormControls::Create(HWND form) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(form, GWLP_HINSTANCE));
  for (std::size_t i = 0; i < kControlCount; ++i) {
    const ControlKind& kind = kKinds[i];
    const auto id = static_cast<UINT_PTR>(ControlId(static_cast<Control>(i)));
    handles_[i] = CreateWindowExW(kind.ex_style, kind.window_class, kind.caption, kind.style, 0, 0,
                                  0, 0, form, reinterpret_cast<HMENU>(id), instance, nullptr);
    if (handles_[i] == nullptr) {
      return false;
    }
  }
  AddNameColumn((*this)[Control::File1]);
  return true;
}

bool FormControls::CaptionsFit(HFONT font, UINT dpi) const {
  const HDC dc = GetDC(handles_[0]);
  const HGDIOBJ before = SelectObject(dc, font);
  bool fit = true;
  for (std::size_t i = 0; i < kControlCount; ++i) {
    if (kKinds[i].window_class != std::wstring_view(WC_BUTTONW)) {
      continue;
    }
    RECT text{};
    DrawTextW(dc, kKinds[i].caption, -1, &text, DT_CALCRECT | DT_SINGLELINE);
    // Beside the text: a check box's box and the gap after it, or a button's edges.
    const bool check_box = (kKinds[i].style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    const int beside = MulDiv(check_box ? 18 : 10, static_cast<int>(dpi), 96);
    const RECT room = ControlRect(static_cast<Control>(i), dpi);
    fit = fit && text.right - text.left + beside <= room.right - room.left &&
          text.bottom - text.top <= room.bottom - room.top;
  }
  SelectObject(dc, before);
  ReleaseDC(handles_[0], dc);
  return fit;
}

void FormControls::Place(HFONT font, UINT dpi) const {
  for (std::size_t i = 0; i < kControlCount; ++i) {
    SendMessageW(handles_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const auto control = static_cast<Control>(i);
    const RECT rect = ControlRect(control, dpi);
    if (control == Control::Drive1) {
      SizeDropDown(handles_[i], rect);
      continue;
    }
    SetWindowPos(handles_[i], nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const HWND files = (*this)[Control::File1];
  ListView_SetColumnWidth(files, 0, LVSCW_AUTOSIZE_USEHEADER);
  InvalidateRect(GetParent(files), nullptr, TRUE);
}

}  // namespace quorvane::win32
