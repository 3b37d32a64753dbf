#pragma once

#include <windows.h>

#include <cstddef>  // std::size_t

#include "window/model/form_design.h"

namespace quorvane::win32 {

using quorvane::Control;
using quorvane::kControlCount;

// Each control's identifier among the form's children: its place in the tab order, from 101.
inline int ControlId(Control control) { return 101 + static_cast<int>(control); }

// The form's layout is designed in twips (1/1440 inch, 15 to a pixel at 96 dots per inch); these
// give it in pixels at `dpi` dots per inch.
SIZE ClientSize(UINT dpi);
RECT ControlRect(Control control, UINT dpi);

}  // namespace quorvane::win32
