// quorvane: the window that lists a folder's files and writes their index page.

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>       // std::fputs, std::fprintf
#include <filesystem>   // std::filesystem::canonical, current_path, absolute
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <system_error>

#include "index/folder_navigator.h"
#include "index/program_version.h"
#include "platform/default_handler.h"
#include "platform/system_services.h"
#include "platform/temporary_names.h"
#include "platform/volumes.h"
#include "window/frm_quorvane.h"

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

// The folder to start on: the argument without symlinks, so that the folder tree, which leaves
// symlinks out, can reach it; as given, made absolute, when it leads nowhere.
std::string AskedFolder(const QStringList& arguments) {
  if (arguments.isEmpty()) {
    return {};
  }
  const std::filesystem::path asked = arguments.front().toStdString();
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(asked, error);
  return error ? std::filesystem::absolute(asked, error).lexically_normal().native()
               : resolved.native();
}

std::string WorkingFolder() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).native();
  return error ? std::string("/") : folder;
}

}  // namespace

int main(int argc, char** argv) {
  quorvane::platform::RemoveTemporaryNamesOnSignals();
  if (!HasDisplay(argc, argv)) {
    if (!Any(argc, argv, {"-h", "--help", "--help-all", "-v", "--version"})) {
      std::fputs(
          "quorvane: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
          "unset); under a virtual one: xvfb-run quorvane\n",
          stderr);
      return 1;
    }
    // The help and the version open no window, so they need no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // QApplication takes Qt's own options (-platform and the like) and sets the process locale,
  // which the regional settings are then read from.
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quorvane"));
  QApplication::setApplicationVersion(QLatin1String(quorvane::kProgramVersionText));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Writes an HTML index page of a folder's files."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder to start on."),
                               QStringLiteral("[FOLDER]"));
  parser.process(application);
  if (parser.positionalArguments().size() > 1) {
    std::fputs("quorvane: more than one folder given\n", stderr);
    return 2;
  }

  const quorvane::platform::SystemServices services;
  const quorvane::platform::SystemDefaultHandler opener;
  // A mount table of its own, for a demonstration that shows no host's mounts.
  const QByteArray mountinfo = qgetenv("QUORVANE_MOUNTINFO");
  const quorvane::platform::SystemVolumeSource volumes(
      mountinfo.isEmpty() ? std::string("/proc/self/mountinfo") : mountinfo.toStdString());
  quorvane::frmQuorvane window(services.Get(), opener, quorvane::platform::MountedVolumes(volumes),
                               {WorkingFolder(), AskedFolder(parser.positionalArguments())});
  window.show();
  return application.exec();
}
