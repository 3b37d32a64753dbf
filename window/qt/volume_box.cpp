#include "window/qt/volume_box.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>

namespace quorvane {
namespace {

// The drop-down as assistive technology sees it: named by its accessible name, with the volume
// chosen as its value and the list it opens as its one child. Made whole here, since Qt's own
// interface for a drop-down may not be asked for from inside a factory: Qt's cache would
// register two interfaces for the one object.
class VolumeBoxAccessible final : public QAccessibleWidget {
 public:
  explicit VolumeBoxAccessible(VolumeBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) {
      return Box()->currentText();
    }
    return QAccessibleWidget::text(type);
  }

  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == Box()->view() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  QString localizedActionDescription(const QString& action) const override {
    return IsOpening(action) ? QStringLiteral("Opens the list of volumes")
                             : QAccessibleWidget::localizedActionDescription(action);
  }
  void doAction(const QString& action) override {
    if (!IsOpening(action)) {
      QAccessibleWidget::doAction(action);
    } else if (Box()->view()->isVisible()) {
      Box()->hidePopup();
    } else {
      Box()->showPopup();
    }
  }
  QStringList keyBindingsForAction(const QString& /*action*/) const override { return {}; }

 private:
  static bool IsOpening(const QString& action) {
    return action == showMenuAction() || action == pressAction();
  }
  VolumeBox* Box() const { return static_cast<VolumeBox*>(widget()); }
};

QAccessibleInterface* VolumeBoxFactory(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String(VolumeBox::staticMetaObject.className())) {
    return nullptr;
  }
  return new VolumeBoxAccessible(static_cast<VolumeBox*>(object));
}

}  // namespace

VolumeBox::VolumeBox(QWidget* parent) : QComboBox(parent) {
  static const bool installed = (QAccessible::installFactory(VolumeBoxFactory), true);
  (void)installed;
}

VolumeBox::~VolumeBox() = default;

}  // namespace quorvane
