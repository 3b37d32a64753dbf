#include "app/command_line.h"

#include <vector>  // std::vector

#include "app/gnu_options.h"
#include "index/program_version.h"
#include "platform/text_output.h"

namespace quorvane::tool {

const char kUsage[] =
    "Usage: quorvane-index [OPTION]... [FOLDER]...\n"
    "Writes quorvane_index.html into each FOLDER (default: the current folder), listing its\n"
    "files, and prints each page's path.\n"
    "\n"
    "  -i, --images     show picture files inline under their entries\n"
    "  -o, --open       open each finished page with the default handler (--view is another\n"
    "                   name for it)\n"
    "  -r, --recursive  also index every folder below each FOLDER, each with its own page;\n"
    "                   symbolic links to folders are not followed and the walk stays on the\n"
    "                   FOLDER's file system\n"
    "  -h, --help       show this help and exit\n"
    "      --version    show the version and exit\n"
    "\n"
    "Long options may be abbreviated. \"--\" ends the options.\n"
    "The page replaces an earlier quorvane_index.html only once it is complete.\n"
    "\n"
    "Exit status: 0 when every page was written, 1 when any folder failed (the others are\n"
    "still done), 2 on bad usage.\n";

std::string VersionText() {
  return std::string("quorvane-index (quorvane) ") + kProgramVersionText +
         "\n"
         "Copyright (C) 2026 the quorvane project\n"
         "License MIT: <https://opensource.org/licenses/MIT>\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

namespace {

enum LongOnly { kVersionOption = 256 };

constexpr GnuOptions::Long kOptions[] = {
    {"images", false, 'i'},    {"open", false, 'o'}, {"view", false, 'o'},
    {"recursive", false, 'r'}, {"help", false, 'h'}, {"version", false, kVersionOption},
};

}  // namespace

Request ParseCommandLine(int argc, char** argv, ToolOptions& options) {
  GnuOptions arguments(std::vector<std::string>(argv, argv + argc), "iorh", kOptions);
  bool help = false;
  bool version = false;
  for (int got; (got = arguments.Next()) != -1;) {
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
      case 'h':
        help = true;
        break;
      case kVersionOption:
        version = true;
        break;
      default:
        platform::WriteText(platform::StandardStream::kError,
                            "quorvane-index: " + arguments.Error() + "\n");
        return Request::kBadUsage;
    }
  }
  options.folders = arguments.Operands();
  if (help) {
    return Request::kHelp;
  }
  return version ? Request::kVersion : Request::kRun;
}

}  // namespace quorvane::tool
