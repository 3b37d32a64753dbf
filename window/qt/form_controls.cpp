#include "window/qt/form_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTreeView>

#include "window/qt/count_label.h"
#include "window/qt/volume_box.h"

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
  // A list of a million is laid out a part at a time, the window answering in between.
  c.File1->setLayoutMode(QListView::Batched);
  c.File1->setBatchSize(20000);

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

void NameControls(const FormControls& c) {
  const struct {
    QWidget* control;
    const char* object_name;
    const char* name;  // what a screen reader calls it: the caption without its "&"
    const char* description;
  } names[] = {
      {c.cmdRefresh, "cmdRefresh", "Refresh List",
       "Reads the folder's files and sub-folders again"},
      {c.chkImg, "chkImg", "Show Images in HTML Page",
       "Shows each picture inline under its entry in the page"},
      {c.chkView, "chkView", "View HTML", "Opens the finished page in the web browser"},
      {c.cmdMake, "cmdMake", "Make HTML",
       "Writes quorvane_index.html, the folder's index page, into the folder"},
      {c.File1, "File1", "Files", "The files in the folder"},
      {c.Dir1, "Dir1", "Folders", "The folders of the volume; the one chosen is listed"},
      {c.Drive1, "Drive1", "Volume", "The mounted volume whose folders are shown"},
      {c.lblPath, "lblPath", "Folder path", "The full path of the folder listed"},
      {c.lblFCount, "lblFCount", "Number of files",
       "How many files the folder held when it was last read"},
  };
  for (const auto& each : names) {
    each.control->setObjectName(QLatin1String(each.object_name));
    each.control->setAccessibleName(QString::fromUtf8(each.name));
    each.control->setAccessibleDescription(QString::fromUtf8(each.description));
  }
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
