#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace quorvane {

struct FormControls;

// The form's layout, designed in twips (1/1440 inch, 15 to a pixel at 96 dots per inch) for an
// 8-point font, and drawn larger in proportion where the desktop's font is larger than usual.
class FormLayout {
 public:
  // `scale` 1 is the design as it is: a client area of 463 × 284 pixels and an 11-pixel font.
  explicit FormLayout(double scale);

  // How much larger than the usual 9 points at 96 dots per inch (12 pixels) the desktop's font
  // is; never less than 1, so a small desktop font never makes the captions too small to read.
  static double DesktopScale();

  // The first, and smallest, size of the client area.
  QSize ClientSize() const;

  // Gives `form` the captions' font: 11 pixels at scale 1; a face too wide for the captions gets
  // smaller, to 8 pixels.
  void FitFont(QWidget& form, const FormControls& controls) const;
  // Whether every caption fits its control at the form's font.
  bool CaptionsFit(const FormControls& controls) const;

  // Places the controls in a client area of `client`. Beyond the first size the lists share the
  // extra width and take the extra height; the two bottom rows stay at the bottom, with
  // lblFCount and cmdMake at the right.
  void Place(const FormControls& controls, QSize client) const;

 private:
  double scale_;
};

}  // namespace quorvane
