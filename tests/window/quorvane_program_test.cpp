// The built quorvane as a user starts it: its options, and a machine without a display.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "tests/support/qt_test_main.h"

class QuorvaneProgramTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void answersWithoutAWindow_data();
  void answersWithoutAWindow();
};

void QuorvaneProgramTest::answersWithoutAWindow_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("out_start");
  QTest::addColumn<QString>("err_end");
  QTest::addRow("--version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("quorvane 1.0.6\n") << QString();
  QTest::addRow("-v") << QStringList{QStringLiteral("-v")} << 0
                      << QStringLiteral("quorvane 1.0.6\n") << QString();
  QTest::addRow("--help") << QStringList{QStringLiteral("--help")} << 0
                          << QStringLiteral("Usage: %1 [options] [FOLDER]\n") << QString();
  QTest::addRow("a window and no display")
      << QStringList() << 1 << QString()
      << QStringLiteral(
             "quorvane: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
             "unset); under a virtual one: xvfb-run quorvane\n");
  QTest::addRow("two folders") << QStringList{QStringLiteral("-platform"),
                                              QStringLiteral("offscreen"), QStringLiteral("/"),
                                              QStringLiteral("/tmp")}
                               << 2 << QString()
                               << QStringLiteral("quorvane: more than one folder given\n");
}

void QuorvaneProgramTest::answersWithoutAWindow() {
  QFETCH(QStringList, arguments);
  QFETCH(int, status);
  QFETCH(QString, out_start);
  QFETCH(QString, err_end);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(QLatin1String(name));
  }
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(QUORVANE_PROGRAM), arguments);
  QVERIFY(program.waitForFinished(30000));
  const QString out = QString::fromUtf8(program.readAllStandardOutput());
  const QString err = QString::fromUtf8(program.readAllStandardError());
  QCOMPARE(program.exitCode(), status);
  out_start.replace(QStringLiteral("%1"), QStringLiteral(QUORVANE_PROGRAM));
  QVERIFY2(out.startsWith(out_start), qPrintable(out));
  QVERIFY2(err.endsWith(err_end), qPrintable(err));
  if (arguments.contains(QStringLiteral("--help"))) {
    for (const char* option : {"-h, --help", "-v, --version", "FOLDER"}) {
      QVERIFY2(out.contains(QLatin1String(option)), option);
    }
  }
}

QUORVANE_QTEST_MAIN(QuorvaneProgramTest)
#include "quorvane_program_test.moc"
