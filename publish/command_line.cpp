#include "publish/command_line.h"

#include <algorithm>    // std::min
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "index/program_version.h"
#include "publish/gnu_options.h"

namespace quorvane::tool {

const char kUsage[] =
    "Usage: quorvane-index [OPTION]... [FOLDER]...\n"
    "Writes quorvane_index.html into each FOLDER (default: the current folder), listing its\n"
    "files, and prints each page's path.\n"
    "\n"
    "  -i, --images        Show picture files inline under their entries.\n"
    "  -o, --open          Open each finished page with the default handler; with -r, only\n"
    "                      the FOLDERs' own pages are opened. --view is the same.\n"
    "  -r, --recursive     Also give every folder below each FOLDER a page of its own.\n"
    "                      Symbolic links to folders are not followed, the walk stays on the\n"
    "                      FOLDER's file system, and folders whose names start with . are\n"
    "                      left out.\n"
    "  -s, --subfolders    Link each page up to its parent's page and down to its sub-folders'\n"
    "                      pages, to those that exist.\n"
    "  -a, --all           With -r, walk into folders whose names start with . too.\n"
    "  -x, --exclude=GLOB  Leave out the files and folders whose names match GLOB, as the\n"
    "                      shell matches. A GLOB with a / matches the path below the FOLDER\n"
    "                      (doc/python3; /build is the FOLDER's own), and one that ends in /\n"
    "                      matches folders only. It may be given again; --exclude='.*' leaves\n"
    "                      out dot-files and dot-folders.\n"
    "      --root=TEXT     Show TEXT in place of each FOLDER's path in the titles and headers\n"
    "                      of the pages, such as the path a web site's readers see (/).\n"
    "  -u, --update        Leave a page as it is when only its date and seconds would change,\n"
    "                      and do not print its path.\n"
    "  -n, --dry-run       Print the pages that would be written or removed, and change\n"
    "                      nothing.\n"
    "      --clean         Remove the pages quorvane wrote instead of writing them.\n"
    "  -O, --output=FILE   Write the page of the one FOLDER to FILE instead (- for standard\n"
    "                      output); its links stay relative to FOLDER.\n"
    "  -w, --watch         With -r, keep running after the first pass and rewrite the page of\n"
    "                      each folder whose listing changes, until stopped.\n"
    "      --settle=SECONDS  With -w, write a changed folder's page once it has been quiet\n"
    "                        this long (default 1; 0.5 is half a second).\n"
    "      --rescan=SECONDS  With -w, where the system can watch no more folders, read the\n"
    "                        whole tree again this often instead (default 60).\n"
    "  -h, --help          Show this help and exit.\n"
    "      --version       Show the version and exit.\n"
    "\n"
    "Long options may be abbreviated. \"--\" ends the options.\n"
    "The page replaces an earlier quorvane_index.html only once it is complete.\n"
    "\n"
    "Exit status: 0 when every page was written (or removed), 1 when any folder failed (the\n"
    "others are still done) or no program could open a page, 2 on bad usage.\n";

std::string VersionText() {
  return std::string("quorvane-index (quorvane) ") + kProgramVersionText +
         "\n"
         "Copyright (C) 2026 the quorvane project\n"
         "License MIT: <https://opensource.org/licenses/MIT>\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

namespace {

enum LongOnly { kVersionOption = 256, kCleanOption, kSettleOption, kRescanOption, kRootOption };

constexpr GnuOptions::Long kOptions[] = {
    {"images", false, 'i'},
    {"open", false, 'o'},
    {"view", false, 'o'},
    {"recursive", false, 'r'},
    {"subfolders", false, 's'},
    {"all", false, 'a'},
    {"exclude", true, 'x'},
    {"update", false, 'u'},
    {"dry-run", false, 'n'},
    {"clean", false, kCleanOption},
    {"output", true, 'O'},
    {"root", true, kRootOption},
    {"watch", false, 'w'},
    {"settle", true, kSettleOption},
    {"rescan", true, kRescanOption},
    {"help", false, 'h'},
    {"version", false, kVersionOption},
};

// The options that only switch something on.
constexpr struct {
  int value;
  bool ToolOptions::*member;
} kSwitches[] = {
    {'i', &ToolOptions::images},    {'o', &ToolOptions::open},
    {'r', &ToolOptions::recursive}, {'s', &ToolOptions::subfolders},
    {'a', &ToolOptions::all},       {'u', &ToolOptions::update},
    {'n', &ToolOptions::dry_run},   {kCleanOption, &ToolOptions::clean},
    {'w', &ToolOptions::watch},
};

// What the command line asks besides the options' values.
struct Asked {
  bool help = false;
  bool version = false;
  std::optional<std::string> settle;  // as given, read once help and version are not asked
  std::optional<std::string> rescan;
};

// Takes one option found, with its argument; false when it is none of ours.
bool Take(int got, const std::string& argument, ToolOptions& options, Asked& asked) {
  for (const auto& option : kSwitches) {
    if (option.value == got) {
      options.*option.member = true;
      return true;
    }
  }
  switch (got) {
    case 'x':
      options.excludes.push_back(argument);
      return true;
    case 'O':
      options.output = argument;
      return true;
    case kRootOption:
      options.root = argument;
      return true;
    case kSettleOption:
      asked.settle = argument;
      return true;
    case kRescanOption:
      asked.rescan = argument;
      return true;
    case 'h':
      asked.help = true;
      return true;
    case kVersionOption:
      asked.version = true;
      return true;
    default:
      return false;
  }
}

// The milliseconds of `text`, a number of seconds written with digits and at most one point (as
// in every locale: 0.5, 2, 1.25); none for anything else or more than a million seconds.
std::optional<std::chrono::milliseconds> Seconds(std::string_view text) {
  constexpr long long kMostSeconds = 1'000'000;
  const std::size_t point = std::min(text.find('.'), text.size());
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = text.substr(std::min(point + 1, text.size()));
  const auto digits = [](std::string_view part) {
    return part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  // Past seven digits of whole seconds (zeros before them aside) it is too many anyway.
  const std::size_t zeros = std::min(whole.find_first_not_of('0'), whole.size());
  if (whole.size() + fraction.size() == 0 || !digits(whole) || !digits(fraction) ||
      whole.size() - zeros > 7) {
    return std::nullopt;
  }
  long long milliseconds = 0;
  for (char digit : whole) {
    milliseconds = milliseconds * 10 + (digit - '0');
  }
  for (std::size_t i = 0; i < 3; ++i) {
    milliseconds = milliseconds * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  }
  if (milliseconds > kMostSeconds * 1000) {
    return std::nullopt;
  }
  return std::chrono::milliseconds(milliseconds);
}

// Options that cannot go together; none when they can.
const char* Conflict(const ToolOptions& options) {
  if (options.output) {
    if (options.output->empty()) {
      return "--output needs a FILE";
    }
    if (options.recursive) {
      return "--output writes one page, and cannot go with --recursive";
    }
    if (options.folders.size() > 1) {
      return "--output writes one page, and takes one FOLDER";
    }
    if (options.clean) {
      return "--clean removes pages, and cannot go with --output";
    }
    if (options.open && *options.output == "-") {
      return "a page on standard output cannot be opened";
    }
  }
  if (options.clean && options.open) {
    return "--clean removes pages, and cannot go with --open";
  }
  return nullptr;
}

platform::Failure Wrong(std::string_view words) {
  return platform::Failure(platform::Step::kBadUsage, words);
}

// Why `text`, given to `option`, is not a number of seconds it takes; none when it is, and
// `seconds` then holds it.
std::optional<std::string> ReadSeconds(const std::optional<std::string>& text, const char* option,
                                       bool above_zero, std::chrono::milliseconds& seconds) {
  if (!text) {
    return std::nullopt;
  }
  const std::optional<std::chrono::milliseconds> read = Seconds(*text);
  if (!read || (above_zero && read->count() == 0)) {
    return std::string(option) + " takes a number of seconds" + (above_zero ? " above 0" : "") +
           ", such as 2 or 0.5, not '" + *text + "'";
  }
  seconds = *read;
  return std::nullopt;
}

// What is wrong with the options of --watch; none when nothing is. With --output, --recursive is
// wrong already.
std::optional<std::string> WatchConflict(ToolOptions& options, const Asked& asked) {
  if (!options.watch) {
    return asked.settle || asked.rescan ? std::optional<std::string>(
                                              "--settle and --rescan go "
                                              "with --watch")
                                        : std::nullopt;
  }
  if (!options.recursive) {
    return "--watch keeps a tree's pages current, and needs --recursive";
  }
  if (options.dry_run) {
    return "--watch keeps writing pages, and cannot go with --dry-run";
  }
  if (options.clean) {
    return "--clean removes pages, and cannot go with --watch";
  }
  if (std::optional<std::string> wrong =
          ReadSeconds(asked.settle, "--settle", false, options.settle)) {
    return wrong;
  }
  return ReadSeconds(asked.rescan, "--rescan", true, options.rescan);
}

}  // namespace

platform::Result<CommandLine> ParseCommandLine(int argc, char** argv) {
  GnuOptions arguments(std::vector<std::string>(argv, argv + argc), "iorsax:unO:hw", kOptions);
  CommandLine line;
  Asked asked;
  for (int got; (got = arguments.Next()) != -1;) {
    if (!Take(got, arguments.Argument(), line.options, asked)) {
      return Wrong(arguments.Error());
    }
  }
  line.options.folders = arguments.Operands();
  if (asked.help || asked.version) {
    line.request = asked.help ? Request::kHelp : Request::kVersion;
    return line;
  }
  const char* conflict = Conflict(line.options);
  const std::optional<std::string> wrong = conflict != nullptr
                                               ? std::optional<std::string>(conflict)
                                               : WatchConflict(line.options, asked);
  if (wrong) {
    return Wrong(*wrong);
  }
  return line;
}

}  // namespace quorvane::tool
