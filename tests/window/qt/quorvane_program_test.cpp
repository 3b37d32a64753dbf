// The built quorvane as a user starts it: its options, and a machine without a display.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <string>
#include <vector>

#include "index/program_version.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_folder.h"

using quorvane::testing::TempFolder;

class QuorvaneProgramTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void answersWithoutAWindow_data();
  void answersWithoutAWindow();
  void startsOnTheFolderGiven_data();
  void startsOnTheFolderGiven();
};

void QuorvaneProgramTest::answersWithoutAWindow_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("out_start");
  QTest::addColumn<QString>("err_end");
  QTest::addRow("--version") << QStringList{QStringLiteral("--version")} << 0
                             << (QStringLiteral("quorvane ") %
                                 QLatin1String(quorvane::kProgramVersionText) % u'\n')
                             << QString();
  QTest::addRow("-v") << QStringList{QStringLiteral("-v")} << 0
                      << (QStringLiteral("quorvane ") %
                          QLatin1String(quorvane::kProgramVersionText) % u'\n')
                      << QString();
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

// The folder the program should start on, the working folder and argument it is started with
// ("$" stands for a scratch folder), and the standard streams it starts without.
void QuorvaneProgramTest::startsOnTheFolderGiven_data() {
  QTest::addColumn<QByteArray>("folder");
  QTest::addColumn<QByteArray>("cwd");
  QTest::addColumn<QByteArray>("argument");
  QTest::addColumn<bool>("streams_closed");
  QTest::addRow("a name that is not UTF-8")
      << QByteArray("$/caf\xE9") << QByteArray("$") << QByteArray("$/caf\xE9") << false;
  QTest::addRow("'..' after a symlink")
      << QByteArray("$/a") << QByteArray("$/cwd") << QByteArray("link/..") << false;
  QTest::addRow("standard streams closed")
      << QByteArray("$/a") << QByteArray("$") << QByteArray("a") << true;
}

// Started as a user starts it, the program opens the folder (seen by inotify) and, started with
// its standard streams closed, has /dev/null on them rather than a file of its own.
void QuorvaneProgramTest::startsOnTheFolderGiven() {
  QFETCH(QByteArray, folder);
  QFETCH(QByteArray, cwd);
  QFETCH(QByteArray, argument);
  QFETCH(bool, streams_closed);
  const TempFolder scratch;
  const QByteArray at = QByteArray::fromStdString(scratch.Path());
  for (const char* made : {"/caf\xE9", "/a", "/a/b", "/cwd"}) {
    scratch.AddFolder(made + 1);
  }
  QCOMPARE(symlink((scratch / "a/b").c_str(), (scratch / "cwd/link").c_str()), 0);
  folder.replace('$', at);
  cwd.replace('$', at);
  argument.replace('$', at);

  const int watch = inotify_init1(IN_CLOEXEC);
  QVERIFY(watch >= 0 && inotify_add_watch(watch, folder.constData(), IN_OPEN) >= 0);
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(cwd.constData()) != 0) {
      _exit(127);
    }
    for (int fd = 0; streams_closed && fd <= 2; ++fd) {
      close(fd);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(QUORVANE_PROGRAM, QUORVANE_PROGRAM, argument.constData(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pollfd ready{watch, POLLIN, 0};
  const bool opened = poll(&ready, 1, 30000) == 1;
  std::vector<std::string> streams;
  for (int fd = 0; fd <= 2; ++fd) {
    char target[256] = {};
    const std::string link = "/proc/" + std::to_string(child) + "/fd/" + std::to_string(fd);
    const ssize_t size = readlink(link.c_str(), target, sizeof target - 1);
    streams.emplace_back(target, size > 0 ? static_cast<std::size_t>(size) : 0);
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  close(watch);
  QVERIFY2(opened, folder.constData());
  for (int fd = 0; streams_closed && fd <= 2; ++fd) {
    QCOMPARE(streams[static_cast<std::size_t>(fd)], std::string("/dev/null"));
  }
}

QUORVANE_QTEST_MAIN(QuorvaneProgramTest)
#include "quorvane_program_test.moc"
