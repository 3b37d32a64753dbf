#include "window/volume_box.h"

#include <QAccessible>

namespace quorvane {
namespace {

// Qt's own interface for the drop-down, with the name changed: everything else, its children
// and their events included, is Qt's.
class VolumeBoxAccessible final : public QAccessibleInterface {
 public:
  explicit VolumeBoxAccessible(QAccessibleInterface* own) : own_(own) {}

  bool isValid() const override { return own_->isValid(); }
  QObject* object() const override { return own_->object(); }
  QWindow* window() const override { return own_->window(); }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    return own_->relations(match);
  }
  QAccessibleInterface* focusChild() const override { return own_->focusChild(); }
  QAccessibleInterface* childAt(int x, int y) const override { return own_->childAt(x, y); }
  QAccessibleInterface* parent() const override { return own_->parent(); }
  QAccessibleInterface* child(int index) const override { return own_->child(index); }
  int childCount() const override { return own_->childCount(); }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return own_->indexOfChild(child);
  }
  QString text(QAccessible::Text type) const override {
    const QString name = static_cast<const QWidget*>(object())->accessibleName();
    return type == QAccessible::Name && !name.isEmpty() ? name : own_->text(type);
  }
  void setText(QAccessible::Text type, const QString& text) override { own_->setText(type, text); }
  QRect rect() const override { return own_->rect(); }
  QAccessible::Role role() const override { return own_->role(); }
  QAccessible::State state() const override { return own_->state(); }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return own_->interface_cast(type);
  }

 private:
  QAccessibleInterface* own_;  // kept, and deleted, by Qt's cache with every other interface
};

QAccessibleInterface* VolumeBoxFactory(const QString& class_name, QObject* object) {
  static bool asking_qt = false;
  if (asking_qt || class_name != QLatin1String(VolumeBox::staticMetaObject.className())) {
    return nullptr;
  }
  // Asked again, this factory declines, and Qt makes its own for the drop-down it is.
  asking_qt = true;
  QAccessibleInterface* own = QAccessible::queryAccessibleInterface(object);
  asking_qt = false;
  return own != nullptr ? new VolumeBoxAccessible(own) : nullptr;
}

}  // namespace

VolumeBox::VolumeBox(QWidget* parent) : QComboBox(parent) {
  static const bool installed = (QAccessible::installFactory(VolumeBoxFactory), true);
  (void)installed;
}

VolumeBox::~VolumeBox() = default;

}  // namespace quorvane
