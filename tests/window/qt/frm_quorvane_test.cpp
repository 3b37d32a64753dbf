// The real window on real temporary folders: start-up, navigation, refreshing, making the page
// and opening it.

#include <QAccessible>

#include <cmath>       // std::lround
#include <filesystem>  // std::filesystem::remove_all, rename
#include <memory>      // std::unique_ptr
#include <optional>    // std::optional
#include <string>
#include <utility>  // std::pair
#include <vector>

#include "index/program_version.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/window_cases.h"
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

  void startsAtTheRootOfTheWorkingFoldersVolume();
  void startsOnTheFolderAsked_data();
  void startsOnTheFolderAsked();
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
  void casesBothWindowsShare();

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

namespace {

// The Qt window as the table of both windows' cases drives it.
class QtWindow final : public quorvane::testing::WindowUnderTest {
 public:
  explicit QtWindow(quorvane::testing::WindowFixture& fixture) : fixture_(fixture) {}

  bool Start(const TempFolder& folder) override {
    window_ = fixture_.Open({&folder}, folder.Path());
    controls_.emplace(*window_);
    return true;
  }
  void Refresh() override {
    controls_->cmdRefresh->click();
    controls_->Settled();
  }
  void Make() override {
    controls_->cmdMake->click();
    controls_->Settled();
  }
  std::string PathText() const override { return controls_->lblPath->text().toStdString(); }
  std::string CountText() const override { return controls_->lblFCount->text().toStdString(); }
  bool GenerationEnabled() const override {
    return controls_->cmdMake->isEnabled() && controls_->chkView->isEnabled() &&
           controls_->chkImg->isEnabled();
  }
  bool RefreshEnabled() const override { return controls_->cmdRefresh->isEnabled(); }
  std::string Reported() override {
    // A failure's box shows as the run's end is handled, which Settled() waited for.
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return {};
    }
    const std::string words = box->text().toStdString();
    box->reject();
    return words;
  }

 private:
  quorvane::testing::WindowFixture& fixture_;
  std::unique_ptr<frmQuorvane> window_;
  std::optional<Controls> controls_;
};

}  // namespace

void FrmQuorvaneTest::casesBothWindowsShare() {
  for (const quorvane::testing::WindowCase& c : quorvane::testing::kWindowCases) {
    QtWindow window(fixture_);
    const std::vector<std::string> mismatches = Mismatches(c, window);
    QVERIFY2(mismatches.empty(), qPrintable(QString::fromUtf8(c.name) % u": " %
                                            Text(mismatches.empty() ? "" : mismatches.front())));
  }
}

QUORVANE_QTEST_MAIN(FrmQuorvaneTest)
#include "frm_quorvane_test.moc"
