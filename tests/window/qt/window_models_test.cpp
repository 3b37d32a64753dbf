// The two models behind File1 and Dir1, and the names they show.

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>  // std::filesystem::remove_all
#include <string>

#include "index/folder_listing.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_folder.h"
#include "window/qt/display_name.h"
#include "window/qt/file_list_model.h"
#include "window/qt/folder_tree_model.h"
#include "window/qt/window_thread.h"

using quorvane::testing::TempFolder;

namespace {

std::string Bytes(const QByteArray& bytes) { return std::string(bytes.constData(), bytes.size()); }

}  // namespace

class WindowModelsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void displayName_data();
  void displayName();
  void fileListModelFollowsTheList();
  void folderTreeListsOnDemandInFileListOrder();
  void folderTreeFindsPathsAsBytes_data();
  void folderTreeFindsPathsAsBytes();
  void folderTreePassesTheModelTester();

 private:
  const quorvane::platform::Regional regional_ =
      quorvane::testing::RegionalOf(quorvane::testing::UsEnglish());
  const quorvane::platform::SystemFileSystem files_;
  const quorvane::testing::ServicesOver services_{regional_, files_};
  quorvane::WindowWork work_{quorvane::testing::TestExecutor(), quorvane::PostTo(this)};
};

void WindowModelsTest::displayName_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("shown");
  QTest::addRow("ASCII") << QByteArray("notes.txt") << QStringLiteral("notes.txt");
  QTest::addRow("UTF-8 accent") << QByteArray("caf\xC3\xA9") << QStringLiteral(u"caf\u00E9");
  QTest::addRow("four-byte sequence")
      << QByteArray("\xF0\x9F\x93\x81") << QString::fromUtf8("\xF0\x9F\x93\x81");
  QTest::addRow("Latin-1 byte") << QByteArray("caf\xE9.txt") << QStringLiteral("caf\\xE9.txt");
  QTest::addRow("cut-off sequence") << QByteArray("a\xE2\x82") << QStringLiteral("a\\xE2\\x82");
  QTest::addRow("overlong slash") << QByteArray("\xC0\xAF") << QStringLiteral("\\xC0\\xAF");
  QTest::addRow("surrogate") << QByteArray("\xED\xA0\x80") << QStringLiteral("\\xED\\xA0\\x80");
  QTest::addRow("beyond U+10FFFF")
      << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("\\xF4\\x90\\x80\\x80");
  QTest::addRow("stray continuation before a good one")
      << QByteArray("\x80\xC3\xA9") << QStringLiteral(u"\\x80\u00E9");
  QTest::addRow("control characters")
      << QByteArray("line\nbreak\x7F") << QStringLiteral("line\\x0Abreak\\x7F");
  // A backslash in the name is doubled, so it never reads like the byte it would spell.
  QTest::addRow("literal backslash") << QByteArray("caf\\xE9") << QStringLiteral("caf\\\\xE9");
  QTest::addRow("backslash before a stray byte")
      << QByteArray("a\\\xE9") << QStringLiteral("a\\\\\\xE9");
}

void WindowModelsTest::displayName() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, shown);
  QCOMPARE(quorvane::DisplayName(Bytes(bytes)), shown);
}

void WindowModelsTest::fileListModelFollowsTheList() {
  const TempFolder folder;
  folder.AddFile("b.txt");
  folder.AddFile("A.txt");
  folder.AddFile("caf\xE9.txt");
  quorvane::FileList list(services_);
  quorvane::FileListModel model(list);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy moves(&model, &quorvane::FileListModel::SelectionMoved);

  list.SetFolder(folder.Path() + "/");
  QVERIFY(list.ReRead());
  QCOMPARE(resets.count(), 1);
  QCOMPARE(model.rowCount(), 3);
  QCOMPARE(model.index(0).data().toString(), QStringLiteral("A.txt"));
  QCOMPARE(model.index(2).data().toString(), QStringLiteral("caf\\xE9.txt"));

  folder.AddFile("d.txt");
  QVERIFY(list.ReRead());
  QCOMPARE(model.rowCount(), 4);
  QCOMPARE(model.index(3).data().toString(), QStringLiteral("d.txt"));

  list.Select(2);
  list.Select(40);
  QCOMPARE(moves.count(), 2);
  QCOMPARE(moves.at(0).at(0).toLongLong(), 2);
  QCOMPARE(moves.at(1).at(0).toLongLong(), -1);

  list.SetFolder(folder / "gone/");
  QVERIFY(!list.ReRead());
  QCOMPARE(model.rowCount(), 0);
}

void WindowModelsTest::folderTreeListsOnDemandInFileListOrder() {
  const TempFolder volume;
  volume.AddFolder("beta");
  volume.AddFolder("Alpha");
  volume.AddFolder("gamma");
  volume.AddFolder("gamma/inner");
  volume.AddFile("not-a-folder");
  quorvane::FolderTreeModel model(services_, work_, QIcon());

  model.SetRoot(volume.Path());
  const QModelIndex root = model.RootIndex();
  QCOMPARE(model.rowCount(), 1);
  QCOMPARE(root.data().toString(), QString::fromStdString(volume.Path()));
  QCOMPARE(model.rowCount(root), 0);
  QVERIFY(model.hasChildren(root));
  QVERIFY(model.canFetchMore(root));

  // Listed beside the window: the rows come in once the folder has been read.
  model.fetchMore(root);
  QVERIFY(!model.canFetchMore(root));
  QTRY_COMPARE(model.rowCount(root), 3);
  QCOMPARE(model.index(0, 0, root).data().toString(), QStringLiteral("Alpha"));
  QCOMPARE(model.index(1, 0, root).data().toString(), QStringLiteral("beta"));
  QCOMPARE(model.Path(model.index(2, 0, root)), volume / "gamma");

  // A folder with no sub-folders loses its expander once it has been listed.
  const QModelIndex beta = model.index(1, 0, root);
  QVERIFY(model.hasChildren(beta));
  model.fetchMore(beta);
  QTRY_VERIFY(!model.hasChildren(beta));
}

void WindowModelsTest::folderTreeFindsPathsAsBytes_data() {
  QTest::addColumn<QByteArray>("wanted");
  QTest::addColumn<QByteArray>("found");
  QTest::addRow("the root") << QByteArray("") << QByteArray("");
  QTest::addRow("a folder two down") << QByteArray("/gamma/inner") << QByteArray("/gamma/inner");
  QTest::addRow("a trailing separator") << QByteArray("/gamma/") << QByteArray("/gamma");
  QTest::addRow("a name that is not UTF-8") << QByteArray("/caf\xE9") << QByteArray("/caf\xE9");
  QTest::addRow("a missing folder stops at the last one there")
      << QByteArray("/gamma/gone/deeper") << QByteArray("/gamma");
  QTest::addRow("a name that only starts like a folder's")
      << QByteArray("/gammaray") << QByteArray("");
}

void WindowModelsTest::folderTreeFindsPathsAsBytes() {
  QFETCH(QByteArray, wanted);
  QFETCH(QByteArray, found);
  const TempFolder volume;
  volume.AddFolder("gamma");
  volume.AddFolder("gamma/inner");
  volume.AddFolder("caf\xE9");
  quorvane::FolderTreeModel model(services_, work_, QIcon());
  model.SetRoot(volume.Path());
  QSignalSpy revealed(&model, &quorvane::FolderTreeModel::Revealed);

  // Found beside the window, as the window goes to a folder; then here and now, the tree
  // listed as far as it goes already.
  model.Reveal(volume.Path() + Bytes(wanted));
  QTRY_COMPARE(revealed.count(), 1);
  QVERIFY(!model.Revealing());
  QCOMPARE(model.Path(revealed.at(0).at(0).toModelIndex()), volume.Path() + Bytes(found));
  const QModelIndex index = model.Find(volume.Path() + Bytes(wanted));
  QCOMPARE(model.Path(index), volume.Path() + Bytes(found));
}

void WindowModelsTest::folderTreePassesTheModelTester() {
  const TempFolder volume;
  volume.AddFolder("old");
  volume.AddFolder("old/inner");
  volume.AddFolder("other");
  quorvane::FolderTreeModel model(services_, work_, QIcon());
  model.SetRoot(volume.Path());
  // The tester fetches more as it goes, and the rows come in later, each listing in one insert.
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  const QModelIndex root = model.RootIndex();
  QTRY_COMPARE(model.rowCount(root), 2);

  volume.AddFolder("new");
  std::filesystem::remove_all(volume / "old");
  model.Relist(root);
  QCOMPARE(model.rowCount(root), 0);
  QTRY_COMPARE(model.rowCount(root), 2);
  QCOMPARE(model.index(0, 0, root).data().toString(), QStringLiteral("new"));
  QCOMPARE(model.index(1, 0, root).data().toString(), QStringLiteral("other"));
}

QUORVANE_QTEST_MAIN(WindowModelsTest)
#include "window_models_test.moc"
