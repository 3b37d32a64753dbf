// Long work beside the real window, on folders a stand-in file system serves as slowly as each
// test asks: the window paints and can be stopped while a page is made, and a folder slow to
// read fills in later without holding up what the user does meanwhile.

#include <QEvent>

#include <chrono>  // std::chrono::milliseconds
#include <memory>  // std::unique_ptr
#include <string>
#include <thread>  // std::thread
#include <vector>

#include "tests/support/qt_test_main.h"
#include "tests/support/window_fixture.h"

using quorvane::frmQuorvane;
using quorvane::testing::Canonical;
using quorvane::testing::Controls;
using quorvane::testing::Entries;
using quorvane::testing::MessageBoxCatcher;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::Text;

namespace {

// Counts the paint events of one widget.
class PaintCounter final : public QObject {
 public:
  explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
  int paints = 0;

 private:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
};

// A folder of 300 files and an earlier page of seven zero bytes.
void FillFolder(const TempFolder& volume) {
  for (int i = 0; i < 300; ++i) {
    volume.AddFile("file " + std::to_string(1000 + i));
  }
  volume.AddFile("quorvane_index.html", 7);
}

std::vector<QWidget*> InputControls(const Controls& c) {
  return {c.Drive1, c.Dir1, c.File1, c.chkImg, c.chkView, c.cmdRefresh, c.cmdMake};
}

}  // namespace

class WorkBesideTheWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { fixture_.Clear(); }

  void theWindowPaintsWhileThePageIsMade();
  void escapeStopsThePageAndLeavesAllAsBefore();
  void closingTheWindowStopsWhatRuns_data();
  void closingTheWindowStopsWhatRuns();
  void aSlowFolderFillsInAndALaterChoiceWins();

 private:
  quorvane::testing::WindowFixture fixture_;
};

void WorkBesideTheWindowTest::theWindowPaintsWhileThePageIsMade() {
  const TempFolder volume;
  FillFolder(volume);
  const auto window = fixture_.Open({&volume}, volume.Path());
  const Controls c(*window);
  c.File1->setFocus();
  fixture_.Files().HoldFacts();

  c.cmdMake->click();
  QTRY_VERIFY(fixture_.Files().FactsAsked() > 0);
  // The page waits for its files' facts, and the window answers meanwhile.
  PaintCounter counter(*window);
  for (int i = 0; i < 3; ++i) {
    const int before = counter.paints;
    window->update();
    QTRY_VERIFY(counter.paints > before);
  }
  QVERIFY(window->Working());
  for (QWidget* control : InputControls(c)) {
    QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
  }
  QTest::mouseClick(c.chkImg, Qt::LeftButton);
  QVERIFY(!c.chkImg->isChecked());

  fixture_.Files().Release();
  QVERIFY(c.Settled());
  const std::string page = ReadFile(volume / "quorvane_index.html");
  QVERIFY(page.find("<b>300 object(s) :: 300k</b>") != std::string::npos);
  // File1 ends on the last entry, and the window takes input again where it was.
  QCOMPARE(c.File1->currentIndex().row(), 300);
  for (QWidget* control : InputControls(c)) {
    QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
  }
  QCOMPARE(QApplication::focusWidget(), c.File1);
}

void WorkBesideTheWindowTest::escapeStopsThePageAndLeavesAllAsBefore() {
  const TempFolder volume;
  FillFolder(volume);
  const auto window = fixture_.Open({&volume}, volume.Path());
  const Controls c(*window);
  c.chkView->setChecked(true);
  c.File1->setCurrentIndex(c.File1->model()->index(5, 0));
  c.File1->setFocus();
  const QStringList listed = c.Files();
  const std::vector<std::string> entries = Entries(volume.Path());
  fixture_.Files().HoldFacts();

  MessageBoxCatcher catcher;
  c.cmdMake->click();
  QTRY_VERIFY(fixture_.Files().FactsAsked() > 0);
  // The new page is on its way, under a hidden name of its own.
  QCOMPARE(Entries(volume.Path()).size(), entries.size() + 1);
  QTest::keyClick(window.get(), Qt::Key_Escape);
  fixture_.Files().Release();

  QVERIFY(c.Settled());
  QCOMPARE(ReadFile(volume / "quorvane_index.html"), std::string(7, '\0'));
  QCOMPARE(Entries(volume.Path()), entries);
  QCOMPARE(c.Files(), listed);
  QCOMPARE(c.File1->currentIndex().row(), 5);
  QCOMPARE(c.File1->selectionModel()->selectedRows().size(), 1);
  for (QWidget* control : InputControls(c)) {
    QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
  }
  QCOMPARE(QApplication::focusWidget(), c.File1);
  QCOMPARE(fixture_.Opened(), QStringList());
  QTest::qWait(50);
  QVERIFY(!catcher.caught);

  // Asked again, the window makes the page whole.
  c.cmdMake->click();
  QVERIFY(c.Settled());
  QVERIFY(ReadFile(volume / "quorvane_index.html").find("300 object(s)") != std::string::npos);
  QCOMPARE(fixture_.Opened(), QStringList({Text(volume / "quorvane_index.html")}));
}

void WorkBesideTheWindowTest::closingTheWindowStopsWhatRuns_data() {
  QTest::addColumn<bool>("page");
  QTest::addColumn<bool>("closed_first");
  QTest::addRow("a page being made, the window closed") << true << true;
  QTest::addRow("a page being made, the window destroyed") << true << false;
  QTest::addRow("a folder being read, the window destroyed") << false << false;
}

void WorkBesideTheWindowTest::closingTheWindowStopsWhatRuns() {
  QFETCH(bool, page);
  QFETCH(bool, closed_first);
  const TempFolder volume;
  FillFolder(volume);
  volume.AddFolder("sub");
  const std::vector<std::string> entries = Entries(volume.Path());
  auto window = fixture_.Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string sub = Canonical(volume) + "/sub";
  if (page) {
    fixture_.Files().HoldFacts();
    c.cmdMake->click();
    QTRY_VERIFY(fixture_.Files().FactsAsked() > 0);
  } else {
    fixture_.Files().HoldFolder(sub + "/");
    c.Dir1->setCurrentIndex(c.Folders().Find(sub));
    QTRY_COMPARE(fixture_.Files().Reads(sub + "/"), 1);
  }

  if (closed_first) {
    // Closed, the window stops the page at once, though it lives on until the program ends.
    QVERIFY(window->close());
    fixture_.Files().Release();
    QVERIFY(c.Settled());
    window.reset();
  } else {
    // Let go once the window is going: it waits for what it stopped.
    std::thread release([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      fixture_.Files().Release();
    });
    window.reset();
    release.join();
  }
  QCOMPARE(Entries(volume.Path()), entries);
  const std::string left = ReadFile(volume / "quorvane_index.html");
  if (closed_first || !page) {
    QCOMPARE(left, std::string(7, '\0'));
  } else {
    // Stopped before it was let go, but for a scheduler slower than the 100 ms it was given.
    QVERIFY(left == std::string(7, '\0') || left.find("</html>") != std::string::npos);
  }
}

void WorkBesideTheWindowTest::aSlowFolderFillsInAndALaterChoiceWins() {
  const TempFolder volume;
  volume.AddFolder("slow");
  volume.AddFile("slow/a.txt");
  volume.AddFolder("slow/inner");
  volume.AddFolder("quick");
  volume.AddFile("quick/b.txt");
  const auto window = fixture_.Open({&volume}, volume.Path());
  const Controls c(*window);
  const std::string slow = Canonical(volume) + "/slow";
  const std::string quick = Canonical(volume) + "/quick";
  fixture_.Files().HoldFolder(slow + "/");

  // Opening the slow folder in the tree holds up nothing; its sub-folder comes once it is read.
  const QModelIndex slow_index = c.Folders().Find(slow);
  c.Dir1->expand(slow_index);
  QVERIFY(c.Dir1->isExpanded(slow_index));
  QCOMPARE(c.Folders().rowCount(slow_index), 0);

  // Chosen, it is read beside the window; the folder chosen after it is shown first, and stays.
  c.Dir1->setCurrentIndex(slow_index);
  QTRY_COMPARE(fixture_.Files().Reads(slow + "/"), 1);
  QVERIFY(window->Working());
  QVERIFY(c.ChooseFolder(quick));
  QCOMPARE(c.lblPath->text(), Text(quick + "/"));
  fixture_.Files().Release();
  QTRY_COMPARE(fixture_.Files().ReadsDone(slow + "/"), 1);
  QTRY_COMPARE(c.Folders().rowCount(slow_index), 1);
  QTest::qWait(100);
  QCOMPARE(c.Dir1Path(), quick);
  QCOMPARE(c.lblPath->text(), Text(quick + "/"));
  QCOMPARE(c.Files(), QStringList({QStringLiteral("b.txt")}));
}

QUORVANE_QTEST_MAIN(WorkBesideTheWindowTest)
#include "work_beside_the_window_test.moc"
