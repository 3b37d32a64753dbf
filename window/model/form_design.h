#pragma once

#include <cstddef>  // std::size_t

namespace quorvane {

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

// A place on the form, in twips: 1/1440 inch, 15 to a pixel at 96 dots per inch.
struct Twips {
  int left;
  int top;
  int width;
  int height;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr double kTwipsPerPixel = 15;  // at 96 dots per inch
inline constexpr int kClientWidthTwips = 6945;
inline constexpr int kClientHeightTwips = 4260;

// Where each control stands on the form as designed, by its place in the tab order.
inline constexpr Twips kFormDesign[kControlCount] = {
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

constexpr const Twips& Design(Control control) {
  return kFormDesign[static_cast<std::size_t>(control)];
}

}  // namespace quorvane
