#pragma once

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QTreeView;
class QWidget;

namespace quorvane {

class CountLabel;

// The form's nine controls, by the names the design gives them.
struct FormControls {
  QPushButton* cmdRefresh = nullptr;
  QCheckBox* chkImg = nullptr;
  QCheckBox* chkView = nullptr;
  QPushButton* cmdMake = nullptr;
  QListView* File1 = nullptr;
  QTreeView* Dir1 = nullptr;
  QComboBox* Drive1 = nullptr;
  QLabel* lblPath = nullptr;
  CountLabel* lblFCount = nullptr;
};

// Creates the controls on `form`: their captions, object names and accessible names, and the
// tab order. File1 shows `files` and Dir1 `folders`.
void CreateControls(QWidget& form, QAbstractItemModel& files, QAbstractItemModel& folders,
                    FormControls& controls);

}  // namespace quorvane
