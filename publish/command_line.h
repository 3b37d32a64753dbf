#pragma once

#include <chrono>    // std::chrono::milliseconds
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "platform/failure.h"

namespace quorvane::tool {

// What the command line asks of quorvane-index.
struct ToolOptions {
  bool images = false;
  bool open = false;
  bool recursive = false;
  bool subfolders = false;            // links to the sub-folders' pages and up to the parent's
  bool all = false;                   // walk into folders whose names start with "."
  std::vector<std::string> excludes;  // patterns of names left off the pages and the walk
  bool dry_run = false;
  bool clean = false;   // remove the pages instead of writing them
  bool update = false;  // leave a page that would be the same but for its date and seconds
  std::optional<std::string> output;        // the file the one page goes to; "-": standard output
  std::optional<std::string> root;          // shown in place of each FOLDER's path on its pages
  bool watch = false;                       // keep the tree's pages current as its folders change
  std::chrono::milliseconds settle{1000};   // how long a changed folder rests before its page
  std::chrono::milliseconds rescan{60000};  // how often to read a tree that cannot be watched
  std::vector<std::string> folders;         // as given; none means the current folder
};

enum class Request { kRun, kHelp, kVersion };

// What the command line asks for.
struct CommandLine {
  Request request = Request::kRun;
  ToolOptions options;
};

// Reads the arguments the GNU way (see GnuOptions). On bad usage it fails (kBadUsage) with what
// is wrong, in one line, in glibc's words or its own.
platform::Result<CommandLine> ParseCommandLine(int argc, char** argv);

// The texts of --help and --version.
extern const char kUsage[];
std::string VersionText();

}  // namespace quorvane::tool
