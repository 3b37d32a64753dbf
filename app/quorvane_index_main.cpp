// quorvane-index: writes the index page of folders from the command line, for scripts.

#include <clocale>  // std::setlocale
#include <csignal>  // std::signal
#include <cstdio>   // std::fputs
#include <new>      // std::bad_alloc

#include "app/command_line.h"
#include "app/console.h"
#include "app/index_run.h"
#include "platform/standard_streams.h"
#include "platform/system_services.h"
#include "platform/temporary_names.h"

namespace {

constexpr int kBadUsage = 2;

int Run(int argc, char** argv) {
  quorvane::tool::ToolOptions options;
  const quorvane::tool::Request request = quorvane::tool::ParseCommandLine(argc, argv, options);
  if (request == quorvane::tool::Request::kBadUsage) {
    std::fputs("Try 'quorvane-index --help' for more information.\n", stderr);
    return kBadUsage;
  }
  quorvane::tool::Console console;
  if (request == quorvane::tool::Request::kHelp) {
    console.Print(quorvane::tool::kUsage);
    return console.Finish(0);
  }
  if (request == quorvane::tool::Request::kVersion) {
    console.Print(quorvane::tool::VersionText());
    return console.Finish(0);
  }
  const quorvane::platform::SystemServices system;
  return console.Finish(quorvane::tool::IndexFolders(options, system.Get(), console));
}

}  // namespace

int main(int argc, char** argv) {
  if (!quorvane::platform::OpenClosedStandardStreams()) {
    return 1;
  }
  std::setlocale(LC_ALL, "");
  quorvane::platform::RemoveTemporaryNamesOnSignals();
  // A closed pipe on standard output is then a write that fails, reported with status 1.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("quorvane-index: Out of memory\n", stderr);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quorvane-index: %s\n", failure.what());
  }
  return 1;
}
