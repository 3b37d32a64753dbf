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

#include "window/qt/count_label.h"
#include "window/qt/form_controls.h"

namespace quorvane {

namespace {

struct Twips {
  int left;
  int top;
  int width;
  int height;
};

constexpr double kTwipsPerPixel = 15;
constexpr int kClientWidth = 6945;
constexpr int kClientHeight = 4260;

// Left, top, width and height, in the order the controls are declared.
constexpr Twips kCmdRefresh{3960, 3900, 1440, 315};
constexpr Twips kChkImg{60, 3900, 2355, 300};
constexpr Twips kChkView{2520, 3900, 1335, 300};
constexpr Twips kCmdMake{5460, 3900, 1450, 315};
constexpr Twips kFile1{3900, 60, 3015, 3405};
constexpr Twips kDir1{0, 420, 3855, 3015};
constexpr Twips kDrive1{0, 60, 3855, 315};
constexpr Twips kLblPath{0, 3480, 5355, 315};
constexpr Twips kLblFCount{5460, 3480, 1450, 315};

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
  return {Scaled(kClientWidth / kTwipsPerPixel, scale_),
          Scaled(kClientHeight / kTwipsPerPixel, scale_)};
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
  const std::pair<const QWidget*, Twips> captioned[] = {{c.cmdRefresh, kCmdRefresh},
                                                        {c.chkImg, kChkImg},
                                                        {c.chkView, kChkView},
                                                        {c.cmdMake, kCmdMake}};
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

  c.Drive1->setGeometry(Pixels(kDrive1, scale_).adjusted(0, 0, left_wider, 0));
  c.Dir1->setGeometry(Pixels(kDir1, scale_).adjusted(0, 0, left_wider, taller));
  c.File1->setGeometry(Pixels(kFile1, scale_).adjusted(left_wider, 0, wider, taller));
  c.lblPath->setGeometry(Pixels(kLblPath, scale_).adjusted(0, taller, wider, taller));
  c.lblFCount->setGeometry(Pixels(kLblFCount, scale_).translated(wider, taller));
  c.chkImg->setGeometry(Pixels(kChkImg, scale_).translated(0, taller));
  c.chkView->setGeometry(Pixels(kChkView, scale_).translated(0, taller));
  c.cmdRefresh->setGeometry(Pixels(kCmdRefresh, scale_).translated(0, taller));
  c.cmdMake->setGeometry(Pixels(kCmdMake, scale_).translated(wider, taller));
}

}  // namespace quorvane
