#include "window/frm_quorvane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeView>

#include <algorithm>   // std::max
#include <filesystem>  // std::filesystem::current_path
#include <utility>     // std::move, std::pair

#include "index/index_page_writer.h"
#include "index/program_version.h"
#include "platform/default_handler.h"
#include "window/display_name.h"
#include "window/file_list_model.h"
#include "window/folder_tree_model.h"

namespace quorvane {
namespace {

// The layout is designed in twips, 15 to a pixel at 96 dots per inch.
struct Twips {
  int left;
  int top;
  int width;
  int height;
};

constexpr int kTwipsPerPixel = 15;

constexpr int Pixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

QRect ToPixels(const Twips& twips) {
  return QRect(Pixels(twips.left), Pixels(twips.top), Pixels(twips.width), Pixels(twips.height));
}

constexpr int kClientWidth = Pixels(6945);
constexpr int kClientHeight = Pixels(4260);

constexpr Twips kCmdRefresh{3960, 3900, 1440, 315};
constexpr Twips kChkImg{60, 3900, 2355, 300};
constexpr Twips kChkView{2520, 3900, 1335, 300};
constexpr Twips kCmdMake{5460, 3900, 1450, 315};
constexpr Twips kFile1{3900, 60, 3015, 3405};
constexpr Twips kDir1{0, 420, 3855, 3015};
constexpr Twips kDrive1{0, 60, 3855, 315};
constexpr Twips kLblPath{0, 3480, 5355, 315};
constexpr Twips kLblFCount{5460, 3480, 1450, 315};

// 11 pixels is 8 points at 96 dots per inch; a face too wide for the captions gets smaller, to 8.
constexpr int kLargestFontPixels = 11;
constexpr int kSmallestFontPixels = 8;

// A page generation moves the file selection once per file; it is painted this often at most.
constexpr qint64 kSelectionPaintMilliseconds = 40;

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

QIcon WindowIcon() {
  QIcon icon;
  icon.addPixmap(DrawIcon(16));
  icon.addPixmap(DrawIcon(32));
  return icon;
}

std::string WorkingFolder() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).native();
  return error ? std::string("/") : folder;
}

}  // namespace

frmQuorvane::frmQuorvane(const platform::Services& services, std::vector<platform::Volume> volumes,
                         QWidget* parent)
    : QWidget(parent),
      services_(services),
      volumes_(std::move(volumes)),
      files_(services.regional, services.files) {
  if (volumes_.empty()) {
    volumes_.push_back(platform::Volume{"/", {}, {}, {}});
  }
  volume_folders_.resize(volumes_.size());
  file_model_ = std::make_unique<FileListModel>(files_);
  folder_model_ = std::make_unique<FolderTreeModel>(services.regional, services.files,
                                                    style()->standardIcon(QStyle::SP_DirIcon));

  CreateControls();
  ConnectControls();
  FitCaptionFont();
  setMinimumSize(kClientWidth, kClientHeight);
  resize(kClientWidth, kClientHeight);
  PlaceControls(size());
  setObjectName(QStringLiteral("frmQuorvane"));
  setWindowTitle(QStringLiteral("quorvane"));
  setWindowIcon(WindowIcon());

  Form_Load();
}

frmQuorvane::~frmQuorvane() = default;

void frmQuorvane::CreateControls() {
  cmdRefresh = new QPushButton(QStringLiteral("&Refresh List"), this);
  chkImg = new QCheckBox(QStringLiteral("Show &Images in HTML Page"), this);
  chkView = new QCheckBox(QStringLiteral("&View HTML"), this);
  cmdMake = new QPushButton(QStringLiteral("Make &HTML"), this);

  File1 = new QListView(this);
  File1->setModel(file_model_.get());
  File1->setSelectionMode(QAbstractItemView::SingleSelection);
  File1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Rows of one height let a folder of 100,000 files scroll without measuring each name.
  File1->setUniformItemSizes(true);

  Dir1 = new QTreeView(this);
  Dir1->setModel(folder_model_.get());
  Dir1->setHeaderHidden(true);
  Dir1->setSelectionMode(QAbstractItemView::SingleSelection);
  Dir1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Dir1->setUniformRowHeights(true);
  Dir1->setIndentation(12);

  Drive1 = new QComboBox(this);
  const QIcon drive_icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const platform::Volume& volume : volumes_) {
    QString text = DisplayName(volume.MountPoint);
    if (!volume.Label.empty()) {
      text += QStringLiteral("  [") % DisplayName(volume.Label) % u']';
    }
    Drive1->addItem(drive_icon, text);
  }

  lblPath = new QLabel(this);
  lblFCount = new QLabel(this);
  for (QLabel* label : {lblPath, lblFCount}) {
    // Folder names are shown as they are, never read as markup or access keys.
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setIndent(3);
  }
  lblPath->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblFCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
  chkImg->setObjectName(QStringLiteral("chkImg"));
  chkView->setObjectName(QStringLiteral("chkView"));
  cmdMake->setObjectName(QStringLiteral("cmdMake"));
  File1->setObjectName(QStringLiteral("File1"));
  Dir1->setObjectName(QStringLiteral("Dir1"));
  Drive1->setObjectName(QStringLiteral("Drive1"));
  lblPath->setObjectName(QStringLiteral("lblPath"));
  lblFCount->setObjectName(QStringLiteral("lblFCount"));

  setTabOrder(Drive1, Dir1);
  setTabOrder(Dir1, File1);
  setTabOrder(File1, chkImg);
  setTabOrder(chkImg, chkView);
  setTabOrder(chkView, cmdRefresh);
  setTabOrder(cmdRefresh, cmdMake);
  Drive1->setFocus();
}

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
}

void frmQuorvane::FitCaptionFont() {
  QFont font;
  // Narrow faces first; Debian always has DejaVu Sans.
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                    QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  for (int pixels = kLargestFontPixels; pixels >= kSmallestFontPixels; --pixels) {
    font.setPixelSize(pixels);
    setFont(font);
    if (CaptionsFit()) {
      break;
    }
  }
}

bool frmQuorvane::CaptionsFit() const {
  const std::pair<const QWidget*, Twips> captioned[] = {
      {cmdRefresh, kCmdRefresh}, {chkImg, kChkImg}, {chkView, kChkView}, {cmdMake, kCmdMake}};
  for (const auto& [control, twips] : captioned) {
    const QSize needed = control->sizeHint();
    const QRect room = ToPixels(twips);
    if (needed.width() > room.width() || needed.height() > room.height()) {
      return false;
    }
  }
  return true;
}

void frmQuorvane::PlaceControls(QSize client) {
  // Beyond the first size the lists share the extra width and take the extra height; the two
  // bottom rows stay at the bottom, with lblFCount and cmdMake at the right.
  const int wider = std::max(client.width() - kClientWidth, 0);
  const int taller = std::max(client.height() - kClientHeight, 0);
  const int left_wider = wider / 2;

  Drive1->setGeometry(ToPixels(kDrive1).adjusted(0, 0, left_wider, 0));
  Dir1->setGeometry(ToPixels(kDir1).adjusted(0, 0, left_wider, taller));
  File1->setGeometry(ToPixels(kFile1).adjusted(left_wider, 0, wider, taller));
  lblPath->setGeometry(ToPixels(kLblPath).adjusted(0, taller, wider, taller));
  lblFCount->setGeometry(ToPixels(kLblFCount).translated(wider, taller));
  chkImg->setGeometry(ToPixels(kChkImg).translated(0, taller));
  chkView->setGeometry(ToPixels(kChkView).translated(0, taller));
  cmdRefresh->setGeometry(ToPixels(kCmdRefresh).translated(0, taller));
  cmdMake->setGeometry(ToPixels(kCmdMake).translated(wider, taller));
}

void frmQuorvane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls(event->size());
}

void frmQuorvane::Form_Load() {
  setWindowTitle(QStringLiteral("quorvane %1.%2.%3")
                     .arg(ProgramVersion.Major)
                     .arg(ProgramVersion.Minor)
                     .arg(ProgramVersion.Revision));
  std::size_t volume = platform::VolumeHolding(volumes_, WorkingFolder());
  if (volume == volumes_.size()) {
    volume = 0;
  }
  {
    // Drive1 only shows the current volume here; Dir1 is pointed at its root just below.
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(static_cast<int>(volume));
  }
  folder_model_->SetRoot(volumes_[volume].MountPoint);
  GoToFolder(volumes_[volume].MountPoint);
  // Dir1's change has shown the folder already; showing it once more leaves the same state.
  ShowFolder();
}

void frmQuorvane::Drive1_Change(int volume) {
  if (volume < 0) {
    return;
  }
  // Dir1 goes to the volume's current folder, and its change notification shows it.
  const std::string& remembered = volume_folders_[static_cast<std::size_t>(volume)];
  const std::string& root = volumes_[static_cast<std::size_t>(volume)].MountPoint;
  folder_model_->SetRoot(root);
  GoToFolder(remembered.empty() ? root : remembered);
}

void frmQuorvane::Dir1_Change() {
  const std::string error = ShowFolder();
  if (error.empty()) {
    shown_volume_ = Drive1->currentIndex();
    shown_folder_ = folder_model_->Path(Dir1->currentIndex());
    volume_folders_[static_cast<std::size_t>(shown_volume_)] = shown_folder_;
  } else if (!going_back_) {
    // Reported once the view is done with the click or key that chose the folder, so that no
    // mouse button is left held down behind the message box.
    QMetaObject::invokeMethod(
        this,
        [this, error] {
          ShowFailure(error);
          GoBack();
        },
        Qt::QueuedConnection);
  }
}

void frmQuorvane::cmdRefresh_Click() {
  files_.ReRead();
  // Sub-folders made since the folder was first opened appear too.
  folder_model_->Relist(Dir1->currentIndex());
  if (const std::string error = ShowFolder(); !error.empty()) {
    ShowFailure(error);
  }
}

void frmQuorvane::cmdMake_Click() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  generating_ = true;
  file_selection_painted_.invalidate();
  const GenerationOutcome outcome =
      MakeIndexPage(chkImg->isChecked(), CurPath, CurFile, files_, services_);
  generating_ = false;
  FollowFileSelection();
  QGuiApplication::restoreOverrideCursor();

  if (outcome.Completed && chkView->isChecked()) {
    platform::OpenWithDefaultHandler(outcome.OutPath);
  }
  if (!outcome.Completed) {
    ShowFailure(outcome.Description);
  }
}

std::string frmQuorvane::ShowFolder() {
  const FolderViewState state =
      RefreshFolderView(folder_model_->Path(Dir1->currentIndex()), CurPath, files_);
  lblFCount->setText(QString::fromStdString(state.CountText));
  lblPath->setText(DisplayName(state.PathText));
  lblPath->setToolTip(lblPath->text());
  cmdMake->setEnabled(state.GenerationEnabled);
  chkView->setEnabled(state.GenerationEnabled);
  chkImg->setEnabled(state.GenerationEnabled);
  return state.ListingError;
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

void frmQuorvane::GoBack() {
  if (shown_volume_ < 0) {
    return;  // nothing has been shown yet to go back to
  }
  going_back_ = true;
  if (Drive1->currentIndex() != shown_volume_) {
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(shown_volume_);
    folder_model_->SetRoot(volumes_[static_cast<std::size_t>(shown_volume_)].MountPoint);
  }
  GoToFolder(shown_folder_);
  going_back_ = false;
}

void frmQuorvane::ShowFailure(const std::string& description) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("quorvane"), DisplayName(description),
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void frmQuorvane::FollowFileSelection() {
  if (generating_ && file_selection_painted_.isValid() &&
      !file_selection_painted_.hasExpired(kSelectionPaintMilliseconds)) {
    return;
  }
  const qint64 position = files_.Selected();
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
  if (position != files_.Selected()) {
    files_.Select(position);
  }
}

}  // namespace quorvane
