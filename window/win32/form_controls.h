#pragma once

#include <windows.h>

#include <array>  // std::array

#include "window/win32/form_layout.h"

namespace quorvane::win32 {

// The form's controls, by Control.
class FormControls {
 public:
  HWND operator[](Control control) const { return handles_[static_cast<std::size_t>(control)]; }

  // Makes the controls as children of `form`, in tab order and at no size yet; false when one of
  // them cannot be made.
  bool Create(HWND form);

  // Whether every caption fits its control at `font` and `dpi`.
  bool CaptionsFit(HFONT font, UINT dpi) const;

  // Gives every control `font` and places it at its rectangle at `dpi`.
  void Place(HFONT font, UINT dpi) const;

 private:
  std::array<HWND, kControlCount> handles_{};
};

}  // namespace quorvane::win32
