// quorvane-index on one folder: its usage, its pages, its failures, its terminal and its locales.

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <thread>
#include <tuple>

#include "tests/support/stand_in_opener.h"
#include "tool_runs.h"

namespace quorvane::testing {
namespace {

TEST(QuorvaneIndexToolTest, AnswersHelpVersionAndBadUsageTheGnuWay) {
  const TempFolder scratch;
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out_start;
    std::string err;
  } cases[] = {
      {{"--version"}, 0, kVersionLine + "Copyright (C) 2026", ""},
      {{"--vers"}, 0, kVersionLine, ""},
      {{"-h"}, 0, "Usage: quorvane-index [OPTION]... [FOLDER]...\n", ""},
      {{"--bogus"},
       2,
       "",
       std::string("quorvane-index: unrecognized option '--bogus'\n") + kTryHelp},
      {{"-iz"}, 2, "", std::string("quorvane-index: invalid option -- 'z'\n") + kTryHelp},
      {{"-x"},
       2,
       "",
       std::string("quorvane-index: option requires an argument -- 'x'\n") + kTryHelp},
      {{"-rO", "page.html"},
       2,
       "",
       std::string("quorvane-index: --output writes one page, and cannot go with --recursive\n") +
           kTryHelp},
      {{"--output="}, 2, "", std::string("quorvane-index: --output needs a FILE\n") + kTryHelp},
      {{"-O", "/dev/null"},
       1,
       "",
       "quorvane-index: The page /dev/null is not a regular file; nothing was written\n"},
      {{"--cl", "--view"},
       2,
       "",
       std::string("quorvane-index: --clean removes pages, and cannot go with --open\n") +
           kTryHelp},
      {{"--v"},
       2,
       "",
       std::string("quorvane-index: option '--v' is ambiguous; possibilities: '--view' "
                   "'--version'\n") +
           kTryHelp},
      {{"--images=yes"},
       2,
       "",
       std::string("quorvane-index: option '--images' doesn't allow an argument\n") + kTryHelp},
      {{"-w"},
       2,
       "",
       std::string(
           "quorvane-index: --watch keeps a tree's pages current, and needs --recursive\n") +
           kTryHelp},
      {{"--watch", "-r", "--clean"},
       2,
       "",
       std::string("quorvane-index: --clean removes pages, and cannot go with --watch\n") +
           kTryHelp},
      {{"-r", "--settle=2"},
       2,
       "",
       std::string("quorvane-index: --settle and --rescan go with --watch\n") + kTryHelp},
      {{"-rw", "--rescan=0"},
       2,
       "",
       std::string("quorvane-index: --rescan takes a number of seconds above 0, such as 2 or 0.5, "
                   "not '0'\n") +
           kTryHelp},
  };
  for (const auto& c : cases) {
    const ToolResult result = RunTool({scratch.Path(), c.arguments});
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << c.arguments[0];
    EXPECT_EQ(result.err, c.err) << c.arguments[0];
  }
  EXPECT_EQ(Entries(scratch.Path()), std::vector<std::string>{});
}

TEST(QuorvaneIndexToolTest, WritesThePageOfEachFolderMadeAbsoluteAndNormal) {
  const TempFolder scratch;
  const std::string sub = scratch.AddFolder("sub");
  const std::string other = scratch.AddFolder("-other");
  scratch.AddFile("sub/sea.jpg", 10);
  const std::string page = sub + "/quorvane_index.html";
  const std::string other_page = other + "/quorvane_index.html";
  // ".." goes up from where the link leads, as the system takes it, not back to the link's folder.
  scratch.AddFolder("sub/inner");
  ASSERT_EQ(symlink((sub + "/inner").c_str(), (scratch / "link").c_str()), 0);
  const struct {
    std::string cwd;
    std::vector<std::string> arguments;
    std::string out;
    bool images;
  } cases[] = {
      {scratch.Path(), {"--images", "sub/../sub"}, page + "\n", true},
      {sub, {"-i"}, page + "\n", true},
      {scratch.Path(), {"sub", "--ima"}, page + "\n", true},
      {scratch.Path(), {"--", sub + "/", "-other"}, page + "\n" + other_page + "\n", false},
      {scratch.Path(), {"link/.."}, page + "\n", false},
      {sub + "/inner", {"-i", "../../link/.."}, page + "\n", true},
  };
  for (const auto& c : cases) {
    unlink(page.c_str());
    const ToolResult result = RunTool({c.cwd, c.arguments});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(Contains(ReadFile(page), "<head><title>" + sub + "/</title></head>\r\n"));
    EXPECT_EQ(Contains(ReadFile(page), "<img"), c.images);
  }
}

TEST(QuorvaneIndexToolTest, FailuresAreReportedAndTheOtherFoldersStillDone) {
  const TempFolder scratch;
  const std::string blocked = scratch.AddFolder("blocked");
  scratch.AddFile("blocked/a.txt");
  scratch.AddFolder("blocked/quorvane_index.html");
  const std::string fine = scratch.AddFolder("fine");
  const std::string file = scratch.AddFile("notes.txt");
  const ToolResult result =
      RunTool({scratch.Path(), {"missing", "", blocked, "fine", "notes.txt", "missing/../fine"}});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, fine + "/quorvane_index.html\n");
  EXPECT_EQ(result.err, "quorvane-index: Cannot read the folder " + (scratch / "missing/") +
                            ": No such file or directory\n"
                            "quorvane-index: Cannot read the folder '': No such file or "
                            "directory\n"
                            "quorvane-index: Cannot write the page " +
                            blocked +
                            "/quorvane_index.html: Is a directory\n"
                            "quorvane-index: Cannot read the folder " +
                            file +
                            ": Not a directory\n"
                            "quorvane-index: Cannot read the folder " +
                            (scratch / "missing/..") + ": No such file or directory\n");
}

TEST(QuorvaneIndexToolTest, OutputThatCannotBeWrittenIsAFailure) {
  const TempFolder scratch;
  const std::string page = scratch.AddFile("quorvane_index.html", 3);
  for (int i = 0; i < 300; ++i) {
    scratch.AddFile("a file with a long name, number " + std::to_string(i));
  }
  // A page over the file-size limit is a write that fails, not a silent end by SIGXFSZ; then a
  // full disk under standard output.
  const ToolResult limited = RunTool({scratch.Path(), {}, {}, {}, 8192});
  EXPECT_EQ(limited.status, 1);
  EXPECT_EQ(limited.err, "quorvane-index: Cannot write the page " + page + ": File too large\n");
  EXPECT_EQ(ReadFile(page), std::string(3, '\0'));
  EXPECT_EQ(Entries(scratch.Path()).size(), 301u);
  const ToolResult full = RunTool({scratch.Path(), {}, {}, "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err,
            "quorvane-index: Cannot write the standard output: No space left on device\n");

  // A reader gone (| head) stops the run quietly, as it stops any writer; where SIGPIPE was
  // ignored from the start, the write fails and says so.
  for (const bool ignored : {false, true}) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    close(pipe_fds[0]);
    const TempFolder capture;
    const pid_t child = fork();
    if (child == 0) {
      signal(SIGPIPE, ignored ? SIG_IGN : SIG_DFL);
      const int err = open((capture / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(pipe_fds[1], 1);
      dup2(err, 2);
      ExecTool({scratch.Path(), {"--help"}});
    }
    close(pipe_fds[1]);
    EXPECT_EQ(WaitFor(child), ignored ? 1 : 128 + SIGPIPE);
    EXPECT_EQ(ReadFile(capture / "err"),
              ignored ? "quorvane-index: Cannot write the standard output: Broken pipe\n" : "");
  }
}

// Started with a standard stream closed, the tool never lets a page take its number: every page
// is whole, and old pages linked elsewhere keep their text.
TEST(QuorvaneIndexToolTest, ClosedStandardStreamsNeverReachAPage) {
  const struct {
    int closed;
    const char* err;
  } cases[] = {
      {0, ""},
      {1, "quorvane-index: Cannot write the standard output: Bad file descriptor\n"},
      {2, ""},
  };
  for (const auto& c : cases) {
    const TempFolder scratch;
    const std::string top = scratch.AddFolder("top");
    const std::string kept = scratch.AddFolder("kept");
    // One folder under the top, so that the top's own descriptor is let go early in the walk and
    // its number is free while the pages below are written.
    std::string folder = scratch.AddFolder("top/only");
    std::vector<std::string> pages = {top + "/quorvane_index.html"};
    for (int i = 0; i < 24; ++i) {
      if (i % 8 == 0) {
        folder = scratch.AddFolder("top/only/" + std::to_string(i));
      } else {
        folder += "/" + std::to_string(i);
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
      }
      for (int file = 0; file < 20; ++file) {
        WriteFile(folder + "/file " + std::to_string(file), "");
      }
      pages.push_back(folder + "/quorvane_index.html");
      WriteFile(pages.back(), "old");
      ASSERT_EQ(link(pages.back().c_str(), (kept + "/" + std::to_string(i)).c_str()), 0);
    }
    scratch.AddFolder("top/blocked");
    scratch.AddFolder("top/blocked/quorvane_index.html");  // a failure, told on standard error

    const ToolResult result =
        RunTool({scratch.Path(), {"-r", "top"}, {}, {}, RLIM_INFINITY, {c.closed}});
    EXPECT_EQ(result.status, 1) << c.closed;
    const std::string blocked = "quorvane-index: Cannot write the page " + top +
                                "/blocked/quorvane_index.html: Is a directory\n";
    EXPECT_EQ(result.err, c.closed == 2 ? "" : blocked + c.err) << c.closed;
    for (const std::string& page : pages) {
      const std::string text = ReadFile(page);
      EXPECT_EQ(text.find("<html>"), 0u) << c.closed << page << "\n" << text;
      EXPECT_EQ(text.find("</html>\r\n"), text.size() - 9) << c.closed << page;
      EXPECT_FALSE(Contains(text, "quorvane_index.html\n")) << c.closed << page;
    }
    for (int i = 0; i < 24; ++i) {
      EXPECT_EQ(ReadFile(kept + "/" + std::to_string(i)), "old") << c.closed;
    }
  }
}

// Where the working folder was removed, a new folder at its path is another folder: nothing is
// written there.
TEST(QuorvaneIndexToolTest, RemovedWorkingFolderIsAFailure) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"."}}) {
    const TempFolder scratch;
    const std::string gone = scratch.AddFolder("gone");
    const ToolResult result =
        RunTool({gone, arguments, {"PWD=" + gone}, {}, RLIM_INFINITY, {}, true});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quorvane-index: Cannot read the folder .: No such file or directory\n");
    EXPECT_EQ(Entries(gone), std::vector<std::string>{});
  }
}

TEST(QuorvaneIndexToolTest, OnATerminalNamesAreEscapedAndOtherwiseKept) {
  const TempFolder scratch;
  const std::string odd = "red \033[31m\\ new\nline";
  const std::string folder = scratch.AddFolder(odd);
  const std::string missing = scratch / "gone\a";
  const ToolRun run{scratch.Path(), {odd, "gone\a"}};

  const ToolResult terminal = RunOnTerminal(run);
  EXPECT_EQ(terminal.status, 1);
  const std::string shown = scratch.Path() + "/red \\033[31m\\\\ new\\nline/quorvane_index.html";
  EXPECT_TRUE(Contains(terminal.out, shown)) << terminal.out;
  EXPECT_TRUE(Contains(terminal.out, "Cannot read the folder " + scratch.Path() + "/gone\\a/"));
  EXPECT_FALSE(Contains(terminal.out, "\033")) << terminal.out;

  // Into a file they are the file system's bytes, for scripts; no progress line either.
  const ToolResult file = RunTool(run);
  EXPECT_EQ(file.out, folder + "/quorvane_index.html\n");
  EXPECT_EQ(file.err,
            "quorvane-index: Cannot read the folder " + missing + "/: No such file or directory\n");
}

TEST(QuorvaneIndexToolTest, OpenHandsEachFinishedPageToTheDefaultHandler) {
  const TempFolder scratch;
  const std::string one = scratch.AddFolder("one");
  const std::string two = scratch.AddFolder("two");
  const StandInOpener opener;
  const ToolResult result = RunTool({scratch.Path(),
                                     {"--view", "one", "-o", "two"},
                                     {"PATH=" + opener.Bin() + ":/usr/bin:/bin"}});
  ASSERT_EQ(result.status, 0) << result.err;
  std::vector<std::string> opened = opener.WaitForOpened(2);
  std::sort(opened.begin(), opened.end());
  EXPECT_EQ(opened,
            (std::vector<std::string>{one + "/quorvane_index.html", two + "/quorvane_index.html"}));

  // Through a tree, only the pages of the folders named.
  scratch.AddFolder("one/below");
  const StandInOpener tree_opener;
  const ToolResult tree =
      RunTool({scratch.Path(), {"-ro", "one"}, {"PATH=" + tree_opener.Bin() + ":/usr/bin:/bin"}});
  ASSERT_EQ(tree.status, 0) << tree.err;
  EXPECT_EQ(SortedLines(tree.out).size(), 2u);
  tree_opener.WaitForOpened(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // time for any other to show
  EXPECT_EQ(tree_opener.Opened(), std::vector<std::string>{one + "/quorvane_index.html"});

  // Where no program could open it, as xdg-open says, the page is written and the run says so.
  const StandInOpener refusing("exit 3");
  const ToolResult refused =
      RunTool({scratch.Path(), {"-o", "two"}, {"PATH=" + refusing.Bin() + ":/usr/bin:/bin"}});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, two + "/quorvane_index.html\n");
  EXPECT_EQ(refused.err,
            "quorvane-index: No program could open the page " + two + "/quorvane_index.html\n");
}

// The page in three locales, as the C library of Debian 12 writes their dates and numbers.
TEST(QuorvaneIndexToolTest, PageFollowsTheUsersLocale) {
  const struct {
    const char* name;
    const char* entry;
    const char* total;
    const char* seconds;
  } locales[] = {
      {"en_US.UTF-8", "(08/21/2002 11:25:18 PM, 1,234,567k)", "1,234,567k", "0."},
      {"it_IT.UTF-8", "(21/08/2002 23:25:18, 1.234.567k)", "1.234.567k", "0,"},
      {"C.UTF-8", "(08/21/02 23:25:18, 1234567k)", "1234567k", "0."},
  };
  const std::time_t modified = 1029972318;  // 21 August 2002, 23:25:18 UTC
  for (const auto& l : locales) {
    const TempFolder scratch;
    scratch.AddFile("big.bin", std::int64_t{1234567} * 1024, modified);
    const ToolResult result =
        RunTool({scratch.Path(), {}, {std::string("LC_ALL=") + l.name, "TZ=UTC"}});
    ASSERT_EQ(result.status, 0) << result.err << l.name << " (scripts/setup generates it)";
    const std::string page = ReadFile(scratch / "quorvane_index.html");
    EXPECT_TRUE(
        Contains(page, std::string("<p><a href=\"big.bin\">big.bin</a> ") + l.entry + "\r\n"))
        << l.name << "\n"
        << page;
    EXPECT_TRUE(Contains(page, std::string("<b>1 object(s) :: ") + l.total + "</b>\r\n"));
    EXPECT_TRUE(Contains(page, std::string("page printed in ") + l.seconds)) << l.name;
  }
}

}  // namespace
}  // namespace quorvane::testing
