#include "window/qt/form_layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include <algorithm>  // std::max
#include <cmath>      // std::lround
#include <utility>    // std::pair

#include "window/model/form_design.h"
#include "window/qt/count_label.h"
#include "window/qt/form_controls.h"

namespace quorvane {

namespace {

// 11 pixels is the design's 8 points at 96 dots per inch; 12 pixels the desktop's usual 9.
constexpr double kLargestFontPixels = 11;
constexpr double kSmallestFontPixels = 8;
constexpr double kUsualDesktopFontPixels = 12;

int Scaled(double pixels, double scale) { return static_cast<int>(std::lround(pixels * scale)); }

QRect Pixels(const Twips& twips, double scale) {
  const auto pixels = [&](int value) { return Scaled(value / kTwipsPerPixel, scale); };
  return {pixels(twips.left), pixels(twips.top), pixels(twips.width), pixels(twips.height)};
}

}  // namespace

FormLayout::FormLayout(double scale) : scale_(std::max(scale, 1.0)) {}

double FormLayout::DesktopScale() {
  const QFont font = QApplication::font();
  double pixels = font.pixelSize();
  if (pixels <= 0) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96;
    pixels = font.pointSizeF() * dpi / 72;
  }
  return std::max(pixels / kUsualDesktopFontPixels, 1.0);
}

QSize FormLayout::ClientSize() const {
  return {Scaled(kClientWidthTwips / kTwipsPerPixel, scale_),
          Scaled(kClientHeightTwips / kTwipsPerPixel, scale_)};
}

void FormLayout::FitFont(QWidget& form, const FormControls& controls) const {
  QFont font;
  // Narrow faces first; Debian always has DejaVu Sans.
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                    QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  const int smallest = Scaled(kSmallestFontPixels, scale_);
  for (int pixels = Scaled(kLargestFontPixels, scale_); pixels >= smallest; --pixels) {
    font.setPixelSize(pixels);
    form.setFont(font);
    if (CaptionsFit(controls)) {
      break;
    }
  }
}

bool FormLayout::CaptionsFit(const FormControls& c) const {
  const std::pair<const QWidget*, Twips> captioned[] = {{c.cmdRefresh, Design(Control::cmdRefresh)},
                                                        {c.chkImg, Design(Control::chkImg)},
                                                        {c.chkView, Design(Control::chkView)},
                                                        {c.cmdMake, Design(Control::cmdMake)}};
  for (const auto& [control, twips] : captioned) {
    const QSize needed = control->sizeHint();
    const QRect room = Pixels(twips, scale_);
    if (needed.width() > room.width() || needed.height() > room.height()) {
      return false;
    }
  }
  return true;
}

void FormLayout::Place(const FormControls& c, QSize client) const {
  const QSize first = ClientSize();
  const int wider = std::max(client.width() - first.width(), 0);
  const int taller = std::max(client.height() - first.height(), 0);
  const int left_wider = wider / 2;

  c.Drive1->setGeometry(Pixels(Design(Control::Drive1), scale_).adjusted(0, 0, left_wider, 0));
  c.Dir1->setGeometry(Pixels(Design(Control::Dir1), scale_).adjusted(0, 0, left_wider, taller));
  c.File1->setGeometry(
      Pixels(Design(Control::File1), scale_).adjusted(left_wider, 0, wider, taller));
  c.lblPath->setGeometry(
      Pixels(Design(Control::lblPath), scale_).adjusted(0, taller, wider, taller));
  c.lblFCount->setGeometry(Pixels(Design(Control::lblFCount), scale_).translated(wider, taller));
  c.chkImg->setGeometry(Pixels(Design(Control::chkImg), scale_).translated(0, taller));
  c.chkView->setGeometry(Pixels(Design(Control::chkView), scale_).translated(0, taller));
  c.cmdRefresh->setGeometry(Pixels(Design(Control::cmdRefresh), scale_).translated(0, taller));
  c.cmdMake->setGeometry(Pixels(Design(Control::cmdMake), scale_).translated(wider, taller));
}

}  // namespace quorvane
