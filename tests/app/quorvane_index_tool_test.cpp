// Runs the built quorvane-index as a user would: arguments, locale, terminal and all.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>
#include <tuple>

#include "publishing_cases.h"
#include "tests/support/in_child.h"
#include "tests/support/scratch_mount.h"
#include "tests/support/stand_in_opener.h"
#include "tests/support/temp_folder.h"

namespace {

using quorvane::testing::Contains;
using quorvane::testing::Edit;
using quorvane::testing::Entries;
using quorvane::testing::Exists;
using quorvane::testing::ReadFile;
using quorvane::testing::ScratchMount;
using quorvane::testing::SortedLines;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

struct ToolRun {
  std::string cwd;
  std::vector<std::string> arguments;
  std::vector<std::string> environment = {};  // "NAME=value"
  std::string out_to = {};                    // a file for standard output instead of a capture
  rlim_t file_limit = RLIM_INFINITY;          // the largest file the tool may write
  std::vector<int> closed = {};               // standard streams the tool starts without
  bool replace_cwd = false;  // the working folder is removed, and a new one made at its path
  rlim_t open_files = 0;     // the most descriptors open at once; 0: as it is
  bool as_nobody = false;    // run as the user and group nobody
  rlim_t processes = 0;      // as nobody, the most processes and threads at once; 0: as it is
};

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

[[noreturn]] void ExecTool(const ToolRun& run) {
  if (chdir(run.cwd.c_str()) != 0 ||
      (run.replace_cwd && (rmdir(run.cwd.c_str()) != 0 || mkdir(run.cwd.c_str(), 0755) != 0))) {
    _exit(127);
  }
  for (const int fd : run.closed) {
    close(fd);
  }
  for (const auto& variable : run.environment) {
    putenv(const_cast<char*>(variable.c_str()));
  }
  const rlimit limit{run.file_limit, run.file_limit};
  setrlimit(RLIMIT_FSIZE, &limit);
  const rlimit open_files{run.open_files, run.open_files};
  if (run.open_files != 0 && setrlimit(RLIMIT_NOFILE, &open_files) != 0) {
    _exit(127);
  }
  if (run.as_nobody && !quorvane::testing::BecomeNobody()) {
    _exit(127);
  }
  const rlimit processes{run.processes, run.processes};
  if (run.processes != 0 && setrlimit(RLIMIT_NPROC, &processes) != 0) {
    _exit(127);
  }
  std::vector<char*> argv{const_cast<char*>(QUORVANE_INDEX_TOOL)};
  for (const auto& argument : run.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

int WaitFor(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs the tool with standard output and error going to files (not a terminal).
ToolResult RunTool(const ToolRun& run) {
  const TempFolder capture;  // apart from the folder listed, so as not to be listed
  const std::string out_path = run.out_to.empty() ? capture / "out" : run.out_to;
  const std::string err_path = capture / "err";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(127);
    }
    ExecTool(run);
  }
  ToolResult result;
  result.status = WaitFor(child);
  result.out = run.out_to.empty() ? ReadFile(out_path) : "";
  result.err = ReadFile(err_path);
  return result;
}

// Runs the tool on a terminal of its own; returns all it wrote there.
ToolResult RunOnTerminal(const ToolRun& run) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    ExecTool(run);
  }
  ToolResult result;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) {
    result.out.append(buffer, static_cast<std::size_t>(got));
  }
  close(terminal);
  result.status = WaitFor(child);
  return result;
}

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// The pages under `root`, by their paths from it, sorted.
std::vector<std::string> PagesUnder(const std::string& root) {
  std::vector<std::string> pages;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.path().filename() == "quorvane_index.html" && !entry.is_directory()) {
      pages.push_back(entry.path().lexically_relative(root).string());
    }
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

// The version, from the build: its one home is the project's.
const std::string kVersionLine =
    std::string("quorvane-index (quorvane) ") + QUORVANE_VERSION + "\n";
const std::string kMadeBy = std::string("quorvane ") + QUORVANE_VERSION;

constexpr char kTryHelp[] = "Try 'quorvane-index --help' for more information.\n";

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

  // A reader that has gone: the closed pipe is a failure too.
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  close(pipe_fds[0]);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipe_fds[1], 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    ExecTool({scratch.Path(), {"--help"}});
  }
  close(pipe_fds[1]);
  EXPECT_EQ(WaitFor(child), 1);
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

TEST(QuorvaneIndexToolTest, RecursiveGivesEveryFolderOnTheVolumeItsOwnPage) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  const std::string outside = scratch.AddFolder("outside");
  for (const char* folder :
       {"top/a", "top/a/deep", "top/.hidden", "top/b", "top/b/quorvane_index.html"}) {
    scratch.AddFolder(folder);
  }
  scratch.AddFile("top/a/deep/file.txt", 2048);
  ASSERT_EQ(symlink(outside.c_str(), (top + "/link-to-outside").c_str()), 0);

  const ToolResult result = RunTool({scratch.Path(), {"-r", "top"}});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "quorvane-index: Cannot write the page " + top +
                            "/b/quorvane_index.html: Is a directory\n");
  const std::vector<std::string> lines = SortedLines(result.out);
  // Not .hidden: a walk leaves dot-folders alone unless asked (--all).
  const std::vector<std::string> pages = {
      top + "/a/deep/quorvane_index.html", top + "/a/quorvane_index.html",
      top + "/b/quorvane_index.html/quorvane_index.html", top + "/quorvane_index.html"};
  EXPECT_EQ(lines, pages);
  EXPECT_TRUE(Contains(ReadFile(top + "/a/deep/quorvane_index.html"), "file.txt</a>"));
  EXPECT_EQ(Entries(outside), std::vector<std::string>{});  // the symlinked folder is not walked
}

TEST(QuorvaneIndexToolTest, FolderThatCannotBeEnteredIsReportedOnce) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  const std::string open = scratch.AddFolder("top/open");
  const std::string locked = scratch.AddFolder("top/locked");  // names readable, not enterable
  scratch.AddFile("top/locked/file.txt");
  scratch.AddFolder("top/locked/below");
  for (const auto& [path, mode] :
       {std::pair{scratch.Path(), 0755}, {top, 0777}, {open, 0777}, {locked, 0744}}) {
    ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
  }
  ToolRun run{scratch.Path(), {"-r", "top"}};
  run.as_nobody = true;
  const ToolResult result = RunTool(run);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "quorvane-index: Cannot write the page " + locked +
                            "/quorvane_index.html: Permission denied\n");
  EXPECT_EQ(SortedLines(result.out), (std::vector<std::string>{open + "/quorvane_index.html",
                                                               top + "/quorvane_index.html"}));
}

// The same small tree published with the options that choose what goes on the pages, where
// they go and whether they are written at all.
TEST(QuorvaneIndexToolTest, OptionsChooseWhatIsPublishedAndWhere) {
  quorvane::testing::CheckPublishingOptions(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool({folder, arguments});
      },
      [](const std::string& root) { return PagesUnder(root); });

  // Standard output is the page itself, then.
  const TempFolder scratch;
  scratch.AddFile("a.txt");
  const ToolResult result = RunTool({scratch.Path(), {"--output=-", "-s"}});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.substr(0, 22 + scratch.Path().size()),
            "<html>\r\n<head><title>" + scratch.Path() + "/");
  EXPECT_TRUE(Contains(result.out, "<p><a href=\"a.txt\">a.txt</a>"));
  EXPECT_EQ(result.out.substr(result.out.size() - 9), "</html>\r\n");
  EXPECT_EQ(Entries(scratch.Path()), std::vector<std::string>{"a.txt"});
}

TEST(QuorvaneIndexToolTest, CleanRemovesOnlyPagesQuorvaneWrote) {
  const struct {
    const char* name;
    void (*make)(const TempFolder& folder);  // makes quorvane_index.html in the folder
    bool as_nobody;
    const char* words;  // after the page's path; none when it is removed
  } cases[] = {
      {"a page of ours",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {"-s"}}).status, 0);
       },
       false, nullptr},
      {"one of another version",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         Edit(f / "quorvane_index.html", kMadeBy + " from <a href=\"",
              "quorvane 0.9 from <a href=\"https://example.org/\">x</a><!--");
       },
       false, nullptr},
      {"one with a line added at the end",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         Edit(f / "quorvane_index.html", "</html>\r\n", "</html>\r\n<!-- mine -->\r\n");
       },
       false, " is not a page quorvane wrote; it was kept"},
      {"a page of someone else's",
       [](const TempFolder& f) { WriteFile(f / "quorvane_index.html", "<html>mine</html>\n"); },
       false, " is not a page quorvane wrote; it was kept"},
      {"an empty file", [](const TempFolder& f) { f.AddFile("quorvane_index.html"); }, false,
       " is not a page quorvane wrote; it was kept"},
      {"a symlink to a page of ours",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {"-O", "real.html"}}).status, 0);
         ASSERT_EQ(symlink("real.html", (f / "quorvane_index.html").c_str()), 0);
       },
       false, " is not a page quorvane wrote; it was kept"},
      {"a folder", [](const TempFolder& f) { f.AddFolder("quorvane_index.html"); }, false,
       " is not a page quorvane wrote; it was kept"},
      {"a page of ours the user may not write, in a folder they may",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 0777), 0);
       },
       true, ": Permission denied"},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    folder.AddFile("a.txt");
    c.make(folder);
    const std::string page = folder / "quorvane_index.html";
    const std::string before = ReadFile(page);
    ToolRun run{folder.Path(), {"--clean"}};
    run.as_nobody = c.as_nobody;
    const ToolResult dry = RunTool({folder.Path(), {"--clean", "--dry-run"}});
    EXPECT_TRUE(Exists(page)) << c.name;
    const ToolResult result = RunTool(run);
    if (c.words == nullptr) {
      EXPECT_EQ(dry.out, page + "\n") << c.name;
      EXPECT_EQ(result.status, 0) << c.name << result.err;
      EXPECT_EQ(result.out, page + "\n") << c.name;
      EXPECT_FALSE(Exists(page)) << c.name;
    } else {
      const std::string step = c.as_nobody ? "Cannot remove the page " : "The file ";
      EXPECT_EQ(result.status, 1) << c.name;
      EXPECT_EQ(result.err, "quorvane-index: " + step + page + c.words + "\n") << c.name;
      EXPECT_EQ(result.out, "") << c.name;
      EXPECT_TRUE(Exists(page)) << c.name;
      EXPECT_EQ(ReadFile(page), before) << c.name;
    }
    EXPECT_TRUE(Exists(folder / "a.txt")) << c.name;
  }
}

TEST(QuorvaneIndexToolTest, UpdateLeavesPagesThatWouldNotChange) {
  quorvane::testing::CheckUpdateLeavesUnchangedPages(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool({folder, arguments});
      },
      [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
        return std::tuple{st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
      });
}

// Gives this process a mount namespace of its own, where mounts neither come from nor go to the
// machine's; as a user without the right, inside a user namespace. "" or why it cannot.
std::string PrivateMounts() {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWNS) != 0) {
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      return std::string("unshare: ") + std::strerror(errno);
    }
    WriteFile("/proc/self/setgroups", "deny");
    WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
    WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return std::string("mount --make-rprivate /: ") + std::strerror(errno);
  }
  return "";
}

bool MountTmpfs(const std::string& where) {
  return mount("tmpfs", where.c_str(), "tmpfs", 0, "size=1m") == 0;
}

// File systems mounted on sub-folders, before the walk lists them and while it goes on, are
// never entered: no page is written inside any of them.
TEST(QuorvaneIndexToolTest, WalkStaysOnTheFoldersMount) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  const std::string before = scratch.AddFolder("top/before");
  std::vector<std::string> during;
  for (int i = 0; i < 400; ++i) {
    during.push_back(scratch.AddFolder("top/f" + std::to_string(i)));
    scratch.AddFile("top/f" + std::to_string(i) + "/file.txt");
  }
  const TempFolder capture;
  const std::string result = quorvane::testing::InChild([&]() -> std::string {
    if (const std::string unavailable = PrivateMounts(); !unavailable.empty()) {
      return "skip " + unavailable;
    }
    if (!MountTmpfs(before)) {
      return std::string("skip mount tmpfs: ") + std::strerror(errno);
    }
    WriteFile(before + "/inside.txt", "");
    // Rounds that mount a little later each time, so that some mounts come after the walk has
    // listed the folders and before it opens them.
    int inside = 0;
    int status = 0;
    for (const int delay_ms : {0, 10, 20, 40, 80}) {
      const pid_t tool = fork();
      if (tool == 0) {
        const int out = open((capture / "out").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, 1);
        ExecTool({scratch.Path(), {"-r", "top"}});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      for (const std::string& folder : during) {
        MountTmpfs(folder);
      }
      status = std::max(status, WaitFor(tool));
      // Only here are the mounts there to look in.
      for (const std::string& folder : during) {
        inside += Exists(folder + "/quorvane_index.html") ? 1 : 0;
        umount2(folder.c_str(), MNT_DETACH);
      }
    }
    inside += Exists(before + "/quorvane_index.html") ? 1 : 0;
    return "status " + std::to_string(status) + ", pages inside " + std::to_string(inside);
  });
  if (result.rfind("skip ", 0) == 0) {
    GTEST_SKIP() << "no private mount namespace for the test: " << result.substr(5);
  }
  EXPECT_EQ(result, "status 0, pages inside 0");
  // Every page it reported is where it said, on the folder's own file system.
  const std::vector<std::string> printed = SortedLines(ReadFile(capture / "out"));
  EXPECT_GE(printed.size(), 1u);
  for (const std::string& page : printed) {
    EXPECT_TRUE(Exists(page)) << page;
  }
  EXPECT_FALSE(Exists(before + "/quorvane_index.html"));
}

// With no thread to be had (the user at the limit of processes), the tool does all its work on
// its own: every page of a tree, each with all its files' facts.
TEST(QuorvaneIndexToolTest, WithoutThreadsEveryPageIsStillWritten) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  scratch.AddFolder("top/a");
  for (int i = 0; i < 100; ++i) {
    scratch.AddFile("top/a/f" + std::to_string(i), 10);
  }
  for (const std::string& folder : {top, top + "/a"}) {
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  }
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  // The leak check at the end of a sanitized build needs a thread of its own.
  ToolRun run{scratch.Path(), {"-r", "top"}, {"ASAN_OPTIONS=detect_leaks=0"}};
  run.as_nobody = true;
  run.processes = 1;
  const ToolResult result = RunTool(run);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SortedLines(result.out), (std::vector<std::string>{top + "/a/quorvane_index.html",
                                                               top + "/quorvane_index.html"}));
  EXPECT_TRUE(Contains(ReadFile(top + "/a/quorvane_index.html"), "<b>100 object(s) :: 100k</b>"));
}

// A tree deeper than the descriptors a process may have open, and two sub-folders at each
// level, so that folders must wait for their turn: every folder gets its page.
TEST(QuorvaneIndexToolTest, DeepTreeIsWalkedWithinFewDescriptors) {
  const TempFolder scratch;
  constexpr int kDepth = 1500;
  int fd = open(scratch.AddFolder("top").c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < kDepth; ++level) {
    ASSERT_EQ(mkdirat(fd, "b", 0755), 0);
    ASSERT_EQ(mkdirat(fd, "a", 0755), 0);
    const int next = openat(fd, "a", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  close(fd);
  ToolRun run{scratch.Path(), {"-r", "top"}};
  run.open_files = 256;
  const ToolResult result = RunTool(run);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SortedLines(result.out).size(), 2u * kDepth + 1);
  EXPECT_TRUE(Exists(scratch.Path() + "/top/a/a/a/b/quorvane_index.html"));
  Shell("rm -rf " + (scratch / "top"));  // deeper than the test folder's own removal goes
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
  const quorvane::testing::StandInOpener opener;
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
  const quorvane::testing::StandInOpener tree_opener;
  const ToolResult tree =
      RunTool({scratch.Path(), {"-ro", "one"}, {"PATH=" + tree_opener.Bin() + ":/usr/bin:/bin"}});
  ASSERT_EQ(tree.status, 0) << tree.err;
  EXPECT_EQ(SortedLines(tree.out).size(), 2u);
  tree_opener.WaitForOpened(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // time for any other to show
  EXPECT_EQ(tree_opener.Opened(), std::vector<std::string>{one + "/quorvane_index.html"});
}

// Runs headless Chromium on the file `page` and returns the document as it stands once loaded.
std::string DomOf(const std::string& page) {
  const TempFolder profile;
  const ToolRun chromium{
      profile.Path(),
      {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
       "--disable-background-networking", "--disable-component-update", "--disable-sync",
       "--user-data-dir=" + profile.Path(), "--allow-file-access-from-files",
       "--virtual-time-budget=10000", "--dump-dom", "file://" + page}};
  const TempFolder capture;
  const pid_t child = fork();
  if (child == 0) {
    const int out = open((capture / "dom").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(out, 1);
    dup2(null, 2);
    std::vector<char*> argv{const_cast<char*>("/usr/bin/chromium")};
    for (const auto& argument : chromium.arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  EXPECT_EQ(WaitFor(child), 0) << "headless Chromium did not run; scripts/setup installs it";
  return ReadFile(capture / "dom");
}

// A page over names made to break it, read by a real browser: every link and picture leads to
// its own file, and the page holds the elements the format writes and nothing else.
TEST(QuorvaneIndexToolTest, BrowserFollowsEveryLinkToItsFile) {
  const TempFolder scratch;
  const std::string folder = scratch.AddFolder("hostile");
  const std::vector<std::string> names = {"q\"uote.png",     "<script>alert(1)<\\script>.png",
                                          "#frag.png",       "%41.png",
                                          "?q.png",          "&amp;.png",
                                          " lead.png",       "trail.png ",
                                          "bad\xFF\xFE.png", "new\nline.png",
                                          "a&b c.txt",       "back\\slash.png",
                                          "plain.jpg"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    WriteFile(folder + "/" + names[i], "F" + std::to_string(i) + ".");
  }
  ASSERT_EQ(RunTool({folder, {"--images"}}).status, 0);

  // The page is looked at from a frame, so that a script of the test reads what the browser
  // made of it: its elements, and the file behind each link and picture.
  const std::string viewer = scratch / "viewer.html";
  WriteFile(viewer, R"(<html><body><pre id="out"></pre><iframe id="page" src="file://)" + folder +
                        R"(/quorvane_index.html"></iframe><script>
document.getElementById('page').onload = function () {
  const page = this.contentDocument;
  const fetched = (url) => {
    const request = new XMLHttpRequest();
    request.open('GET', url, false);
    request.send();
    return request.responseText;
  };
  const tags = new Set([...page.querySelectorAll('*')].map(e => e.tagName));
  const lines = ['TAGS ' + [...tags].sort().join(' ')];
  for (const a of page.querySelectorAll('a[href]'))
    if (!a.getAttribute('href').startsWith('https:')) lines.push('LINK ' + fetched(a.href));
  for (const img of page.querySelectorAll('img')) lines.push('IMG ' + fetched(img.src));
  lines.push('SCRIPTS ' + page.scripts.length, 'END');
  document.getElementById('out').textContent = lines.join('|');
};
</script></body></html>)");
  const std::string dom = DomOf(viewer);
  const std::size_t start = dom.find("<pre id=\"out\">TAGS ");
  ASSERT_NE(start, std::string::npos) << dom;
  const std::string report = dom.substr(start, dom.find("|END", start) - start + 1);

  EXPECT_TRUE(Contains(report, "TAGS A B BODY BR FONT HEAD HR HTML IMG P TITLE|")) << report;
  EXPECT_TRUE(Contains(report, "|SCRIPTS 0|")) << report;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string content = "F" + std::to_string(i) + ".";
    EXPECT_TRUE(Contains(report, "|LINK " + content + "|")) << names[i] << "\n" << report;
    const std::string ending = names[i].substr(names[i].size() - 4);
    const bool picture = ending == ".png" || ending == ".jpg";
    EXPECT_EQ(Contains(report, "|IMG " + content + "|"), picture) << names[i];
  }
  std::size_t links = 0;
  for (std::size_t at = 0; (at = report.find("|LINK ", at)) != std::string::npos; ++at) {
    ++links;
  }
  EXPECT_EQ(links, names.size());
}

// A tree of folders named to break links, published with links between its pages, walked in a
// real browser from the top page: every page is reached by following the links down, and each
// page's link up leads back to the page it was reached from.
TEST(QuorvaneIndexToolTest, BrowserWalksATreeOfPagesDownAndBackUp) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  scratch.AddFolder("top/plain");
  const std::vector<std::string> names = {"q\"uote",     "<script>alert(1)<\\script>",
                                          "#frag",       "%41",
                                          "?q",          "&amp;",
                                          " lead",       "trail ",
                                          "bad\xFF\xFE", "new\nline",
                                          "back\\slash", "a&b c",
                                          "%2e%2e"};
  for (const std::string& name : names) {
    scratch.AddFile(scratch.AddFolder("top/" + name).substr(scratch.Path().size() + 1) + "/f.txt");
    scratch.AddFolder("top/plain/" + name);
  }
  const ToolResult run = RunTool({scratch.Path(), {"-rs", "top"}});
  ASSERT_EQ(run.status, 0) << run.err;
  std::size_t pages = 0;  // counted by their ends: a path may hold a line end of its own
  for (std::size_t at = 0; (at = run.out.find("/quorvane_index.html\n", at)) != std::string::npos;
       ++at) {
    ++pages;
  }
  ASSERT_EQ(pages, 2 + 2 * names.size());

  const std::string viewer = scratch / "viewer.html";
  WriteFile(viewer, R"(<html><body><pre id="out"></pre><script>
const fetched = (url) => {
  const request = new XMLHttpRequest();
  request.open('GET', url, false);
  request.send();
  return request.responseText;
};
const parent = new Map();
const queue = [['file://)" +
                        top + R"(/quorvane_index.html', null]];
let ups = 0;
const bad = [];
while (queue.length > 0) {
  const [url, from] = queue.shift();
  if (parent.has(url)) continue;
  parent.set(url, from);
  const text = fetched(url);
  if (!text.includes('</html>')) bad.push('MISSING ' + url);
  const page = new DOMParser().parseFromString(text, 'text/html');
  for (const a of page.querySelectorAll('a[href]')) {
    const href = a.getAttribute('href');
    const target = new URL(href, url).href;
    if (href === '../quorvane_index.html') {
      if (target === from) ups++; else bad.push('UP ' + url);
    } else if (href.endsWith('/quorvane_index.html')) {
      queue.push([target, url]);
    }
  }
}
document.getElementById('out').textContent =
    'PAGES ' + parent.size + '|UPS ' + ups + '|BAD ' + bad.join(' ') + '|END';
</script></body></html>)");
  const std::string dom = DomOf(viewer);
  const std::size_t start = dom.find("PAGES ");
  ASSERT_NE(start, std::string::npos) << dom;
  EXPECT_EQ(dom.substr(start, dom.find("|END", start) - start),
            "PAGES " + std::to_string(pages) + "|UPS " + std::to_string(pages - 1) + "|BAD ");
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

// The page on file systems unlike the usual: without owners or modes (FAT), without letter case
// told apart (FAT, exFAT), in memory (tmpfs). Each is mounted for the test alone.
class FileSystemTest : public ::testing::TestWithParam<ScratchMount::Kind> {};

TEST_P(FileSystemTest, PagesAreWrittenAgainAndNoUsersFileIsReplaced) {
  const ScratchMount mount(GetParam());
  if (!mount.Unavailable().empty()) {
    GTEST_SKIP() << ScratchMount::Name(GetParam()) << ": " << mount.Unavailable();
  }
  const bool folds_case = GetParam() != ScratchMount::Kind::kTmpfs;
  const std::string folder = mount.Path() + "/photos";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  WriteFile(folder + "/sea.jpg", "picture");
  for (int run = 0; run < 2; ++run) {  // the first page, then one in its place
    const ToolResult result = RunTool({folder, {}});
    EXPECT_EQ(result.status, 0) << run << result.err;
    EXPECT_TRUE(Contains(ReadFile(folder + "/quorvane_index.html"), "sea.jpg</a>")) << run;
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"quorvane_index.html", "sea.jpg"}));
  }

  // A file whose name differs from the page's only in case: the user's, never replaced.
  const std::string notes = mount.Path() + "/notes";
  ASSERT_EQ(mkdir(notes.c_str(), 0755), 0);
  WriteFile(notes + "/Quorvane_Index.HTML", "notes");
  const ToolResult result = RunTool({notes, {}});
  EXPECT_EQ(ReadFile(notes + "/Quorvane_Index.HTML"), "notes");
  if (folds_case) {
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "quorvane-index: The page would replace " + notes +
                              "/Quorvane_Index.HTML, whose name differs from the page's only in "
                              "letter case, which this file system does not tell apart; nothing "
                              "was written\n");
    EXPECT_EQ(Entries(notes), std::vector<std::string>{"Quorvane_Index.HTML"});
  } else {
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(ReadFile(notes + "/quorvane_index.html"),
                         "<a href=\"Quorvane_Index.HTML\">Quorvane_Index.HTML</a>"));
  }
}

INSTANTIATE_TEST_SUITE_P(, FileSystemTest,
                         ::testing::Values(ScratchMount::Kind::kTmpfs, ScratchMount::Kind::kExfat,
                                           ScratchMount::Kind::kFat),
                         [](const auto& info) { return ScratchMount::Name(info.param); });

}  // namespace
