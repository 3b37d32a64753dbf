#include "window/win32/form_layout.h"

namespace quorvane::win32 {
namespace {

// Left, top, width and height.
using Twips = int[4];

constexpr int kTwipsPerInch = 1440;
constexpr SIZE kClientTwips{6945, 4260};

// In tab order.
constexpr Twips kTwips[kControlCount] = {
    {0, 60, 3855, 315},       // Drive1
    {0, 420, 3855, 3015},     // Dir1
    {3900, 60, 3015, 3405},   // File1
    {0, 3480, 5355, 315},     // lblPath
    {5460, 3480, 1450, 315},  // lblFCount
    {60, 3900, 2355, 300},    // chkImg
    {2520, 3900, 1335, 300},  // chkView
    {3960, 3900, 1440, 315},  // cmdRefresh
    {5460, 3900, 1450, 315},  // cmdMake
};

// Each measure rounded on its own, so that a width is the same wherever its control is.
int Pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch); }

}  // namespace

SIZE ClientSize(UINT dpi) { return {Pixels(kClientTwips.cx, dpi), Pixels(kClientTwips.cy, dpi)}; }

RECT ControlRect(Control control, UINT dpi) {
  const auto& [left, top, width, height] = kTwips[static_cast<std::size_t>(control)];
  const int x = Pixels(left, dpi);
  const int y = Pixels(top, dpi);
  return {x, y, x + Pixels(width, dpi), y + Pixels(height, dpi)};
}

}  // namespace quorvane::win32
