#include "window/qt/window_icon.h"

#include <QPainter>
#include <QPixmap>

namespace quorvane {
namespace {

// A page of index lines with a folder in front of it.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.scale(size / 16.0, size / 16.0);
  painter.setPen(QColor(0x40, 0x40, 0x40));
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(4.5, 0.5, 10, 13));
  painter.setPen(QPen(QColor(0x10, 0x30, 0xC0), 1));
  for (const double y : {3.5, 5.5, 7.5, 9.5, 11.5}) {
    painter.drawLine(QPointF(6.5, y), QPointF(12.5, y));
  }
  painter.setPen(QColor(0x80, 0x60, 0x00));
  painter.setBrush(QColor(0xF0, 0xC0, 0x30));
  painter.drawRect(QRectF(0.5, 7.5, 4, 2));
  painter.drawRect(QRectF(0.5, 8.5, 9, 6));
  return pixmap;
}

}  // namespace

QIcon WindowIcon() {
  QIcon drawn;
  drawn.addPixmap(DrawIcon(16));
  drawn.addPixmap(DrawIcon(32));
  return QIcon::fromTheme(QStringLiteral("org.quorvane.Quorvane"), drawn);
}

}  // namespace quorvane
