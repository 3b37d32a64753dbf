// Runs the built quorvane-index as a user would: arguments, locale and all.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <clocale>
#include <thread>

#include "tests/support/temp_folder.h"

namespace {

using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the tool in `folder` with `arguments` and the variables `environment` ("NAME=value").
ToolResult RunTool(const std::string& folder, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment = {}) {
  const TempFolder capture;  // apart from the folder listed, so as not to be listed
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(folder.c_str()) != 0) {
      _exit(127);
    }
    for (const auto& variable : environment) {
      putenv(const_cast<char*>(variable.c_str()));
    }
    std::vector<char*> argv{const_cast<char*>(QUORVANE_INDEX_TOOL)};
    for (const auto& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ToolResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(QuorvaneIndexToolTest, AnswersUsageHelpAndVersion) {
  const TempFolder scratch;
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out_start;
    std::string err_part;
  } cases[] = {
      {{"--version"}, 0, "quorvane-index 1.0.6\n", ""},
      {{"--help"}, 0, "Usage: quorvane-index [--images] [--view] [FOLDER]\n", ""},
      {{"--bogus"}, 2, "", "quorvane-index: unknown option --bogus\nUsage: quorvane-index"},
      {{"one", "two"}, 2, "", "quorvane-index: more than one folder given\nUsage:"},
  };
  for (const auto& c : cases) {
    const ToolResult result = RunTool(scratch.Path(), c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << c.arguments[0];
    EXPECT_TRUE(Contains(result.err, c.err_part)) << result.err;
  }
}

TEST(QuorvaneIndexToolTest, WritesThePageOfTheFolderMadeAbsoluteAndNormal) {
  const TempFolder scratch;
  const std::string sub = scratch.AddFolder("sub");
  scratch.AddFile("sub/sea.jpg", 10);
  const std::string page = sub + "/quorvane_index.html";
  const struct {
    std::string cwd;
    std::vector<std::string> arguments;
  } cases[] = {
      {scratch.Path(), {"--images", "sub/../sub"}},
      {sub, {"--images"}},
      {scratch.Path(), {"--", sub + "/"}},
  };
  for (const auto& c : cases) {
    unlink(page.c_str());
    const ToolResult result = RunTool(c.cwd, c.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, page + "\n");
    EXPECT_EQ(result.err, "");
  }
  EXPECT_TRUE(Contains(ReadFile(page), "<head><title>" + sub + "/</title></head>\r\n"));
  EXPECT_FALSE(Contains(ReadFile(page), "<img"));  // the last run was without --images
}

TEST(QuorvaneIndexToolTest, FailuresGoToStandardErrorWithStatusOne) {
  const TempFolder scratch;
  const std::string blocked = scratch.AddFolder("blocked");
  scratch.AddFile("blocked/a.txt");
  scratch.AddFolder("blocked/quorvane_index.html");
  const struct {
    std::string folder;
    std::string err;
  } cases[] = {
      {scratch / "missing", "quorvane-index: Cannot read the folder " + (scratch / "missing/") +
                                ": No such file or directory\n"},
      {blocked, "quorvane-index: Cannot write the page " + blocked +
                    "/quorvane_index.html: Is a directory\n"},
  };
  for (const auto& c : cases) {
    const ToolResult result = RunTool(scratch.Path(), {c.folder});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
  }
}

TEST(QuorvaneIndexToolTest, ViewHandsTheFinishedPageToTheDefaultHandler) {
  const TempFolder scratch;
  scratch.AddFile("a.txt");
  const std::string bin = scratch.AddFolder("bin");
  const std::string record = scratch / "opened";
  const std::string opener = bin + "/xdg-open";
  std::FILE* script = std::fopen(opener.c_str(), "w");
  ASSERT_NE(script, nullptr);
  std::fprintf(script, "#!/bin/sh\nprintf '%%s' \"$1\" > '%s.part' && mv '%s.part' '%s'\n",
               record.c_str(), record.c_str(), record.c_str());
  std::fclose(script);
  chmod(opener.c_str(), 0755);

  const ToolResult result = RunTool(scratch.Path(), {"--view"}, {"PATH=" + bin + ":/usr/bin:/bin"});
  ASSERT_EQ(result.status, 0) << result.err;
  for (int i = 0; i < 200 && !quorvane::testing::Exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  EXPECT_EQ(ReadFile(record), scratch / "quorvane_index.html");
}

// What the C library itself makes of `locale`: grouped 1234567, and the date and time of `when`.
struct LibraryTexts {
  std::string grouped;
  std::string date_time;
  std::string decimal_separator;
};

LibraryTexts TextsOf(locale_t locale, std::time_t when) {
  LibraryTexts texts;
  const locale_t previous = uselocale(locale);
  char buffer[256];
  const std::string grouping_format = "%'d";  // a flag of POSIX printf that C++ does not know
  std::snprintf(buffer, sizeof buffer, grouping_format.c_str(), 1234567);
  texts.grouped = buffer;
  std::tm local{};
  localtime_r(&when, &local);
  std::strftime(buffer, sizeof buffer, nl_langinfo(D_FMT), &local);
  texts.date_time = buffer;
  std::strftime(buffer, sizeof buffer, nl_langinfo(T_FMT), &local);
  texts.date_time += std::string(" ") + buffer;
  texts.decimal_separator = nl_langinfo(RADIXCHAR);
  uselocale(previous);
  return texts;
}

TEST(QuorvaneIndexToolTest, PageFollowsTheUsersLocale) {
  const struct {
    const char* name;
    const char* grouped;
  } locales[] = {{"en_US.UTF-8", "1,234,567"}, {"it_IT.UTF-8", "1.234.567"}};
  for (const auto& l : locales) {
    const locale_t locale = newlocale(LC_ALL_MASK, l.name, nullptr);
    ASSERT_NE(locale, nullptr) << l.name << " is not installed; scripts/setup generates it";
    const TempFolder scratch;
    std::tm modified_tm{};
    modified_tm.tm_year = 102;
    modified_tm.tm_mon = 7;
    modified_tm.tm_mday = 21;
    modified_tm.tm_hour = 23;
    modified_tm.tm_min = 25;
    modified_tm.tm_sec = 18;
    modified_tm.tm_isdst = -1;
    const std::time_t modified = std::mktime(&modified_tm);
    scratch.AddFile("big.bin", std::int64_t{1234567} * 1024, modified);
    const LibraryTexts expected = TextsOf(locale, modified);
    freelocale(locale);
    EXPECT_EQ(expected.grouped, l.grouped);

    const ToolResult result = RunTool(scratch.Path(), {}, {std::string("LC_ALL=") + l.name});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string page = ReadFile(scratch / "quorvane_index.html");
    EXPECT_TRUE(Contains(page, "<p><a href=\"big.bin\">big.bin</a> (" + expected.date_time + ", " +
                                   expected.grouped + "k)\r\n"))
        << l.name << "\n"
        << page;
    EXPECT_TRUE(Contains(page, "<b>1 object(s) :: " + expected.grouped + "k</b>\r\n")) << l.name;
    EXPECT_TRUE(Contains(page, "page printed in 0" + expected.decimal_separator)) << l.name;
  }
}

}  // namespace
