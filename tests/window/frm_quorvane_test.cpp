// The real window on real temporary folders: layout, start-up, navigation, refreshing, making the
// page and opening it.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cmath>       // std::lround
#include <filesystem>  // std::filesystem::canonical, remove_all, rename
#include <map>
#include <memory>  // std::unique_ptr
#include <string>
#include <utility>  // std::pair
#include <vector>

#include "index/folder_navigator.h"
#include "platform/clock.h"
#include "platform/default_handler.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "platform/services.h"
#include "platform/volumes.h"
#include "tests/support/fakes.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_folder.h"
#include "window/folder_tree_model.h"
#include "window/frm_quorvane.h"

using quorvane::frmQuorvane;
using quorvane::testing::Entries;
using quorvane::testing::Exists;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;

namespace {

// 21 August 2002, 23:25:18, and a generation that takes no time.
class FixedClock final : public quorvane::platform::Clock {
 public:
  std::tm LocalNow() const override {
    std::tm now{};
    now.tm_year = 102, now.tm_mon = 7, now.tm_mday = 21;
    now.tm_hour = 23, now.tm_min = 25, now.tm_sec = 18;
    return now;
  }
  double MonotonicSeconds() const override { return 0; }
};

// Notes every page it is asked to open, and opens none.
class RecordingOpener final : public quorvane::platform::DefaultHandler {
 public:
  void Open(const std::string& path) const override {
    opened.push_back(QString::fromStdString(path));
  }
  mutable QStringList opened;
};

// The machine's file system, counting how often each folder's file names are read.
class CountingFileSystem final : public quorvane::platform::FileSystem {
 public:
  std::unique_ptr<quorvane::platform::Folder> OpenFolder(std::string_view path) const override {
    return std::make_unique<Folder>(real_.OpenFolder(path), reads_[std::string(path)]);
  }
  int Reads(const std::string& path) const { return reads_[path]; }

 private:
  class Folder final : public quorvane::platform::Folder {
   public:
    Folder(std::unique_ptr<quorvane::platform::Folder> real, int& reads)
        : real_(std::move(real)), reads_(reads) {}
    const std::string& Path() const override { return real_->Path(); }
    quorvane::platform::FolderIdentity Identity() const override { return real_->Identity(); }
    void ReadFileNames(quorvane::platform::NameSink& names) const override {
      ++reads_;
      real_->ReadFileNames(names);
    }
    std::vector<std::string> SubFolderNames() const override { return real_->SubFolderNames(); }
    std::error_code ReadFacts(const char* name,
                              quorvane::platform::FileFacts& facts) const noexcept override {
      return real_->ReadFacts(name, facts);
    }
    std::unique_ptr<quorvane::platform::Folder> OpenSubFolder(
        std::string_view name) const override {
      return real_->OpenSubFolder(name);
    }
    std::unique_ptr<quorvane::platform::PageOutput> CreatePage(
        std::string_view name) const override {
      return real_->CreatePage(name);
    }

   private:
    std::unique_ptr<quorvane::platform::Folder> real_;
    int& reads_;
  };

  quorvane::platform::SystemFileSystem real_;
  mutable std::map<std::string, int> reads_;
};

// The temporary folder's path without symlinks, as the working folder reads back.
std::string Canonical(const TempFolder& folder) {
  return std::filesystem::canonical(folder.Path()).native();
}

QString Text(const std::string& bytes) { return QString::fromStdString(bytes); }

// The nine controls, found by name as a test or an accessibility tool finds them.
struct Controls {
  explicit Controls(const QWidget& window)
      : cmdRefresh(Find<QPushButton>(window, "cmdRefresh")),
        chkImg(Find<QCheckBox>(window, "chkImg")),
        chkView(Find<QCheckBox>(window, "chkView")),
        cmdMake(Find<QPushButton>(window, "cmdMake")),
        File1(Find<QListView>(window, "File1")),
        Dir1(Find<QTreeView>(window, "Dir1")),
        Drive1(Find<QComboBox>(window, "Drive1")),
        lblPath(Find<QLabel>(window, "lblPath")),
        lblFCount(Find<QLabel>(window, "lblFCount")) {}

  template <typename Control>
  static Control* Find(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) {
      qFatal("no control %s", name);
    }
    return control;
  }

  quorvane::FolderTreeModel& Folders() const {
    return *qobject_cast<quorvane::FolderTreeModel*>(Dir1->model());
  }
  std::string Dir1Path() const { return Folders().Path(Dir1->currentIndex()); }
  void ChooseFolder(const std::string& path) const { Dir1->setCurrentIndex(Folders().Find(path)); }
  QStringList Files() const {
    QStringList names;
    for (int row = 0; row < File1->model()->rowCount(); ++row) {
      names << File1->model()->index(row, 0).data().toString();
    }
    return names;
  }

  QPushButton* cmdRefresh;
  QCheckBox* chkImg;
  QCheckBox* chkView;
  QPushButton* cmdMake;
  QListView* File1;
  QTreeView* Dir1;
  QComboBox* Drive1;
  QLabel* lblPath;
  QLabel* lblFCount;
};

// Closes the next modal message box as soon as it shows, keeping what it showed.
class MessageBoxCatcher : public QObject {
 public:
  MessageBoxCatcher() {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxCatcher::Look);
    timer_.start(10);
  }

  bool caught = false;
  bool modal = false;
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
  qsizetype button_count = 0;

 private:
  void Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    timer_.stop();
    caught = true;
    modal = box->isModal();
    title = box->windowTitle();
    text = box->text();
    buttons = box->standardButtons();
    button_count = box->buttons().size();
    box->reject();
  }

  QTimer timer_;
};

}  // namespace

class FrmQuorvaneTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup();

  void controlsStandAtTheirDesignedPlaces_data();
  void controlsStandAtTheirDesignedPlaces();
  void resizingGrowsTheListsAndKeepsTheRowsAtTheBottom_data();
  void resizingGrowsTheListsAndKeepsTheRowsAtTheBottom();
  void layoutGrowsWithTheDesktopFont_data();
  void layoutGrowsWithTheDesktopFont();
  void tabOrder();
  void accessKeysTickTheBoxes_data();
  void accessKeysTickTheBoxes();
  void accessKeysRefreshAndMake();
  void startsAtTheRootOfTheWorkingFoldersVolume();
  void startsOnTheFolderAsked_data();
  void startsOnTheFolderAsked();
  void drive1ShowsLabelsAndTheRoot();
  void controlsHaveAccessibleNames_data();
  void controlsHaveAccessibleNames();
  void countReadsWithItsUnit();
  void enterMakesThePageAndCtrlQCloses();
  void folderChangeShowsTheFolder_data();
  void folderChangeShowsTheFolder();
  void volumeChangeGoesToItsCurrentFolder();
  void unreadablePlaceReportsAndGoesBack_data();
  void unreadablePlaceReportsAndGoesBack();
  void refreshShowsAddedFilesAndFolders();
  void refreshReadsTheFolderOnce();
  void refreshOnARemovedFolderGoesToTheNearestAbove();
  void folderReplacedAtItsPathIsNotWritten();
  void emptyFolderDisablesGenerationAndKeepsTicks();
  void makeHtmlWritesThePage_data();
  void makeHtmlWritesThePage();
  void failedPageIsReportedAndNothingOpened();
  void viewHtmlHandsThePageToTheDefaultHandler();

 private:
  // A window over `volumes`, started with the working folder at `working` and asked to start
  // at `asked` (none when empty).
  std::unique_ptr<frmQuorvane> Open(const std::vector<const TempFolder*>& volumes,
                                    const std::string& working, const std::string& asked = "");
  const QStringList& Opened() const { return opener_.opened; }

  const FixedClock clock_;
  const quorvane::platform::Regional regional_{quorvane::testing::UsEnglish()};
  const CountingFileSystem files_;
  const quorvane::platform::Services services_{clock_, regional_, files_};
  RecordingOpener opener_;
  std::vector<std::string> labels_;  // the label of each volume Open() gives, where one is set
};

void FrmQuorvaneTest::cleanup() {
  opener_.opened.clear();
  labels_.clear();
  QApplication::setFont(QFont());
}

std::unique_ptr<frmQuorvane> FrmQuorvaneTest::Open(const std::vector<const TempFolder*>& volumes,
                                                   const std::string& working,
                                                   const std::string& asked) {
  std::vector<quorvane::platform::Volume> mounted;
  for (const TempFolder* volume : volumes) {
    const std::size_t at = mounted.size();
    mounted.push_back(
        {Canonical(*volume), "/dev/test", "ext4", at < labels_.size() ? labels_[at] : ""});
  }
  auto window = std::make_unique<frmQuorvane>(
      services_, opener_, mounted,
      quorvane::StartFolders{std::filesystem::canonical(working), asked});
  window->show();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window.get())) {
    qWarning("the window did not become active");
  }
  return window;
}

void FrmQuorvaneTest::controlsStandAtTheirDesignedPlaces_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("pixels");
  // Twips divided by 15 and rounded: the designed layout at 96 dots per inch.
  QTest::addRow("cmdRefresh") << QStringLiteral("cmdRefresh") << QRect(264, 260, 96, 21);
  QTest::addRow("chkImg") << QStringLiteral("chkImg") << QRect(4, 260, 157, 20);
  QTest::addRow("chkView") << QStringLiteral("chkView") << QRect(168, 260, 89, 20);
  QTest::addRow("cmdMake") << QStringLiteral("cmdMake") << QRect(364, 260, 97, 21);
  QTest::addRow("File1") << QStringLiteral("File1") << QRect(260, 4, 201, 227);
  QTest::addRow("Dir1") << QStringLiteral("Dir1") << QRect(0, 28, 257, 201);
  QTest::addRow("Drive1") << QStringLiteral("Drive1") << QRect(0, 4, 257, 21);
  QTest::addRow("lblPath") << QStringLiteral("lblPath") << QRect(0, 232, 357, 21);
  QTest::addRow("lblFCount") << QStringLiteral("lblFCount") << QRect(364, 232, 97, 21);
}

void FrmQuorvaneTest::controlsStandAtTheirDesignedPlaces() {
  QFETCH(QString, name);
  QFETCH(QRect, pixels);
  const TempFolder volume;
  const auto window = Open({&volume}, volume.Path());
  const auto* control = window->findChild<QWidget*>(name);
  QVERIFY(control != nullptr);
  QCOMPARE(control->geometry(), pixels);
}

void FrmQuorvaneTest::resizingGrowsTheListsAndKeepsTheRowsAtTheBottom_data() {
  QTest::addColumn<QSize>("asked");
  QTest::addColumn<QSize>("client");
  QTest::addRow("first size") << QSize(463, 284) << QSize(463, 284);
  QTest::addRow("wider and taller") << QSize(800, 600) << QSize(800, 600);
  QTest::addRow("taller only") << QSize(463, 500) << QSize(463, 500);
  QTest::addRow("smaller than the first size") << QSize(300, 200) << QSize(463, 284);
}

void FrmQuorvaneTest::resizingGrowsTheListsAndKeepsTheRowsAtTheBottom() {
  QFETCH(QSize, asked);
  QFETCH(QSize, client);
  const TempFolder volume;
  const auto window = Open({&volume}, volume.Path());
  window->resize(asked);
  QCOMPARE(window->size(), client);
  const Controls c(*window);
  const int wider = client.width() - 463;
  const int taller = client.height() - 284;

  const QWidget* controls[] = {c.cmdRefresh, c.chkImg, c.chkView, c.cmdMake,  c.File1,
                               c.Dir1,       c.Drive1, c.lblPath, c.lblFCount};
  for (const QWidget* a : controls) {
    QVERIFY2(window->rect().contains(a->geometry()), qPrintable(a->objectName()));
    for (const QWidget* b : controls) {
      QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
               qPrintable(a->objectName() % u'/' % b->objectName()));
    }
  }
  // The lists take what was added; the rows below keep their distance from the bottom.
  QCOMPARE(c.Dir1->width() + c.File1->width(), 257 + 201 + wider);
  QCOMPARE(c.Dir1->height(), 201 + taller);
  QCOMPARE(c.File1->height(), 227 + taller);
  QCOMPARE(c.lblPath->y(), 232 + taller);
  for (const QWidget* bottom :
       std::initializer_list<const QWidget*>{c.chkImg, c.chkView, c.cmdRefresh, c.cmdMake}) {
    QCOMPARE(bottom->y(), 260 + taller);
  }
  QCOMPARE(c.cmdRefresh->x(), 264);
  QCOMPARE(c.cmdMake->geometry().right(), client.width() - 3);
  QCOMPARE(c.lblFCount->geometry().right(), client.width() - 3);
  QCOMPARE(c.File1->geometry().right(), client.width() - 3);
  QCOMPARE(c.lblPath->geometry().right(), c.lblFCount->x() - 8);
}

void FrmQuorvaneTest::layoutGrowsWithTheDesktopFont_data() {
  QTest::addColumn<int>("points");
  QTest::addColumn<double>("scale");
  // 9 points (12 pixels at 96 dots per inch) is the usual desktop font: the design as it is.
  QTest::addRow("9-point desktop") << 9 << 1.0;
  QTest::addRow("8-point desktop, never smaller") << 8 << 1.0;
  QTest::addRow("14-point desktop") << 14 << 14 / 9.0;
}

void FrmQuorvaneTest::layoutGrowsWithTheDesktopFont() {
  QFETCH(int, points);
  QFETCH(double, scale);
  QFont desktop = QApplication::font();
  desktop.setPointSize(points);
  QApplication::setFont(desktop);
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);

  const auto pixels = [&](int twips) { return static_cast<int>(std::lround(twips * scale / 15)); };
  QCOMPARE(window->size(), QSize(pixels(6945), pixels(4260)));
  QCOMPARE(window->minimumSize(), window->size());
  const std::pair<const QWidget*, QRect> designed[] = {
      {c.cmdRefresh, {3960, 3900, 1440, 315}}, {c.chkImg, {60, 3900, 2355, 300}},
      {c.chkView, {2520, 3900, 1335, 300}},    {c.cmdMake, {5460, 3900, 1450, 315}},
      {c.File1, {3900, 60, 3015, 3405}},       {c.Dir1, {0, 420, 3855, 3015}},
      {c.Drive1, {0, 60, 3855, 315}},          {c.lblPath, {0, 3480, 5355, 315}},
      {c.lblFCount, {5460, 3480, 1450, 315}}};
  for (const auto& [control, twips] : designed) {
    QCOMPARE(control->geometry(), QRect(pixels(twips.x()), pixels(twips.y()), pixels(twips.width()),
                                        pixels(twips.height())));
  }
  const QAbstractButton* captioned[] = {c.chkImg, c.chkView, c.cmdRefresh, c.cmdMake};
  for (const QAbstractButton* button : captioned) {
    QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
    QVERIFY2(button->sizeHint().height() <= button->height(), qPrintable(button->text()));
  }
  // The design's 11 pixels, or as near under it as the captions fit, grown with the rest.
  const int font = QFontInfo(window->font()).pixelSize();
  QVERIFY2(font <= std::lround(11 * scale) && font >= std::lround(8 * scale),
           qPrintable(QString::number(font)));
}

void FrmQuorvaneTest::tabOrder() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  QCOMPARE(QApplication::focusWidget(), c.Drive1);
  const QWidget* order[] = {c.Dir1,       c.File1,   c.chkImg, c.chkView,
                            c.cmdRefresh, c.cmdMake, c.Drive1};
  for (const QWidget* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
  }
  QCOMPARE(c.lblPath->focusPolicy(), Qt::NoFocus);
  QCOMPARE(c.lblFCount->focusPolicy(), Qt::NoFocus);
}

void FrmQuorvaneTest::accessKeysTickTheBoxes_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("box");
  QTest::addRow("Alt+I") << int(Qt::Key_I) << QStringLiteral("chkImg");
  QTest::addRow("Alt+V") << int(Qt::Key_V) << QStringLiteral("chkView");
}

void FrmQuorvaneTest::accessKeysTickTheBoxes() {
  QFETCH(int, key);
  QFETCH(QString, box);
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  auto* check = window->findChild<QCheckBox*>(box);
  QVERIFY(!check->isChecked());
  QTest::keyClick(window.get(), Qt::Key(key), Qt::AltModifier);
  QTRY_VERIFY(check->isChecked());
}

void FrmQuorvaneTest::accessKeysRefreshAndMake() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  volume.AddFile("b.txt");
  QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);
  QTRY_COMPARE(c.lblFCount->text(), QStringLiteral("2"));
  QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
  QTRY_VERIFY(Exists(volume / "quorvane_index.html"));
}

void FrmQuorvaneTest::startsAtTheRootOfTheWorkingFoldersVolume() {
  const TempFolder other;
  const TempFolder volume;
  volume.AddFile("one");
  volume.AddFile("two");
  volume.AddFolder("deep");
  volume.AddFolder("deep/er");
  volume.AddFile("deep/er/three");
  const auto window = Open({&other, &volume}, volume / "deep/er");
  const Controls c(*window);

  QCOMPARE(window->windowTitle(), QStringLiteral("quorvane 1.0.6"));
  QCOMPARE(c.Drive1->currentIndex(), 1);
  QCOMPARE(c.Drive1->currentText(), Text(Canonical(volume)));
  QCOMPARE(c.Dir1Path(), Canonical(volume));
  QCOMPARE(c.lblPath->text(), Text(Canonical(volume) + "/"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("2"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("one"), QStringLiteral("two")}));
  QVERIFY(!c.chkImg->isChecked());
  QVERIFY(!c.chkView->isChecked());
  QCOMPARE(QApplication::focusWidget(), c.Drive1);
  const QList<QSize> icon_sizes = window->windowIcon().availableSizes();
  QVERIFY(icon_sizes.contains(QSize(16, 16)));
  QVERIFY(icon_sizes.contains(QSize(32, 32)));
}

void FrmQuorvaneTest::startsOnTheFolderAsked_data() {
  QTest::addColumn<QByteArray>("asked");
  QTest::addColumn<int>("volume");
  QTest::addColumn<QByteArray>("folder");
  QTest::addColumn<QByteArray>("message");
  // The working folder is in the first volume; the second holds x/y and a file.
  QTest::addRow("none") << QByteArray() << 0 << QByteArray("$1") << QByteArray();
  QTest::addRow("a folder on the other volume")
      << QByteArray("$2/x/y") << 1 << QByteArray("$2/x/y") << QByteArray();
  QTest::addRow("a folder that is not there")
      << QByteArray("$2/gone") << 0 << QByteArray("$1")
      << QByteArray("Cannot read the folder $2/gone/: No such file or directory");
  QTest::addRow("a file") << QByteArray("$2/file") << 0 << QByteArray("$1")
                          << QByteArray("Cannot read the folder $2/file: Not a directory");
}

void FrmQuorvaneTest::startsOnTheFolderAsked() {
  QFETCH(QByteArray, asked);
  QFETCH(int, volume);
  QFETCH(QByteArray, folder);
  QFETCH(QByteArray, message);
  const TempFolder first;
  const TempFolder second;
  first.AddFolder("deep");
  second.AddFolder("x");
  second.AddFolder("x/y");
  second.AddFile("x/y/one");
  second.AddFile("file");
  const auto at = [&](QByteArray path) {
    return path.replace("$1", Canonical(first).c_str()).replace("$2", Canonical(second).c_str());
  };

  MessageBoxCatcher catcher;
  const auto window = Open({&first, &second}, first / "deep", at(asked).toStdString());
  const Controls c(*window);
  QCOMPARE(c.Drive1->currentIndex(), volume);
  QCOMPARE(c.Dir1Path(), at(folder).toStdString());
  QCOMPARE(c.lblPath->text(), QString::fromUtf8(at(folder)) % u'/');
  if (message.isEmpty()) {
    QTest::qWait(50);
    QVERIFY(!catcher.caught);
  } else {
    QTRY_VERIFY(catcher.caught);
    QCOMPARE(catcher.text, QString::fromUtf8(at(message)));
  }
}

void FrmQuorvaneTest::drive1ShowsLabelsAndTheRoot() {
  const TempFolder first;
  const TempFolder second;
  labels_ = {"", "My Stick"};
  const auto window = Open({&first, &second}, first.Path());
  const Controls c(*window);
  QCOMPARE(c.Drive1->count(), 3);
  QCOMPARE(c.Drive1->itemText(0), Text(Canonical(first)));
  QCOMPARE(c.Drive1->itemText(1), Text(Canonical(second)) % QStringLiteral("  [My Stick]"));
  // Given no volume at the root, the window still has the root to browse.
  QCOMPARE(c.Drive1->itemText(2), QStringLiteral("/"));
}

void FrmQuorvaneTest::controlsHaveAccessibleNames_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<QString>("name");
  QTest::addRow("Drive1") << QStringLiteral("Drive1") << QStringLiteral("Volume");
  QTest::addRow("Dir1") << QStringLiteral("Dir1") << QStringLiteral("Folders");
  QTest::addRow("File1") << QStringLiteral("File1") << QStringLiteral("Files");
  QTest::addRow("lblPath") << QStringLiteral("lblPath") << QStringLiteral("Folder path");
  QTest::addRow("lblFCount") << QStringLiteral("lblFCount") << QStringLiteral("Number of files");
  QTest::addRow("chkImg") << QStringLiteral("chkImg") << QStringLiteral("Show Images in HTML Page");
  QTest::addRow("chkView") << QStringLiteral("chkView") << QStringLiteral("View HTML");
  QTest::addRow("cmdRefresh") << QStringLiteral("cmdRefresh") << QStringLiteral("Refresh List");
  QTest::addRow("cmdMake") << QStringLiteral("cmdMake") << QStringLiteral("Make HTML");
}

void FrmQuorvaneTest::controlsHaveAccessibleNames() {
  QFETCH(QString, control);
  QFETCH(QString, name);
  const TempFolder volume;
  const auto window = Open({&volume}, volume.Path());
  QAccessibleInterface* accessible =
      QAccessible::queryAccessibleInterface(window->findChild<QWidget*>(control));
  QVERIFY(accessible != nullptr);
  QCOMPARE(accessible->text(QAccessible::Name), name);
  QVERIFY(!accessible->text(QAccessible::Description).isEmpty());
}

void FrmQuorvaneTest::countReadsWithItsUnit() {
  const TempFolder volume;
  volume.AddFolder("one");
  volume.AddFile("one/a");
  for (const char* name : {"a", "b", "c"}) {
    volume.AddFile(name);
  }
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  QAccessibleInterface* count = QAccessible::queryAccessibleInterface(c.lblFCount);
  const struct {
    std::string folder;
    QString shown;
    QString read;
  } cases[] = {{Canonical(volume), QStringLiteral("3"), QStringLiteral("3 files")},
               {Canonical(volume) + "/one", QStringLiteral("1"), QStringLiteral("1 file")}};
  for (const auto& each : cases) {
    c.ChooseFolder(each.folder);
    QCOMPARE(c.lblFCount->text(), each.shown);
    QCOMPARE(count->text(QAccessible::Value), each.read);
    QVERIFY(count->textInterface() != nullptr);
    QCOMPARE(count->textInterface()->text(0, count->textInterface()->characterCount()), each.read);
  }
}

void FrmQuorvaneTest::enterMakesThePageAndCtrlQCloses() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  QVERIFY(c.cmdMake->isDefault());
  c.File1->setFocus();
  QTest::keyClick(c.File1, Qt::Key_Return);
  QVERIFY(Exists(Canonical(volume) + "/quorvane_index.html"));

  QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
  QTRY_VERIFY(!window->isVisible());
}

void FrmQuorvaneTest::folderChangeShowsTheFolder_data() {
  QTest::addColumn<QByteArray>("folder");
  QTest::addColumn<bool>("by_mouse");
  QTest::addColumn<QString>("shown");
  QTest::addRow("by the arrow key") << QByteArray("alpha") << false << QStringLiteral("alpha");
  QTest::addRow("by a click") << QByteArray("beta") << true << QStringLiteral("beta");
  QTest::addRow("a name that is not UTF-8")
      << QByteArray("caf\xE9") << true << QStringLiteral("caf\\xE9");
}

void FrmQuorvaneTest::folderChangeShowsTheFolder() {
  QFETCH(QByteArray, folder);
  QFETCH(bool, by_mouse);
  QFETCH(QString, shown);
  const TempFolder volume;
  volume.AddFile("top.txt");
  for (const char* name : {"alpha", "beta", "caf\xE9"}) {
    volume.AddFolder(name);
  }
  const std::string chosen = volume / folder.toStdString();
  volume.AddFile(chosen.substr(volume.Path().size() + 1) + "/b.txt");
  volume.AddFile(chosen.substr(volume.Path().size() + 1) + "/A.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);

  if (by_mouse) {
    const QModelIndex index = c.Folders().Find(Canonical(volume) + "/" + folder.toStdString());
    c.Dir1->scrollTo(index);
    QTest::mouseClick(c.Dir1->viewport(), Qt::LeftButton, {}, c.Dir1->visualRect(index).center());
  } else {
    c.Dir1->setFocus();
    QTest::keyClick(c.Dir1, Qt::Key_Down);
  }
  QCOMPARE(c.Dir1Path(), Canonical(volume) + "/" + folder.toStdString());
  QCOMPARE(c.lblPath->text(), Text(Canonical(volume)) % u'/' % shown % u'/');
  QCOMPARE(c.lblFCount->text(), QStringLiteral("2"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("A.txt"), QStringLiteral("b.txt")}));
}

void FrmQuorvaneTest::volumeChangeGoesToItsCurrentFolder() {
  const TempFolder first;
  const TempFolder second;
  first.AddFolder("sub");
  first.AddFile("sub/in-first-sub");
  second.AddFile("in-second-1");
  second.AddFile("in-second-2");
  second.AddFolder("x");
  const auto window = Open({&first, &second}, first.Path());
  const Controls c(*window);

  c.ChooseFolder(Canonical(first) + "/sub");
  QCOMPARE(c.lblPath->text(), Text(Canonical(first) + "/sub/"));

  c.Drive1->setCurrentIndex(1);
  QCOMPARE(c.Dir1Path(), Canonical(second));
  QCOMPARE(c.lblPath->text(), Text(Canonical(second) + "/"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("2"));
  c.ChooseFolder(Canonical(second) + "/x");

  c.Drive1->setCurrentIndex(0);
  QCOMPARE(c.Dir1Path(), Canonical(first) + "/sub");
  QCOMPARE(c.lblPath->text(), Text(Canonical(first) + "/sub/"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("in-first-sub")}));
  QVERIFY(c.Dir1->selectionModel()->isSelected(c.Dir1->currentIndex()));

  c.Drive1->setCurrentIndex(1);
  QCOMPARE(c.lblPath->text(), Text(Canonical(second) + "/x/"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("0"));
}

void FrmQuorvaneTest::unreadablePlaceReportsAndGoesBack_data() {
  QTest::addColumn<bool>("whole_volume");
  QTest::addRow("a folder removed since it was listed") << false;
  QTest::addRow("a volume gone from its mount point") << true;
}

void FrmQuorvaneTest::unreadablePlaceReportsAndGoesBack() {
  QFETCH(bool, whole_volume);
  const TempFolder first;
  const TempFolder second;
  first.AddFolder("here");
  first.AddFile("here/kept");
  first.AddFolder("gone");
  const auto window = Open({&first, &second}, first.Path());
  const Controls c(*window);
  c.ChooseFolder(Canonical(first) + "/here");
  const QModelIndex gone = c.Folders().Find(Canonical(first) + "/gone");
  const std::string lost = whole_volume ? Canonical(second) : Canonical(first) + "/gone";
  std::filesystem::remove_all(lost);

  MessageBoxCatcher catcher;
  if (whole_volume) {
    c.Drive1->setCurrentIndex(1);
  } else {
    c.Dir1->setCurrentIndex(gone);
  }
  QTRY_VERIFY(catcher.caught);
  QCOMPARE(catcher.title, QStringLiteral("quorvane"));
  QCOMPARE(catcher.text, Text("Cannot read the folder " + lost + "/: No such file or directory"));
  QCOMPARE(c.Drive1->currentIndex(), 0);
  QCOMPARE(c.Dir1Path(), Canonical(first) + "/here");
  QCOMPARE(c.lblPath->text(), Text(Canonical(first) + "/here/"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("1"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("kept")}));
}

void FrmQuorvaneTest::refreshShowsAddedFilesAndFolders() {
  const TempFolder volume;
  volume.AddFile("a");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  volume.AddFile("b");
  volume.AddFile("c");
  volume.AddFolder("new");
  QCOMPARE(c.lblFCount->text(), QStringLiteral("1"));

  c.cmdRefresh->click();
  QCOMPARE(c.lblFCount->text(), QStringLiteral("3"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
  const QModelIndex added = c.Folders().Find(Canonical(volume) + "/new");
  QCOMPARE(c.Folders().Path(added), Canonical(volume) + "/new");
}

void FrmQuorvaneTest::refreshReadsTheFolderOnce() {
  const TempFolder volume;
  volume.AddFile("a");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string shown = Canonical(volume) + "/";
  const int before = files_.Reads(shown);
  c.cmdRefresh->click();
  QCOMPARE(files_.Reads(shown), before + 1);
}

void FrmQuorvaneTest::refreshOnARemovedFolderGoesToTheNearestAbove() {
  const TempFolder volume;
  volume.AddFolder("a");
  volume.AddFile("a/kept");
  volume.AddFolder("a/b");
  volume.AddFile("a/b/one");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string removed = Canonical(volume) + "/a/b";
  c.ChooseFolder(removed);
  std::filesystem::remove_all(removed);

  // Making the page fails and undoes nothing: the count and the enabling stay.
  MessageBoxCatcher make;
  c.cmdMake->click();
  QVERIFY(make.caught);
  QCOMPARE(make.text, Text("Cannot read the folder " + removed + "/: No such file or directory"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("1"));
  QVERIFY(c.cmdMake->isEnabled());

  MessageBoxCatcher refresh;
  c.cmdRefresh->click();
  QTRY_VERIFY(refresh.caught);
  QCOMPARE(refresh.text,
           Text("Cannot read the folder " + removed + "/: No such file or directory"));
  QTRY_COMPARE(c.Dir1Path(), Canonical(volume) + "/a");
  QCOMPARE(c.lblPath->text(), Text(Canonical(volume) + "/a/"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("kept")}));
  QCOMPARE(c.Folders().rowCount(c.Dir1->currentIndex()), 0);
  QVERIFY(c.Dir1->selectionModel()->isSelected(c.Dir1->currentIndex()));
}

void FrmQuorvaneTest::folderReplacedAtItsPathIsNotWritten() {
  const TempFolder volume;
  volume.AddFolder("shown");
  volume.AddFile("shown/a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string shown = Canonical(volume) + "/shown";
  c.ChooseFolder(shown);
  // Another folder at the same path, as a volume mounted anew would be.
  std::filesystem::rename(shown, Canonical(volume) + "/moved");
  volume.AddFolder("shown");
  volume.AddFile("shown/b.txt");

  MessageBoxCatcher catcher;
  c.cmdMake->click();
  QVERIFY(catcher.caught);
  QCOMPARE(catcher.text,
           Text("The folder " + shown + "/ is no longer the one shown; refresh the list"));
  QCOMPARE(Entries(Canonical(volume) + "/moved"), std::vector<std::string>{"a.txt"});
  QCOMPARE(Entries(shown), std::vector<std::string>{"b.txt"});
}

void FrmQuorvaneTest::emptyFolderDisablesGenerationAndKeepsTicks() {
  const TempFolder volume;
  volume.AddFile("a");
  volume.AddFolder("only-folders");
  volume.AddFolder("only-folders/inside");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  c.chkImg->setChecked(true);
  c.chkView->setChecked(true);

  c.ChooseFolder(Canonical(volume) + "/only-folders");
  QCOMPARE(c.lblFCount->text(), QStringLiteral("0"));
  QVERIFY(!c.cmdMake->isEnabled());
  QVERIFY(!c.chkView->isEnabled());
  QVERIFY(!c.chkImg->isEnabled());
  QVERIFY(c.cmdRefresh->isEnabled());
  QVERIFY(c.chkImg->isChecked());
  QVERIFY(c.chkView->isChecked());

  c.ChooseFolder(Canonical(volume));
  QVERIFY(c.cmdMake->isEnabled());
  QVERIFY(c.chkView->isEnabled());
  QVERIFY(c.chkImg->isEnabled());
  QVERIFY(c.chkImg->isChecked());
  QVERIFY(c.chkView->isChecked());
}

void FrmQuorvaneTest::makeHtmlWritesThePage_data() {
  QTest::addColumn<bool>("images");
  QTest::addRow("without images") << false;
  QTest::addRow("with images") << true;
}

void FrmQuorvaneTest::makeHtmlWritesThePage() {
  QFETCH(bool, images);
  const TempFolder volume;
  volume.AddFile("a.txt", 10);
  volume.AddFile("b.png", 3000);
  volume.AddFile("c.txt", 10);
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string page = Canonical(volume) + "/quorvane_index.html";
  c.chkImg->setChecked(images);

  c.cmdMake->click();
  const std::string written = ReadFile(page);
  QVERIFY(written.find("<a href=\"b.png\">b.png</a>") != std::string::npos);
  QCOMPARE(written.find("<img src=\"b.png\" border=1>") != std::string::npos, images);
  QVERIFY(written.find(" :: 8/21/2002 11:25:18 PM</b>") != std::string::npos);
  QVERIFY(written.find("<b>3 object(s) :: 4k</b>") != std::string::npos);
  QCOMPARE(c.File1->currentIndex().row(), 2);
  QCOMPARE(c.File1->selectionModel()->selectedRows().size(), 1);
  QCOMPARE(c.lblFCount->text(), QStringLiteral("3"));

  // The second run lists the first run's page, and lblFCount keeps the count it had.
  c.cmdMake->click();
  QCOMPARE(c.Files().size(), 4);
  QCOMPARE(c.File1->currentIndex().data().toString(), QStringLiteral("quorvane_index.html"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("3"));
  QCOMPARE(Opened(), QStringList());
}

void FrmQuorvaneTest::failedPageIsReportedAndNothingOpened() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  c.chkView->setChecked(true);
  // A folder where the page should go stops it for root too.
  const std::string page = volume.AddFolder("quorvane_index.html");

  MessageBoxCatcher catcher;
  c.cmdMake->click();
  QVERIFY(catcher.caught);
  QVERIFY(catcher.modal);
  QCOMPARE(catcher.title, QStringLiteral("quorvane"));
  QCOMPARE(catcher.text, Text("Cannot write the page " + Canonical(volume) +
                              "/quorvane_index.html: Is a directory"));
  QCOMPARE(catcher.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QCOMPARE(catcher.button_count, 1);

  // The window stays usable; the one page it then opens is the good one.
  std::filesystem::remove(page);
  c.cmdMake->click();
  QCOMPARE(Opened(), QStringList({Text(page)}));
}

void FrmQuorvaneTest::viewHtmlHandsThePageToTheDefaultHandler() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string page = Canonical(volume) + "/quorvane_index.html";

  c.cmdMake->click();
  QVERIFY(Exists(page));
  c.chkView->setChecked(true);
  c.cmdMake->click();
  QCOMPARE(Opened(), QStringList({Text(page)}));
}

QUORVANE_QTEST_MAIN(FrmQuorvaneTest)
#include "frm_quorvane_test.moc"
