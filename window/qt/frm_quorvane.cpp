#include "window/qt/frm_quorvane.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeView>

#include <utility>  // std::exchange, std::move

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "index/program_version.h"
#include "platform/default_handler.h"
#include "platform/failure.h"
#include "platform/services.h"
#include "platform/volumes.h"
#include "window/model/folder_navigator.h"
#include "window/model/folder_reads.h"
#include "window/model/generation_run.h"
#include "window/model/window_work.h"
#include "window/qt/count_label.h"
#include "window/qt/display_name.h"
#include "window/qt/file_list_model.h"
#include "window/qt/folder_tree_model.h"
#include "window/qt/window_icon.h"
#include "window/qt/window_thread.h"

namespace quorvane {
namespace {

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
      work_(std::make_unique<WindowWork>(services.executor, PostTo(this))),
      navigator_(std::make_unique<FolderNavigator>(services.files, std::move(volumes))),
      files_(std::make_unique<FileList>(services)),
      file_model_(std::make_unique<FileListModel>(*files_)),
      folder_model_(std::make_unique<FolderTreeModel>(services, *work_,
                                                      style()->standardIcon(QStyle::SP_DirIcon))),
      reads_(std::make_unique<FolderReads>(services, *work_)),
      generation_(std::make_unique<GenerationRun>(
          services, *files_, *work_,
          [this](GenerationOutcome outcome) { PageEnded(std::move(outcome)); })) {
  CreateControls(*this, *file_model_, *folder_model_, *this);
  const QIcon drive_icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const platform::Volume& volume : navigator_->Volumes()) {
    Drive1->addItem(drive_icon, VolumeText(volume));
  }
  stop_shortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  stop_shortcut_->setEnabled(false);
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

frmQuorvane::~frmQuorvane() {
  // A page still being made is stopped, so the previous one stays; it and any folder still being
  // read end before the models they work on go.
  work_->StopAndWait();
}

bool frmQuorvane::Working() const {
  return reads_->Reading() || folder_model_->Revealing() || generation_->Running();
}

void frmQuorvane::ConnectControls() {
  connect(Drive1, &QComboBox::currentIndexChanged, this, &frmQuorvane::Drive1_Change);
  connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &frmQuorvane::Dir1_Change);
  connect(folder_model_.get(), &FolderTreeModel::Revealed, this, &frmQuorvane::Dir1_Revealed);
  connect(cmdRefresh, &QPushButton::clicked, this, &frmQuorvane::cmdRefresh_Click);
  connect(cmdMake, &QPushButton::clicked, this, &frmQuorvane::cmdMake_Click);
  connect(stop_shortcut_, &QShortcut::activated, this, [this] { generation_->Stop(); });
  follow_.setInterval(kFollowMilliseconds);
  connect(&follow_, &QTimer::timeout, this, [this] { generation_->Follow(); });
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

void frmQuorvane::closeEvent(QCloseEvent* event) {
  generation_->Stop();
  QWidget::closeEvent(event);
}

void frmQuorvane::Form_Load(const StartFolders& start) {
  setWindowTitle(QStringLiteral("quorvane ") % QLatin1String(kProgramVersionText));
  const StartPlace place = navigator_->Start(start);
  // Dir1's change, once the tree has found the folder, shows it.
  GoTo(place.place);
  if (!place.asked) {
    // Said over the window once it shows, rather than before there is a window to say it over.
    QMetaObject::invokeMethod(
        this, [this, failure = place.asked.Error()] { ShowFailure(failure); },
        Qt::QueuedConnection);
  }
}

void frmQuorvane::Drive1_Change(int volume) {
  if (volume < 0) {
    return;
  }
  // Dir1 goes to the volume's current folder, and its change notification shows it.
  GoTo(navigator_->VolumeChosen(static_cast<std::size_t>(volume)));
}

void frmQuorvane::Dir1_Change() {
  // The user's choice wins over a GoTo still on its way.
  folder_model_->CancelReveal();
  const Place place = CurrentPlace();
  if (!place.folder.empty()) {
    ShowFolder(place, !falling_back_);
  }
}

void frmQuorvane::cmdRefresh_Click() {
  if (folder_model_->Revealing()) {
    return;  // the folder on its way is read afresh when it is shown
  }
  // Sub-folders made since the folder was first opened appear too. Showing the folder re-reads
  // the file list, so it is read once.
  folder_model_->Relist(Dir1->currentIndex());
  ShowFolder(CurrentPlace(), true);
}

void frmQuorvane::ShowFolder(const Place& place, bool report) {
  reads_->Read(place.folder, [this, place, report](FolderReading& reading) {
    FolderRead(place, report, reading);
  });
}

void frmQuorvane::FolderRead(const Place& place, bool report, FolderReading& reading) {
  const FolderViewState& state = reading.state;
  if (reading.files == nullptr) {
    // Out of memory: what the window shows stays, and the navigator goes elsewhere.
    if (report) {
      ShowFailure(state.listed.Error());
      FallBack(place);
    }
    return;
  }
  files_->Adopt(*reading.files);
  CurPath = state.CurPath;
  lblFCount->ShowCount(state.count);
  lblPath->setText(DisplayName(CurPath));
  lblPath->setToolTip(lblPath->text());
  cmdMake->setEnabled(state.generation_enabled);
  chkView->setEnabled(state.generation_enabled);
  chkImg->setEnabled(state.generation_enabled);
  const bool make = std::exchange(make_when_shown_, false);
  if (state.listed) {
    navigator_->Shown(place);
    if (make && !Working()) {
      cmdMake->click();
    }
  } else if (report) {
    ShowFailure(state.listed.Error());
    FallBack(place);
  }
}

Place frmQuorvane::CurrentPlace() const {
  return {static_cast<std::size_t>(Drive1->currentIndex()),
          folder_model_->Path(Dir1->currentIndex())};
}

void frmQuorvane::GoTo(const Place& place, bool falling_back) {
  // A folder still being read is overtaken by the one gone to.
  reads_->Cancel();
  if (Drive1->currentIndex() != static_cast<int>(place.volume)) {
    // Drive1 only shows the volume; Dir1 is pointed at the folder just below.
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(static_cast<int>(place.volume));
  }
  const std::string& root = navigator_->Root(place.volume);
  if (folder_model_->Path(folder_model_->RootIndex()) != root) {
    folder_model_->SetRoot(root);
  }
  landing_falls_back_ = falling_back;
  folder_model_->Reveal(place.folder);
}

void frmQuorvane::Dir1_Revealed(const QModelIndex& target) {
  for (QModelIndex above = target.parent(); above.isValid(); above = above.parent()) {
    Dir1->expand(above);
  }
  Dir1->expand(folder_model_->RootIndex());
  falling_back_ = landing_falls_back_;
  if (target == Dir1->currentIndex()) {
    Dir1_Change();
  } else {
    Dir1->setCurrentIndex(target);
  }
  Dir1->scrollTo(target);
  if (falling_back_) {
    // A folder that went away leaves the tree where the window lands.
    folder_model_->Relist(Dir1->currentIndex());
  }
  falling_back_ = false;
}

void frmQuorvane::FallBack(const Place& failed) { GoTo(navigator_->AfterFailure(failed), true); }

}  // namespace quorvane
