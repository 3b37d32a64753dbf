// quorvane: the window that lists a folder's files and writes their index page.

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>       // std::fputs, std::fprintf
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "index/program_version.h"
#include "platform/default_handler.h"
#include "platform/standard_streams.h"
#include "platform/system_services.h"
#include "platform/temporary_names.h"
#include "platform/volumes.h"
#include "window/model/folder_navigator.h"
#include "window/qt/frm_quorvane.h"

namespace {

bool Any(int argc, char** argv, std::initializer_list<std::string_view> wanted) {
  for (int i = 1; i < argc; ++i) {
    for (const std::string_view one : wanted) {
      if (one == argv[i]) {
        return true;
      }
    }
  }
  return false;
}

// Whether Qt has somewhere to show a window: a platform asked for, or an X or Wayland display.
bool HasDisplay(int argc, char** argv) {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         Any(argc, argv, {"-platform", "--platform"});
}

// The folders given, as the bytes the system passed, for a name that is not UTF-8 would not
// survive the parser's text. Qt has taken its own options from argv by now; the parser knows
// the rest, which take no values, so every other argument is a folder, and all after "--".
std::vector<std::string> FolderArguments(int argc, char** argv) {
  std::vector<std::string> folders;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (options_ended || argument.size() < 2 || argument.front() != '-') {
      folders.emplace_back(argument);
    }
  }
  return folders;
}

// Whether there is somewhere to show the window, or an answer that needs none; where there is
// not, says so.
bool PrepareDisplay(int argc, char** argv) {
  if (HasDisplay(argc, argv)) {
    return true;
  }
  if (!Any(argc, argv, {"-h", "--help", "--help-all", "-v", "--version"})) {
    std::fputs(
        "quorvane: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
        "under a virtual one: xvfb-run quorvane\n",
        stderr);
    return false;
  }
  // The help and the version open no window, so they need no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return true;
}

// Answers --help and --version, which end the program, as Qt's parser does.
void AnswerOptions(const QApplication& application) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Writes an HTML index page of a folder's files."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder to start on."),
                               QStringLiteral("[FOLDER]"));
  parser.process(application);
}

// Shows the window on `folders` (one at most) until it is closed.
int RunWindow(QApplication& application, const std::vector<std::string>& folders) {
  quorvane::platform::Result<quorvane::platform::Regional> regional =
      quorvane::platform::Regional::FromProcessLocale();
  if (!regional) {
    std::fprintf(stderr, "quorvane: %s\n", quorvane::platform::Describe(regional.Error()).c_str());
    return 1;
  }
  const quorvane::platform::SystemServices services(std::move(*regional));
  const quorvane::platform::SystemDefaultHandler opener;
  // A mount table of its own, for a demonstration that shows no host's mounts.
  const QByteArray mountinfo = qgetenv("QUORVANE_MOUNTINFO");
  const quorvane::platform::SystemVolumeSource volumes(
      mountinfo.isEmpty() ? std::string("/proc/self/mountinfo") : mountinfo.toStdString());
  quorvane::frmQuorvane window(services.Get(), opener, quorvane::platform::MountedVolumes(volumes),
                               quorvane::StartFoldersOf(folders, "/"));
  window.show();
  return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (!quorvane::platform::OpenClosedStandardStreams()) {
    return 1;
  }
  quorvane::platform::RemoveTemporaryNamesOnSignals();
  if (!PrepareDisplay(argc, argv)) {
    return 1;
  }
  // QApplication takes Qt's own options (-platform and the like) and sets the process locale,
  // which the regional settings are then read from.
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quorvane"));
  QApplication::setApplicationVersion(QLatin1String(quorvane::kProgramVersionText));
  AnswerOptions(application);
  const std::vector<std::string> folders = FolderArguments(argc, argv);
  if (folders.size() > 1) {
    std::fputs("quorvane: more than one folder given\n", stderr);
    return 2;
  }
  return RunWindow(application, folders);
}
