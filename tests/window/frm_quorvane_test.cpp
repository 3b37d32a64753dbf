// The real window on real temporary folders: layout, start-up, navigation, refreshing, making the
// page and opening it.

#include <QAbstractButton>
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

#include <sys/stat.h>  // chmod

#include <filesystem>  // std::filesystem::canonical, current_path, remove_all
#include <fstream>     // std::ofstream
#include <memory>      // std::unique_ptr
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "platform/services.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "window/folder_tree_model.h"
#include "window/frm_quorvane.h"

using quorvane::frmQuorvane;
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

// The lines of `text`, an empty one included, so that an open request with no path shows.
QStringList Lines(const std::string& text) {
  QStringList lines = Text(text).split(u'\n');
  lines.removeLast();
  return lines;
}

}  // namespace

class FrmQuorvaneTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void cleanup();

  void controlsStandAtTheirDesignedPlaces_data();
  void controlsStandAtTheirDesignedPlaces();
  void resizingGrowsTheListsAndKeepsTheRowsAtTheBottom_data();
  void resizingGrowsTheListsAndKeepsTheRowsAtTheBottom();
  void captionsFitTheirControls();
  void tabOrder();
  void accessKeysTickTheBoxes_data();
  void accessKeysTickTheBoxes();
  void accessKeysRefreshAndMake();
  void startsAtTheRootOfTheWorkingFoldersVolume();
  void folderChangeShowsTheFolder_data();
  void folderChangeShowsTheFolder();
  void volumeChangeGoesToItsCurrentFolder();
  void unreadablePlaceReportsAndGoesBack_data();
  void unreadablePlaceReportsAndGoesBack();
  void refreshShowsAddedFilesAndFolders();
  void emptyFolderDisablesGenerationAndKeepsTicks();
  void makeHtmlWritesThePage_data();
  void makeHtmlWritesThePage();
  void failedPageIsReportedAndNothingOpened();
  void viewHtmlHandsThePageToTheDefaultHandler();

 private:
  // A window over `volumes`, started with the working folder at `working`.
  std::unique_ptr<frmQuorvane> Open(const std::vector<const TempFolder*>& volumes,
                                    const std::string& working);
  QStringList Opened() const { return Lines(ReadFile(opened_record_)); }

  const FixedClock clock_;
  const quorvane::platform::Regional regional_{quorvane::testing::UsEnglish()};
  const quorvane::platform::SystemFileSystem files_;
  const quorvane::platform::Services services_{clock_, regional_, files_};
  const std::filesystem::path first_working_folder_ = std::filesystem::current_path();
  TempFolder stand_in_bin_;
  std::string opened_record_;
};

void FrmQuorvaneTest::initTestCase() {
  // Every page opened goes to a stand-in xdg-open, first on PATH, which notes what it was given.
  opened_record_ = stand_in_bin_ / "opened.txt";
  const std::string script = stand_in_bin_ / "xdg-open";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened_record_ << "'\n";
  QCOMPARE(chmod(script.c_str(), 0755), 0);
  qputenv("PATH", QByteArray::fromStdString(stand_in_bin_.Path()) + ':' + qgetenv("PATH"));
}

void FrmQuorvaneTest::cleanup() {
  std::filesystem::current_path(first_working_folder_);
  std::filesystem::remove(opened_record_);
}

std::unique_ptr<frmQuorvane> FrmQuorvaneTest::Open(const std::vector<const TempFolder*>& volumes,
                                                   const std::string& working) {
  std::vector<quorvane::platform::Volume> mounted;
  for (const TempFolder* volume : volumes) {
    mounted.push_back({Canonical(*volume), "/dev/test", "ext4", ""});
  }
  std::filesystem::current_path(working);
  auto window = std::make_unique<frmQuorvane>(services_, mounted);
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

void FrmQuorvaneTest::captionsFitTheirControls() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const QAbstractButton* captioned[] = {c.chkImg, c.chkView, c.cmdRefresh, c.cmdMake};
  for (const QAbstractButton* button : captioned) {
    QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
    QVERIFY2(button->sizeHint().height() <= button->height(), qPrintable(button->text()));
  }
  QVERIFY(QFontInfo(window->font()).pixelSize() <= 11);
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
  QTRY_COMPARE(Opened().size(), 1);
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
  QTRY_COMPARE(Opened().size(), 1);
  QCOMPARE(Opened(), QStringList({Text(page)}));
}

QTEST_MAIN(FrmQuorvaneTest)
#include "frm_quorvane_test.moc"
