// quorvane-index: writes the index page of one folder from the command line, for scripts.

#include <clocale>      // std::setlocale
#include <cstdio>       // std::fputs, std::fprintf
#include <filesystem>   // std::filesystem::absolute
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "index/program_version.h"
#include "platform/default_handler.h"
#include "platform/system_services.h"

namespace {

constexpr char kUsage[] =
    "Usage: quorvane-index [--images] [--view] [FOLDER]\n"
    "Writes quorvane_index.html into FOLDER (default: the current folder), listing its files.\n"
    "\n"
    "  --images   show picture files inline under their entries\n"
    "  --view     open the finished page with the default handler\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Prints the page's path on success. Exit status: 0 done, 1 failed, 2 bad usage.\n";

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

int BadUsage(const std::string& problem) {
  std::fprintf(stderr, "quorvane-index: %s\n%s", problem.c_str(), kUsage);
  return kBadUsage;
}

int Fail(const std::string& description) {
  std::fprintf(stderr, "quorvane-index: %s\n", description.c_str());
  return kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");

  bool show_images = false;
  bool view = false;
  bool options_done = false;
  const char* folder_argument = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!options_done && argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!options_done && argument == "--version") {
      std::printf("quorvane-index %s\n", quorvane::kProgramVersionText);
      return 0;
    }
    if (!options_done && argument == "--images") {
      show_images = true;
    } else if (!options_done && argument == "--view") {
      view = true;
    } else if (!options_done && argument == "--") {
      options_done = true;
    } else if (!options_done && argument.size() > 1 && argument.front() == '-') {
      return BadUsage("unknown option " + std::string(argument));
    } else if (folder_argument != nullptr) {
      return BadUsage("more than one folder given");
    } else {
      folder_argument = argv[i];
    }
  }

  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::absolute(folder_argument != nullptr ? folder_argument : ".", error)
          .lexically_normal();
  if (error) {
    return Fail(error.message());
  }

  try {
    const quorvane::platform::SystemServices system;
    const quorvane::platform::Services& services = system.Get();

    std::string CurPath = folder.native();
    if (CurPath.back() != '/') {
      CurPath += '/';
    }
    std::string CurFile;
    quorvane::FileList file_list(services.regional, services.files);
    const auto outcome =
        quorvane::MakeIndexPage(show_images, CurPath, CurFile, file_list, services);
    if (!outcome.Completed) {
      return Fail(outcome.Description);
    }
    std::printf("%s\n", outcome.OutPath.c_str());
    std::fflush(stdout);
    if (view) {
      quorvane::platform::OpenWithDefaultHandler(outcome.OutPath);
    }
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
  return 0;
}
