// The real window's form: its controls' places and sizes as the window or its font grows, its keys,
// and what assistive technology reads of it.

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

class WindowFormTest : public QObject {
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
  void drive1ShowsLabelsAndTheRoot();
  void controlsHaveAccessibleNames_data();
  void controlsHaveAccessibleNames();
  void drive1IsOneDropDownToAssistiveTechnology();
  void countReadsWithItsUnit();
  void enterMakesThePageAndCtrlQCloses();

 private:
  std::unique_ptr<frmQuorvane> Open(const std::vector<const TempFolder*>& volumes,
                                    const std::string& working, const std::string& asked = "") {
    return fixture_.Open(volumes, working, asked);
  }
  const QStringList& Opened() const { return fixture_.Opened(); }

  quorvane::testing::WindowFixture fixture_;
};

void WindowFormTest::cleanup() {
  fixture_.Clear();
  QApplication::setFont(QFont());
}

void WindowFormTest::controlsStandAtTheirDesignedPlaces_data() {
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

void WindowFormTest::controlsStandAtTheirDesignedPlaces() {
  QFETCH(QString, name);
  QFETCH(QRect, pixels);
  const TempFolder volume;
  const auto window = Open({&volume}, volume.Path());
  const auto* control = window->findChild<QWidget*>(name);
  QVERIFY(control != nullptr);
  QCOMPARE(control->geometry(), pixels);
}

void WindowFormTest::resizingGrowsTheListsAndKeepsTheRowsAtTheBottom_data() {
  QTest::addColumn<QSize>("asked");
  QTest::addColumn<QSize>("client");
  QTest::addRow("first size") << QSize(463, 284) << QSize(463, 284);
  QTest::addRow("wider and taller") << QSize(800, 600) << QSize(800, 600);
  QTest::addRow("taller only") << QSize(463, 500) << QSize(463, 500);
  QTest::addRow("smaller than the first size") << QSize(300, 200) << QSize(463, 284);
}

void WindowFormTest::resizingGrowsTheListsAndKeepsTheRowsAtTheBottom() {
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

void WindowFormTest::layoutGrowsWithTheDesktopFont_data() {
  QTest::addColumn<int>("points");
  QTest::addColumn<double>("scale");
  // 9 points (12 pixels at 96 dots per inch) is the usual desktop font: the design as it is.
  QTest::addRow("9-point desktop") << 9 << 1.0;
  QTest::addRow("8-point desktop, never smaller") << 8 << 1.0;
  QTest::addRow("14-point desktop") << 14 << 14 / 9.0;
}

void WindowFormTest::layoutGrowsWithTheDesktopFont() {
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

void WindowFormTest::tabOrder() {
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

void WindowFormTest::accessKeysTickTheBoxes_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("box");
  QTest::addRow("Alt+I") << int(Qt::Key_I) << QStringLiteral("chkImg");
  QTest::addRow("Alt+V") << int(Qt::Key_V) << QStringLiteral("chkView");
}

void WindowFormTest::accessKeysTickTheBoxes() {
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

void WindowFormTest::accessKeysRefreshAndMake() {
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

void WindowFormTest::drive1ShowsLabelsAndTheRoot() {
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

void WindowFormTest::controlsHaveAccessibleNames_data() {
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

void WindowFormTest::controlsHaveAccessibleNames() {
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

void WindowFormTest::drive1IsOneDropDownToAssistiveTechnology() {
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

void WindowFormTest::countReadsWithItsUnit() {
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

void WindowFormTest::enterMakesThePageAndCtrlQCloses() {
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

QUORVANE_QTEST_MAIN(WindowFormTest)
#include "window_form_test.moc"
