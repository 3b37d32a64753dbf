#include "window/win32/form_layout.h"

namespace quorvane::win32 {
namespace {

// Each measure rounded on its own, so that a width is the same wherever its control is.
int Pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch); }

}  // namespace

SIZE ClientSize(UINT dpi) {
  return {Pixels(kClientWidthTwips, dpi), Pixels(kClientHeightTwips, dpi)};
}

RECT ControlRect(Control control, UINT dpi) {
  const auto& [left, top, width, height] = Design(control);
  const int x = Pixels(left, dpi);
  const int y = Pixels(top, dpi);
  return {x, y, x + Pixels(width, dpi), y + Pixels(height, dpi)};
}

}  // namespace quorvane::win32
