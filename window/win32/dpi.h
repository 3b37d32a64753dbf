#pragma once

#include <windows.h>

#include <functional>  // std::function

#include "window/win32/scoped.h"

namespace quorvane::win32 {

// Windows 10's calls for a window on each monitor at its own scale are asked for by name, so
// that the program still starts on Windows 7, where the whole desktop has one scale.

// The dots per inch `window` is drawn at.
UINT WindowDpi(HWND window);

// The system's message font, as it is drawn at `dpi`; where the captions do not fit at its size
// (`fits` says), a pixel smaller at a time, down to 8 pixels at 96 dots per inch.
ScopedFont MessageFont(UINT dpi, const std::function<bool(HFONT)>& fits);

// The size of a window of `style` and `ex_style` whose client area is `client` at `dpi`.
SIZE WindowSize(SIZE client, DWORD style, DWORD ex_style, UINT dpi);

}  // namespace quorvane::win32
