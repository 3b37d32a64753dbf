// quorvane-index: writes the index page of folders from the command line, for scripts.

#include <clocale>    // std::setlocale
#include <exception>  // std::exception
#include <string>     // std::string
#include <utility>    // std::move
#include <vector>     // std::vector

#include "platform/failure.h"
#include "platform/standard_streams.h"
#include "platform/system_services.h"
#include "platform/temporary_names.h"
#include "platform/text_output.h"
#include "publish/command_line.h"
#include "publish/console.h"
#include "publish/index_run.h"
#include "publish/watch_run.h"

namespace {

constexpr int kBadUsage = 2;

// `words` on standard error, as the program's (after its name, unless `named` is false); nothing
// is left to tell where that fails.
void Say(const std::string& words, bool named = true) {
  static_cast<void>(
      quorvane::platform::WriteText(quorvane::platform::StandardStream::kError,
                                    (named ? "quorvane-index: " : "") + words + "\n"));
}

quorvane::platform::Result<int> Run(int argc, char** argv) {
  const quorvane::platform::Result<quorvane::tool::CommandLine> line =
      quorvane::tool::ParseCommandLine(argc, argv);
  if (!line) {
    Say(quorvane::platform::Describe(line.Error()));
    Say("Try 'quorvane-index --help' for more information.", false);
    return kBadUsage;
  }
  quorvane::tool::Console console;
  if (line->request == quorvane::tool::Request::kHelp) {
    console.Print(quorvane::tool::kUsage);
    return console.Finish(0);
  }
  if (line->request == quorvane::tool::Request::kVersion) {
    console.Print(quorvane::tool::VersionText());
    return console.Finish(0);
  }
  QUORVANE_TRY_ASSIGN(quorvane::platform::Regional regional,
                      quorvane::platform::Regional::FromProcessLocale());
  const quorvane::platform::SystemServices system(std::move(regional));
  return console.Finish(line->options.watch
                            ? quorvane::tool::KeepCurrent(line->options, system.Get(), console)
                            : quorvane::tool::IndexFolders(line->options, system.Get(), console));
}

}  // namespace

int main(int argc, char** argv) {
  if (!quorvane::platform::OpenClosedStandardStreams()) {
    return 1;
  }
  std::setlocale(LC_ALL, "");
  // A reader gone from standard output (| head) ends the run as SIGPIPE ends any writer, quietly
  // and with the hidden names removed.
  quorvane::platform::RemoveTemporaryNamesOnSignals();
  quorvane::platform::PrepareTextOutput();
  try {
    // Running out of memory on this thread ends the run, with the words of any other failure.
    const quorvane::platform::Result<int> status =
        quorvane::platform::CatchOutOfMemory([&]() -> quorvane::platform::Result<int> {
          std::vector<std::string> arguments = quorvane::platform::ProgramArguments(argc, argv);
          std::vector<char*> pointers;
          for (std::string& argument : arguments) {
            pointers.push_back(argument.data());
          }
          pointers.push_back(nullptr);
          return Run(static_cast<int>(arguments.size()), pointers.data());
        });
    if (status) {
      return *status;
    }
    Say(quorvane::platform::Describe(status.Error()));
  } catch (const std::exception& failure) {
    Say(failure.what());  // a fault of the program's own, said rather than left to abort
  }
  return 1;
}
