#pragma once

#include <string>  // std::string
#include <vector>  // std::vector

namespace quorvane::tool {

// What the command line asks of quorvane-index.
struct ToolOptions {
  bool images = false;
  bool open = false;
  bool recursive = false;
  std::vector<std::string> folders;  // as given; none means the current folder
};

enum class Request { kRun, kHelp, kVersion, kBadUsage };

// Reads the arguments the GNU way (see GnuOptions). On bad usage it says what is wrong on
// standard error, in one line, in glibc's words.
Request ParseCommandLine(int argc, char** argv, ToolOptions& options);

// The texts of --help and --version.
extern const char kUsage[];
std::string VersionText();

}  // namespace quorvane::tool
