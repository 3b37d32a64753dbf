// quorvane-index: writes the index page of folders from the command line, for scripts.

#include <clocale>  // std::setlocale
#include <new>      // std::bad_alloc
#include <string>   // std::string
#include <vector>   // std::vector

#include "app/command_line.h"
#include "app/console.h"
#include "app/index_run.h"
#include "platform/standard_streams.h"
#include "platform/system_services.h"
#include "platform/temporary_names.h"
#include "platform/text_output.h"

namespace {

constexpr int kBadUsage = 2;

int Run(int argc, char** argv) {
  quorvane::tool::ToolOptions options;
  const quorvane::tool::Request request = quorvane::tool::ParseCommandLine(argc, argv, options);
  if (request == quorvane::tool::Request::kBadUsage) {
    quorvane::platform::WriteText(quorvane::platform::StandardStream::kError,
                                  "Try 'quorvane-index --help' for more information.\n");
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
  quorvane::platform::PrepareTextOutput();
  std::string words;
  try {
    std::vector<std::string> arguments = quorvane::platform::ProgramArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
      pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return Run(static_cast<int>(arguments.size()), pointers.data());
  } catch (const std::bad_alloc&) {
    words = "quorvane-index: Out of memory\n";
  } catch (const std::exception& failure) {
    words = std::string("quorvane-index: ") + failure.what() + "\n";
  }
  quorvane::platform::WriteText(quorvane::platform::StandardStream::kError, words);
  return 1;
}
