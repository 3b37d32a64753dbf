#include "publish/command_line.h"

#include <vector>  // std::vector

#include "index/program_version.h"
#include "publish/gnu_options.h"

namespace quorvane::tool {

const char kUsage[] =
    "Usage: quorvane-index [OPTION]... [FOLDER]...\n"
    "Writes quorvane_index.html into each FOLDER (default: the current folder), listing its\n"
    "files, and prints each page's path.\n"
    "\n"
    "  -i, --images        show picture files inline under their entries\n"
    "  -o, --open          open each finished page with the default handler (--view is\n"
    "                      another name for it); with -r only the pages of the FOLDERs\n"
    "  -r, --recursive     also index every folder below each FOLDER, each with its own page;\n"
    "                      symbolic links to folders are not followed, the walk stays on the\n"
    "                      FOLDER's file system and leaves out folders whose names start with .\n"
    "  -s, --subfolders    link each page to its sub-folders' pages and up to its parent's\n"
    "  -a, --all           with -r, walk into folders whose names start with . too\n"
    "  -x, --exclude=GLOB  leave out the files and folders whose names match GLOB, as the\n"
    "                      shell matches (repeatable; --exclude='.*' leaves out dot-entries)\n"
    "  -u, --update        leave a page as it is when only its date and seconds would change,\n"
    "                      and do not print its path\n"
    "  -n, --dry-run       print the pages that would be written or removed; change nothing\n"
    "      --clean         remove the pages quorvane wrote instead of writing them\n"
    "  -O, --output=FILE   write the page of the one FOLDER to FILE instead (- for standard\n"
    "                      output); its links stay relative to FOLDER\n"
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Long options may be abbreviated. \"--\" ends the options.\n"
    "The page replaces an earlier quorvane_index.html only once it is complete.\n"
    "\n"
    "Exit status: 0 when every page was written (or removed), 1 when any folder failed (the\n"
    "others are still done), 2 on bad usage.\n";

std::string VersionText() {
  return std::string("quorvane-index (quorvane) ") + kProgramVersionText +
         "\n"
         "Copyright (C) 2026 the quorvane project\n"
         "License MIT: <https://opensource.org/licenses/MIT>\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

namespace {

enum LongOnly { kVersionOption = 256, kCleanOption };

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
    {"help", false, 'h'},
    {"version", false, kVersionOption},
};

// Takes one option found, with its argument; false when it is none of ours.
bool Take(int got, const std::string& argument, ToolOptions& options, bool& help, bool& version) {
  switch (got) {
    case 'i':
      options.images = true;
      break;
    case 'o':
      options.open = true;
      break;
    case 'r':
      options.recursive = true;
      break;
    case 's':
      options.subfolders = true;
      break;
    case 'a':
      options.all = true;
      break;
    case 'x':
      options.excludes.push_back(argument);
      break;
    case 'u':
      options.update = true;
      break;
    case 'n':
      options.dry_run = true;
      break;
    case kCleanOption:
      options.clean = true;
      break;
    case 'O':
      options.output = argument;
      break;
    case 'h':
      help = true;
      break;
    case kVersionOption:
      version = true;
      break;
    default:
      return false;
  }
  return true;
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

}  // namespace

platform::Result<CommandLine> ParseCommandLine(int argc, char** argv) {
  GnuOptions arguments(std::vector<std::string>(argv, argv + argc), "iorsax:unO:h", kOptions);
  CommandLine line;
  bool help = false;
  bool version = false;
  for (int got; (got = arguments.Next()) != -1;) {
    if (!Take(got, arguments.Argument(), line.options, help, version)) {
      return Wrong(arguments.Error());
    }
  }
  line.options.folders = arguments.Operands();
  if (help || version) {
    line.request = help ? Request::kHelp : Request::kVersion;
    return line;
  }
  if (const char* conflict = Conflict(line.options)) {
    return Wrong(conflict);
  }
  return line;
}

}  // namespace quorvane::tool
