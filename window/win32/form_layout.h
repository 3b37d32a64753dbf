#pragma once

#include <windows.h>

#include <cstddef>  // std::size_t

namespace quorvane::win32 {

// The form's controls, in tab order, which is also the order they are created in.
enum class Control : std::size_t {
  Drive1,
  Dir1,
  File1,
  lblPath,
  lblFCount,
  chkImg,
  chkView,
  cmdRefresh,
  cmdMake,
};
inline constexpr std::size_t kControlCount = 9;

// Each control's identifier among the form's children: its place in the tab order, from 101.
inline int ControlId(Control control) { return 101 + static_cast<int>(control); }

// The form's layout is designed in twips (1/1440 inch, 15 to a pixel at 96 dots per inch); these
// give it in pixels at `dpi` dots per inch.
SIZE ClientSize(UINT dpi);
RECT ControlRect(Control control, UINT dpi);

}  // namespace quorvane::win32
