#include "window/qt/count_label.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace quorvane {
namespace {

// The label with a text interface, so that assistive technology reads its spoken text; it has
// no selection or cursor, since it takes no focus.
class CountLabelAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit CountLabelAccessible(CountLabel* label)
      : QAccessibleWidget(label, QAccessible::StaticText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) {
      return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text type) const override {
    return type == QAccessible::Value ? Spoken() : QAccessibleWidget::text(type);
  }

  QString text(int start, int end) const override { return Spoken().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Spoken().size()); }
  void selection(int /*index*/, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int /*start*/, int /*end*/) override {}
  void removeSelection(int /*index*/) override {}
  void setSelection(int /*index*/, int /*start*/, int /*end*/) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int /*position*/) override {}
  QRect characterRect(int /*offset*/) const override { return {}; }
  int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
  void scrollToSubstring(int /*start*/, int /*end*/) override {}
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  const QString& Spoken() const { return static_cast<const CountLabel*>(widget())->Spoken(); }
};

QAccessibleInterface* CountLabelFactory(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String(CountLabel::staticMetaObject.className())) {
    return nullptr;
  }
  return new CountLabelAccessible(static_cast<CountLabel*>(object));
}

}  // namespace

CountLabel::CountLabel(QWidget* parent) : QLabel(parent) {
  static const bool installed = (QAccessible::installFactory(CountLabelFactory), true);
  (void)installed;
}

CountLabel::~CountLabel() = default;

void CountLabel::ShowCount(std::int64_t count) {
  const QString old = spoken_;
  const QString shown = QString::number(count);
  spoken_ = shown % (count == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
  setText(shown);
  if (QAccessible::isActive() && spoken_ != old) {
    QAccessibleTextUpdateEvent event(this, 0, old, spoken_);
    QAccessible::updateAccessibility(&event);
  }
}

}  // namespace quorvane
