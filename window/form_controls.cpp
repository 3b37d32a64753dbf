#include "window/form_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTreeView>

#include "window/count_label.h"
#include "window/volume_box.h"

namespace quorvane {
namespace {

void CreateLists(QWidget& form, QAbstractItemModel& files, QAbstractItemModel& folders,
                 FormControls& c) {
  c.File1 = new QListView(&form);
  c.File1->setModel(&files);
  c.File1->setSelectionMode(QAbstractItemView::SingleSelection);
  c.File1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Rows of one height let a folder of 100,000 files scroll without measuring each name.
  c.File1->setUniformItemSizes(true);

  c.Dir1 = new QTreeView(&form);
  c.Dir1->setModel(&folders);
  c.Dir1->setHeaderHidden(true);
  c.Dir1->setSelectionMode(QAbstractItemView::SingleSelection);
  c.Dir1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  c.Dir1->setUniformRowHeights(true);
  c.Dir1->setIndentation(12);

  c.Drive1 = new VolumeBox(&form);
}

void CreateLabels(QWidget& form, FormControls& c) {
  c.lblPath = new QLabel(&form);
  c.lblFCount = new CountLabel(&form);
  for (QLabel* label : {c.lblPath, static_cast<QLabel*>(c.lblFCount)}) {
    // Folder names are shown as they are, never read as markup or access keys.
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setIndent(3);
  }
  c.lblPath->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  c.lblFCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void CreateButtons(QWidget& form, FormControls& c) {
  c.cmdRefresh = new QPushButton(QStringLiteral("&Refresh List"), &form);
  c.chkImg = new QCheckBox(QStringLiteral("Show &Images in HTML Page"), &form);
  c.chkView = new QCheckBox(QStringLiteral("&View HTML"), &form);
  c.cmdMake = new QPushButton(QStringLiteral("Make &HTML"), &form);
  // Enter presses the button that has the focus, and Make HTML anywhere else.
  c.cmdRefresh->setAutoDefault(true);
  c.cmdMake->setAutoDefault(true);
  c.cmdMake->setDefault(true);
}

void Name(QWidget* control, const char* object_name, const QString& name,
          const QString& description) {
  control->setObjectName(QLatin1String(object_name));
  control->setAccessibleName(name);
  control->setAccessibleDescription(description);
}

void NameControls(const FormControls& c) {
  Name(c.cmdRefresh, "cmdRefresh", QStringLiteral("Refresh List"),
       QStringLiteral("Reads the folder's files and sub-folders again"));
  Name(c.chkImg, "chkImg", QStringLiteral("Show Images in HTML Page"),
       QStringLiteral("Shows each picture inline under its entry in the page"));
  Name(c.chkView, "chkView", QStringLiteral("View HTML"),
       QStringLiteral("Opens the finished page in the web browser"));
  Name(c.cmdMake, "cmdMake", QStringLiteral("Make HTML"),
       QStringLiteral("Writes quorvane_index.html, the folder's index page, into the folder"));
  Name(c.File1, "File1", QStringLiteral("Files"), QStringLiteral("The files in the folder"));
  Name(c.Dir1, "Dir1", QStringLiteral("Folders"),
       QStringLiteral("The folders of the volume; the one chosen is listed"));
  Name(c.Drive1, "Drive1", QStringLiteral("Volume"),
       QStringLiteral("The mounted volume whose folders are shown"));
  Name(c.lblPath, "lblPath", QStringLiteral("Folder path"),
       QStringLiteral("The full path of the folder listed"));
  Name(c.lblFCount, "lblFCount", QStringLiteral("Number of files"),
       QStringLiteral("How many files the folder held when it was last read"));
}

}  // namespace

void CreateControls(QWidget& form, QAbstractItemModel& files, QAbstractItemModel& folders,
                    FormControls& controls) {
  CreateButtons(form, controls);
  CreateLists(form, files, folders, controls);
  CreateLabels(form, controls);
  NameControls(controls);

  const FormControls& c = controls;
  QWidget::setTabOrder(c.Drive1, c.Dir1);
  QWidget::setTabOrder(c.Dir1, c.File1);
  QWidget::setTabOrder(c.File1, c.chkImg);
  QWidget::setTabOrder(c.chkImg, c.chkView);
  QWidget::setTabOrder(c.chkView, c.cmdRefresh);
  QWidget::setTabOrder(c.cmdRefresh, c.cmdMake);
  c.Drive1->setFocus();
}

}  // namespace quorvane
