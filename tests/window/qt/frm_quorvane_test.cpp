// The real window on real temporary folders: layout, start-up, navigation, refreshing, making the
// page and opening it.

#include <QAccessible>

#include <cmath>       // std::lround
#include <filesystem>  // std::filesystem::remove_all, rename
#include <memory>      // std::unique_ptr
#include <string>
#include <utility>  // std::pair
#include <vector>

#include "index/program_version.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/window_fixture.h"
#include "window/qt/volume_box.h"

using quorvane::frmQuorvane;
using quorvane::testing::Canonical;
using quorvane::testing::Controls;
using quorvane::testing::Entries;
using quorvane::testing::Exists;
using quorvane::testing::MessageBoxCatcher;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::Text;

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
  void drive1IsOneDropDownToAssistiveTechnology();
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
  std::unique_ptr<frmQuorvane> Open(const std::vector<const TempFolder*>& volumes,
                                    const std::string& working, const std::string& asked = "") {
    return fixture_.Open(volumes, working, asked);
  }
  const QStringList& Opened() const { return fixture_.Opened(); }

  quorvane::testing::WindowFixture fixture_;
};

void FrmQuorvaneTest::cleanup() {
  fixture_.Clear();
  QApplication::setFont(QFont());
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

  QCOMPARE(window->windowTitle(),
           QStringLiteral("quorvane ") % QLatin1String(quorvane::kProgramVersionText));
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
  fixture_.labels = {"", "My Stick"};
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

namespace {

// Asked for each object, after the factories installed before it: counts when Drive1 is asked
// for as a plain drop-down, which happens only when another factory asked Qt for its interface.
QObject* asked_for = nullptr;
int asked_as_combo_box = 0;
QAccessibleInterface* CountingFactory(const QString& class_name, QObject* object) {
  if (object == asked_for && class_name == QLatin1String("QComboBox")) {
    ++asked_as_combo_box;
  }
  return nullptr;
}

}  // namespace

void FrmQuorvaneTest::drive1IsOneDropDownToAssistiveTechnology() {
  const TempFolder first;
  const TempFolder second;
  const auto window = Open({&first, &second}, second.Path());
  const Controls c(*window);
  // A drop-down asked for the first time is made once, by the window's own factory.
  quorvane::VolumeBox fresh;
  QAccessible::installFactory(CountingFactory);
  asked_for = &fresh;
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&fresh);
  QAccessible::removeFactory(CountingFactory);
  QVERIFY(made != nullptr);
  QCOMPARE(asked_as_combo_box, 0);

  QAccessibleInterface* drive = QAccessible::queryAccessibleInterface(c.Drive1);
  QVERIFY(drive != nullptr);

  QCOMPARE(drive->role(), QAccessible::ComboBox);
  QCOMPARE(drive->text(QAccessible::Name), QStringLiteral("Volume"));
  QCOMPARE(drive->text(QAccessible::Value), Text(Canonical(second)));
  QCOMPARE(drive->childCount(), 1);
  QCOMPARE(drive->child(0)->object(), c.Drive1->view());
  QCOMPARE(drive->indexOfChild(drive->child(0)), 0);
  drive->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
  QTRY_VERIFY(c.Drive1->view()->isVisible());
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
    QVERIFY(c.ChooseFolder(each.folder));
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
  QVERIFY(c.Settled());
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
    // The tree lists the sub-folders beside the window, and the key needs them there.
    QTRY_VERIFY(c.Folders().rowCount(c.Dir1->currentIndex()) > 0);
    c.Dir1->setFocus();
    QTest::keyClick(c.Dir1, Qt::Key_Down);
  }
  QVERIFY(c.Settled());
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

  QVERIFY(c.ChooseFolder(Canonical(first) + "/sub"));
  QCOMPARE(c.lblPath->text(), Text(Canonical(first) + "/sub/"));

  c.Drive1->setCurrentIndex(1);
  QVERIFY(c.Settled());
  QCOMPARE(c.Dir1Path(), Canonical(second));
  QCOMPARE(c.lblPath->text(), Text(Canonical(second) + "/"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("2"));
  QVERIFY(c.ChooseFolder(Canonical(second) + "/x"));

  c.Drive1->setCurrentIndex(0);
  QVERIFY(c.Settled());
  QCOMPARE(c.Dir1Path(), Canonical(first) + "/sub");
  QCOMPARE(c.lblPath->text(), Text(Canonical(first) + "/sub/"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("in-first-sub")}));
  QVERIFY(c.Dir1->selectionModel()->isSelected(c.Dir1->currentIndex()));

  c.Drive1->setCurrentIndex(1);
  QVERIFY(c.Settled());
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
  QVERIFY(c.ChooseFolder(Canonical(first) + "/here"));
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
  QVERIFY(c.Settled());
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
  QVERIFY(c.Settled());
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
  const int before = fixture_.Files().Reads(shown);
  c.cmdRefresh->click();
  QVERIFY(c.Settled());
  QCOMPARE(fixture_.Files().Reads(shown), before + 1);
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
  QVERIFY(c.ChooseFolder(removed));
  std::filesystem::remove_all(removed);

  // Making the page fails and undoes nothing: the count and the enabling stay.
  MessageBoxCatcher make;
  c.cmdMake->click();
  QTRY_VERIFY(make.caught);
  QCOMPARE(make.text, Text("Cannot read the folder " + removed + "/: No such file or directory"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("1"));
  QVERIFY(c.cmdMake->isEnabled());

  MessageBoxCatcher refresh;
  c.cmdRefresh->click();
  QTRY_VERIFY(refresh.caught);
  QCOMPARE(refresh.text,
           Text("Cannot read the folder " + removed + "/: No such file or directory"));
  QVERIFY(c.Settled());
  QTRY_COMPARE(c.Dir1Path(), Canonical(volume) + "/a");
  QCOMPARE(c.lblPath->text(), Text(Canonical(volume) + "/a/"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("kept")}));
  QTRY_VERIFY(!c.Folders().hasChildren(c.Dir1->currentIndex()));
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
  QVERIFY(c.ChooseFolder(shown));
  // Another folder at the same path, as a volume mounted anew would be.
  std::filesystem::rename(shown, Canonical(volume) + "/moved");
  volume.AddFolder("shown");
  volume.AddFile("shown/b.txt");

  // Closed, the message leaves the window as it was; its "Refresh List" shows the new folder.
  for (const bool refresh : {false, true}) {
    MessageBoxCatcher catcher(refresh ? QStringLiteral("&Refresh List") : QString());
    c.cmdMake->click();
    QTRY_VERIFY(catcher.caught);
    QVERIFY(c.Settled());
    QCOMPARE(catcher.text,
             Text("The folder " + shown + "/ is no longer the one shown; refresh the list"));
    QCOMPARE(catcher.button_count, 2);
    QCOMPARE(Entries(Canonical(volume) + "/moved"), std::vector<std::string>{"a.txt"});
    QCOMPARE(Entries(shown), std::vector<std::string>{"b.txt"});
    QCOMPARE(c.Files(), QStringList({refresh ? QStringLiteral("b.txt") : QStringLiteral("a.txt")}));
  }
  c.cmdMake->click();
  QVERIFY(c.Settled());
  QCOMPARE(Entries(shown), (std::vector<std::string>{"b.txt", "quorvane_index.html"}));
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

  QVERIFY(c.ChooseFolder(Canonical(volume) + "/only-folders"));
  QCOMPARE(c.lblFCount->text(), QStringLiteral("0"));
  QVERIFY(!c.cmdMake->isEnabled());
  QVERIFY(!c.chkView->isEnabled());
  QVERIFY(!c.chkImg->isEnabled());
  QVERIFY(c.cmdRefresh->isEnabled());
  QVERIFY(c.chkImg->isChecked());
  QVERIFY(c.chkView->isChecked());

  QVERIFY(c.ChooseFolder(Canonical(volume)));
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
  QVERIFY(c.Settled());
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
  QVERIFY(c.Settled());
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
  QTRY_VERIFY(catcher.caught);
  QVERIFY(catcher.modal);
  QCOMPARE(catcher.title, QStringLiteral("quorvane"));
  QCOMPARE(catcher.text, Text("Cannot write the page " + Canonical(volume) +
                              "/quorvane_index.html: Is a directory"));
  QCOMPARE(catcher.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QCOMPARE(catcher.button_count, 1);

  // The window stays usable; the one page it then opens is the good one.
  std::filesystem::remove(page);
  c.cmdMake->click();
  QVERIFY(c.Settled());
  QCOMPARE(Opened(), QStringList({Text(page)}));
}

void FrmQuorvaneTest::viewHtmlHandsThePageToTheDefaultHandler() {
  const TempFolder volume;
  volume.AddFile("a.txt");
  const auto window = Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string page = Canonical(volume) + "/quorvane_index.html";

  c.cmdMake->click();
  QVERIFY(c.Settled());
  QVERIFY(Exists(page));
  c.chkView->setChecked(true);
  // No program could open it, and the window says nothing of that.
  const MessageBoxCatcher catcher;
  c.cmdMake->click();
  QVERIFY(c.Settled());
  QCOMPARE(Opened(), QStringList({Text(page)}));
  QVERIFY(!catcher.caught);
}

QUORVANE_QTEST_MAIN(FrmQuorvaneTest)
#include "frm_quorvane_test.moc"
