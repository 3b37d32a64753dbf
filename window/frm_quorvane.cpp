#include "window/frm_quorvane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeView>

#include <utility>  // std::move

#include "index/folder_listing.h"
#include "index/folder_navigator.h"
#include "index/index_page_writer.h"
#include "index/program_version.h"
#include "platform/default_handler.h"
#include "platform/services.h"
#include "platform/volumes.h"
#include "window/count_label.h"
#include "window/display_name.h"
#include "window/file_list_model.h"
#include "window/folder_tree_model.h"
#include "window/window_icon.h"

namespace quorvane {
namespace {

// A page generation moves the file selection once per file; it is painted this often at most.
constexpr qint64 kSelectionPaintMilliseconds = 40;

// The volume's mount point, and its label in brackets where it has one.
QString VolumeText(const platform::Volume& volume) {
  QString text = DisplayName(volume.mount_point);
  if (!volume.label.empty()) {
    text += QStringLiteral("  [") % DisplayName(volume.label) % u']';
  }
  return text;
}

}  // namespace

frmQuorvane::frmQuorvane(const platform::Services& services, const platform::DefaultHandler& opener,
                         std::vector<platform::Volume> volumes, const StartFolders& start,
                         QWidget* parent)
    : QWidget(parent),
      services_(services),
      opener_(opener),
      layout_(FormLayout::DesktopScale()),
      navigator_(std::make_unique<FolderNavigator>(services.files, std::move(volumes))),
      files_(std::make_unique<FileList>(services.regional, services.files)),
      file_model_(std::make_unique<FileListModel>(*files_)),
      folder_model_(std::make_unique<FolderTreeModel>(services.regional, services.files,
                                                      style()->standardIcon(QStyle::SP_DirIcon))) {
  CreateControls(*this, *file_model_, *folder_model_, *this);
  const QIcon drive_icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const platform::Volume& volume : navigator_->Volumes()) {
    Drive1->addItem(drive_icon, VolumeText(volume));
  }
  ConnectControls();
  layout_.FitFont(*this, *this);
  setMinimumSize(layout_.ClientSize());
  resize(layout_.ClientSize());
  layout_.Place(*this, size());
  setObjectName(QStringLiteral("frmQuorvane"));
  setWindowTitle(QStringLiteral("quorvane"));
  setWindowIcon(WindowIcon());
  // The id of the installed desktop entry, by which Wayland and the task bar find the icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));

  Form_Load(start);
}

frmQuorvane::~frmQuorvane() = default;

void frmQuorvane::ConnectControls() {
  connect(Drive1, &QComboBox::currentIndexChanged, this, &frmQuorvane::Drive1_Change);
  connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &frmQuorvane::Dir1_Change);
  connect(cmdRefresh, &QPushButton::clicked, this, &frmQuorvane::cmdRefresh_Click);
  connect(cmdMake, &QPushButton::clicked, this, &frmQuorvane::cmdMake_Click);
  connect(file_model_.get(), &FileListModel::SelectionMoved, this,
          &frmQuorvane::FollowFileSelection);
  connect(File1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &frmQuorvane::File1_Select);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
          &QWidget::close);
}

void frmQuorvane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layout_.Place(*this, event->size());
}

void frmQuorvane::keyPressEvent(QKeyEvent* event) {
  // Enter that no control took presses the default button, as in a dialog.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    cmdMake->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void frmQuorvane::Form_Load(const StartFolders& start) {
  setWindowTitle(QStringLiteral("quorvane ") % QLatin1String(kProgramVersionText));
  const StartPlace place = navigator_->Start(start);
  GoTo(place.place);
  // Dir1's change has shown the folder already; showing it once more leaves the same state.
  ShowFolder();
  if (!place.error.empty()) {
    // Said over the window once it shows, rather than before there is a window to say it over.
    QMetaObject::invokeMethod(
        this, [this, error = place.error] { ShowFailure(error); }, Qt::QueuedConnection);
  }
}

void frmQuorvane::Drive1_Change(int volume) {
  if (volume < 0) {
    return;
  }
  // Dir1 goes to the volume's current folder, and its change notification shows it.
  GoTo(navigator_->VolumeChosen(static_cast<std::size_t>(volume)));
}

void frmQuorvane::Dir1_Change() { ShowFolderOrFallBack(); }

void frmQuorvane::cmdRefresh_Click() {
  // Sub-folders made since the folder was first opened appear too. Showing the folder re-reads
  // the file list, so it is read once.
  folder_model_->Relist(Dir1->currentIndex());
  ShowFolderOrFallBack();
}

void frmQuorvane::cmdMake_Click() {
  const GenerationOutcome outcome = MakePage();
  if (outcome.completed && chkView->isChecked()) {
    opener_.Open(outcome.OutPath);
  }
  if (!outcome.completed) {
    ShowFailure(outcome.description);
  }
}

std::string frmQuorvane::ShowFolder() {
  const FolderViewState state =
      RefreshFolderView(folder_model_->Path(Dir1->currentIndex()), CurPath, *files_);
  lblFCount->ShowCount(QString::fromStdString(state.count_text));
  lblPath->setText(DisplayName(state.path_text));
  lblPath->setToolTip(lblPath->text());
  cmdMake->setEnabled(state.generation_enabled);
  chkView->setEnabled(state.generation_enabled);
  chkImg->setEnabled(state.generation_enabled);
  return state.listing_error;
}

void frmQuorvane::ShowFolderOrFallBack() {
  const Place place = CurrentPlace();
  const std::string error = ShowFolder();
  if (error.empty()) {
    navigator_->Shown(place);
  } else if (!falling_back_) {
    // Reported once the view is done with the click or key that chose the folder, so that no
    // mouse button is left held down behind the message box.
    QMetaObject::invokeMethod(
        this,
        [this, error, place] {
          ShowFailure(error);
          FallBack(place);
        },
        Qt::QueuedConnection);
  }
}

Place frmQuorvane::CurrentPlace() const {
  return {static_cast<std::size_t>(Drive1->currentIndex()),
          folder_model_->Path(Dir1->currentIndex())};
}

void frmQuorvane::GoTo(const Place& place) {
  if (Drive1->currentIndex() != static_cast<int>(place.volume)) {
    // Drive1 only shows the volume; Dir1 is pointed at the folder just below.
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(static_cast<int>(place.volume));
  }
  const std::string& root = navigator_->Root(place.volume);
  if (folder_model_->Path(folder_model_->RootIndex()) != root) {
    folder_model_->SetRoot(root);
  }
  GoToFolder(place.folder);
}

void frmQuorvane::GoToFolder(const std::string& folder) {
  const QModelIndex target = folder_model_->Find(folder);
  for (QModelIndex above = target.parent(); above.isValid(); above = above.parent()) {
    Dir1->expand(above);
  }
  Dir1->expand(folder_model_->RootIndex());
  if (target == Dir1->currentIndex()) {
    Dir1_Change();
  } else {
    Dir1->setCurrentIndex(target);
  }
  Dir1->scrollTo(target);
}

void frmQuorvane::FallBack(const Place& failed) {
  falling_back_ = true;
  GoTo(navigator_->AfterFailure(failed));
  // A folder that went away leaves the tree where the window lands.
  folder_model_->Relist(Dir1->currentIndex());
  falling_back_ = false;
}

void frmQuorvane::ShowFailure(const std::string& description) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("quorvane"), DisplayName(description),
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

GenerationOutcome frmQuorvane::MakePage() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  generating_ = true;
  file_selection_painted_.invalidate();
  GenerationOutcome outcome =
      MakeIndexPage(chkImg->isChecked(), CurPath, CurFile, *files_, services_);
  generating_ = false;
  FollowFileSelection();
  QGuiApplication::restoreOverrideCursor();
  return outcome;
}

void frmQuorvane::FollowFileSelection() {
  if (generating_ && file_selection_painted_.isValid() &&
      !file_selection_painted_.hasExpired(kSelectionPaintMilliseconds)) {
    return;
  }
  const qint64 position = files_->Selected();
  const QModelIndex current =
      position < 0 ? QModelIndex() : file_model_->index(static_cast<int>(position));
  if (current != File1->currentIndex()) {
    File1->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    File1->scrollTo(current);
  }
  if (generating_) {
    // The handler keeps the event loop waiting, so the view is painted here and now.
    File1->repaint();
    file_selection_painted_.start();
  }
}

void frmQuorvane::File1_Select(const QModelIndex& current) {
  const qint64 position = current.isValid() ? current.row() : -1;
  if (position != files_->Selected()) {
    files_->Select(position);
  }
}

}  // namespace quorvane
