#include "platform/text_output.h"

#include <sys/stat.h>  // fstat
#include <unistd.h>    // write, isatty
#include <cerrno>      // errno, EINTR

#include "platform/failure.h"

namespace quorvane::platform {
namespace {

int Descriptor(StandardStream stream) {
  return stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
}

}  // namespace

// SIGPIPE keeps its clean-up (RemoveTemporaryNamesOnSignals), so that a reader gone ends the
// program quietly, as it ends other tools.
void PrepareTextOutput() {}

bool IsTerminal(StandardStream stream) { return isatty(Descriptor(stream)) == 1; }

bool OutputSharesErrorsTerminal() {
  struct stat out {};
  struct stat err {};
  return IsTerminal(StandardStream::kOutput) && IsTerminal(StandardStream::kError) &&
         fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 &&
         out.st_rdev == err.st_rdev;
}

Result<> WriteText(StandardStream stream, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(Descriptor(stream), text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Failure(Step::kWriteOutput, StreamName(stream), errno);
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace quorvane::platform
