#include "window/win32/form_layout.h"

namespace quorvane::win32 {
namespace {

struct Twips {
  int left;
  int top;
  int width;
  int height;
};

constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidth = 6945;
constexpr int kClientHeight = 4260;

// Left, top, width and height, in tab order.
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

SIZE ClientSize(UINT dpi) { return {Pixels(kClientWidth, dpi), Pixels(kClientHeight, dpi)}; }

RECT ControlRect(Control control, UINT dpi) {
  const Twips& twips = kTwips[static_cast<std::size_t>(control)];
  const int left = Pixels(twips.left, dpi);
  const int top = Pixels(twips.top, dpi);
  return {left, top, left + Pixels(twips.width, dpi), top + Pixels(twips.height, dpi)};
}

}  // namespace quorvane::win32
