// quorvane-index down a tree: the walk, the publishing options, and file systems unlike the usual.

#include <gtest/gtest.h>

#include <sys/file.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>

#include "platform/file_system.h"
#include "tests/support/scratch_mount.h"
#include "tool_runs.h"

namespace quorvane::testing {
namespace {

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
  // Its first entry that needs a status call fails it, named.
  EXPECT_EQ(result.err, "quorvane-index: Cannot read the file facts of " + locked +
                            "/below: Permission denied\n");
  EXPECT_EQ(SortedLines(result.out), (std::vector<std::string>{open + "/quorvane_index.html",
                                                               top + "/quorvane_index.html"}));
}

// The same small tree published with the options that choose what goes on the pages, where
// they go and whether they are written at all.
TEST(QuorvaneIndexToolTest, OptionsChooseWhatIsPublishedAndWhere) {
  CheckPublishingOptions(
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
  // A dry run says where it would write, as it was named.
  const ToolResult dry = RunTool({scratch.Path(), {"-nO", "-"}});
  EXPECT_EQ(dry.status, 0);
  EXPECT_EQ(dry.out, "-\n");
  EXPECT_EQ(Entries(scratch.Path()), std::vector<std::string>{"a.txt"});
}

TEST(QuorvaneIndexToolTest, CleanRemovesOnlyPagesQuorvaneWrote) {
  constexpr char kNotOurs[] = "The file @ is not a page quorvane wrote; it was kept";
  const auto ours = [](const TempFolder& f) { ASSERT_EQ(RunTool({f.Path(), {}}).status, 0); };
  const struct {
    const char* name;
    std::function<void(const TempFolder& folder)> make;  // makes quorvane_index.html in it
    bool as_nobody;
    const char* words;  // "@" standing for the page's path; none when it is removed
  } cases[] = {
      {"a page of ours, with links and pictures",
       [](const TempFolder& f) {
         f.AddFolder("sub");
         f.AddFile("sea.jpg");
         f.AddFile("a&b <1>.jpg");
         ASSERT_EQ(RunTool({f.Path(), {"-s"}}).status, 0);
         ASSERT_EQ(RunTool({f.Path() + "/sub", {}}).status, 0);
         ASSERT_EQ(RunTool({f.Path(), {"-is"}}).status, 0);
       },
       false, nullptr},
      {"one of another version",
       [&](const TempFolder& f) {
         ours(f);
         Edit(f / "quorvane_index.html", kMadeBy + " from <a href=\"",
              "quorvane 0.9 from <a href=\"https://example.org/\">x</a><!--");
       },
       false, nullptr},
      {"one with a line added at the end",
       [&](const TempFolder& f) {
         ours(f);
         Edit(f / "quorvane_index.html", "</html>\r\n", "</html>\r\n<!-- mine -->\r\n");
       },
       false, kNotOurs},
      {"one with a note typed into its body",
       [&](const TempFolder& f) {
         ours(f);
         Edit(f / "quorvane_index.html", "<br>&nbsp;", "<p>Back on Monday.\r\n<br>&nbsp;");
       },
       false, kNotOurs},
      {"one whose totals count another number of entries",
       [&](const TempFolder& f) {
         ours(f);
         Edit(f / "quorvane_index.html", "<b>1 object(s)", "<b>2 object(s)");
       },
       false, kNotOurs},
      {"a page of someone else's",
       [](const TempFolder& f) { WriteFile(f / "quorvane_index.html", "<html>mine</html>\n"); },
       false, kNotOurs},
      {"an empty file", [](const TempFolder& f) { f.AddFile("quorvane_index.html"); }, false,
       kNotOurs},
      {"a symlink to a page of ours",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {"-O", "real.html"}}).status, 0);
         ASSERT_EQ(symlink("real.html", (f / "quorvane_index.html").c_str()), 0);
       },
       false, "The page @ is a symbolic link; it was kept"},
      {"a folder", [](const TempFolder& f) { f.AddFolder("quorvane_index.html"); }, false,
       kNotOurs},
      {"a page of ours the user may not write, in a folder they may",
       [&](const TempFolder& f) {
         ours(f);
         ASSERT_EQ(chmod(f.Path().c_str(), 0777), 0);
       },
       true, "Cannot remove the page @: Permission denied"},
      {"a page of ours the user may write, in a folder they may not",
       [&](const TempFolder& f) {
         ours(f);
         ASSERT_EQ(chmod((f / "quorvane_index.html").c_str(), 0666), 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 0755), 0);
       },
       true, "Cannot remove the page @: Permission denied"},
      {"another user's page of ours in a sticky folder",
       [&](const TempFolder& f) {
         ours(f);
         ASSERT_EQ(chmod((f / "quorvane_index.html").c_str(), 0666), 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 01777), 0);
       },
       true, "Cannot remove the page @: Operation not permitted"},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    folder.AddFile("a.txt");
    c.make(folder);
    const std::string page = folder / "quorvane_index.html";
    const std::string before = ReadFile(page);
    ToolRun run{folder.Path(), {"--clean"}};
    run.as_nobody = c.as_nobody;
    ToolRun dry_run{folder.Path(), {"--clean", "--dry-run"}};
    dry_run.as_nobody = c.as_nobody;
    // A dry run says what the run would do, in its words.
    const ToolResult dry = RunTool(dry_run);
    EXPECT_TRUE(Exists(page)) << c.name;
    const ToolResult result = RunTool(run);
    EXPECT_EQ(dry.status, result.status) << c.name;
    EXPECT_EQ(dry.out, result.out) << c.name;
    EXPECT_EQ(dry.err, result.err) << c.name;
    if (c.words == nullptr) {
      EXPECT_EQ(result.status, 0) << c.name << result.err;
      EXPECT_EQ(result.out, page + "\n") << c.name;
      EXPECT_FALSE(Exists(page)) << c.name;
    } else {
      std::string words = c.words;
      words.replace(words.find('@'), 1, page);
      EXPECT_EQ(result.status, 1) << c.name;
      EXPECT_EQ(result.err, "quorvane-index: " + words + "\n") << c.name;
      EXPECT_EQ(result.out, "") << c.name;
      EXPECT_TRUE(Exists(page)) << c.name;
      EXPECT_EQ(ReadFile(page), before) << c.name;
    }
    EXPECT_TRUE(Exists(folder / "a.txt")) << c.name;
  }
}

TEST(QuorvaneIndexToolTest, UpdateLeavesPagesThatWouldNotChange) {
  CheckUpdateLeavesUnchangedPages(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool({folder, arguments});
      },
      [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
        return std::tuple{st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
      });
}

// An unchanged page longer than any piece it is made in (13,000 files, well over 1 MiB) is left
// as it is, with nothing opened for writing: on a read-only mount the run still succeeds.
TEST(QuorvaneIndexToolTest, UpdateWritesNothingOfALongUnchangedPage) {
  const TempFolder scratch;
  const std::string folder = scratch.AddFolder("many");
  for (int i = 0; i < 13000; ++i) {
    WriteFile(folder + "/file number " + std::to_string(i) + ".txt", "");
  }
  ASSERT_EQ(RunTool({folder, {}}).status, 0);
  const std::string page = folder + "/quorvane_index.html";
  Restamp(page);
  const std::string before = ReadFile(page);
  ASSERT_GT(before.size(), std::size_t{1} << 20);
  const std::string result = InChild([&]() -> std::string {
    if (const std::string unavailable = PrivateMounts(); !unavailable.empty()) {
      return "skip " + unavailable;
    }
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      return std::string("skip read-only bind mount: ") + std::strerror(errno);
    }
    const ToolResult run = RunTool({folder, {"-u"}});
    return std::to_string(run.status) + " [" + run.out + "] [" + run.err + "]";
  });
  if (result.rfind("skip ", 0) == 0) {
    GTEST_SKIP() << result.substr(5);
  }
  EXPECT_EQ(result, "0 [] []");
  EXPECT_EQ(ReadFile(page), before);
}

// What a run of `arguments` in `folder` says, and how it ends, run dry first and then for real:
// "status, out, err", the lines of each sorted.
std::pair<std::string, std::string> DryAndReal(const std::string& folder,
                                               const std::vector<std::string>& arguments,
                                               bool as_nobody) {
  std::string said[2];
  for (const bool dry : {true, false}) {
    ToolRun run{folder, arguments};
    if (dry) {
      run.arguments.insert(run.arguments.begin(), "-n");
    }
    run.as_nobody = as_nobody;
    const ToolResult result = RunTool(run);
    std::string& text = said[dry ? 0 : 1];
    text = std::to_string(result.status);
    for (const std::string* stream : {&result.out, &result.err}) {
      for (const std::string& line : SortedLines(*stream)) {
        text += "\n" + line;
      }
    }
  }
  return {said[0], said[1]};
}

// A dry run meets what the run would meet, and says so in the same words, with the same status:
// a folder the user may not write, a page they may not, a file system mounted read-only.
TEST(QuorvaneIndexToolTest, ADryRunMeetsWhatTheRunWould) {
  const struct {
    const char* name;
    void (*make)(const TempFolder& top);
    std::vector<std::string> arguments;
  } cases[] = {
      {"a first page in a folder the user may not write",
       [](const TempFolder& f) { ASSERT_EQ(chmod(f.Path().c_str(), 0755), 0); },
       {}},
      {"a page they may write, in a folder they may not",
       [](const TempFolder& f) {
         WriteFile(f / "quorvane_index.html", "old");
         ASSERT_EQ(chmod((f / "quorvane_index.html").c_str(), 0666), 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 0755), 0);
       },
       {"-u"}},
      {"a page they may not write, in a folder they may",
       [](const TempFolder& f) {
         WriteFile(f / "quorvane_index.html", "old");
         ASSERT_EQ(chmod(f.Path().c_str(), 0777), 0);
       },
       {}},
      {"a tree with a folder they may not write",
       [](const TempFolder& f) {
         for (const char* folder : {"open", "shut"}) {
           f.AddFolder(folder);
           ASSERT_EQ(chmod((f / folder).c_str(), std::string(folder) == "open" ? 0777 : 0755), 0);
         }
         ASSERT_EQ(chmod(f.Path().c_str(), 0777), 0);
       },
       {"-r"}},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    folder.AddFile("a.txt");
    c.make(folder);
    const auto [dry, real] = DryAndReal(folder.Path(), c.arguments, true);
    EXPECT_EQ(dry, real) << c.name;
    EXPECT_EQ(real.substr(0, 2), "1\n") << c.name << ": " << real;
  }

  // On a file system mounted read-only, as root, for a first page and for one in place.
  const TempFolder scratch;
  const std::string first = scratch.AddFolder("first");
  const std::string again = scratch.AddFolder("again");
  scratch.AddFile("again/a.txt");
  ASSERT_EQ(RunTool({again, {}}).status, 0);
  const std::string result = InChild([&]() -> std::string {
    if (const std::string unavailable = PrivateMounts(); !unavailable.empty()) {
      return "skip " + unavailable;
    }
    if (mount(scratch.Path().c_str(), scratch.Path().c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, scratch.Path().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
              nullptr) != 0) {
      return std::string("skip read-only bind mount: ") + std::strerror(errno);
    }
    std::string said;
    for (const std::string& folder : {first, again}) {
      const auto [dry, real] = DryAndReal(folder, {}, false);
      said += dry == real ? real + "\n" : "dry: " + dry + " real: " + real + "\n";
    }
    return said;
  });
  if (result.rfind("skip ", 0) == 0) {
    GTEST_SKIP() << result.substr(5);
  }
  const std::string read_only = ": Read-only file system\n";
  EXPECT_EQ(result, "1\nquorvane-index: Cannot write the page " + first + "/quorvane_index.html" +
                        read_only + "1\nquorvane-index: Cannot write the page " + again +
                        "/quorvane_index.html" + read_only);
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
  const std::string result = InChild([&]() -> std::string {
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

  // A file whose name differs from the page's only in case, a copy of a page: the user's, never
  // replaced, nor removed; it is reported by its own name.
  const std::string notes = mount.Path() + "/notes";
  ASSERT_EQ(mkdir(notes.c_str(), 0755), 0);
  const std::string copy = ReadFile(folder + "/quorvane_index.html");
  WriteFile(notes + "/Quorvane_Index.HTML", copy);
  for (const char* clean : {"--clean", "-n"}) {
    const ToolResult kept = RunTool({notes, {"--clean", clean}});
    EXPECT_EQ(kept.status, folds_case ? 1 : 0) << clean;
    EXPECT_EQ(kept.err, folds_case ? "quorvane-index: The file " + notes +
                                         "/Quorvane_Index.HTML is not a page quorvane wrote; it "
                                         "was kept\n"
                                   : "")
        << clean;
    EXPECT_EQ(Entries(notes), std::vector<std::string>{"Quorvane_Index.HTML"}) << clean;
  }
  const ToolResult result = RunTool({notes, {}});
  EXPECT_EQ(ReadFile(notes + "/Quorvane_Index.HTML"), copy);
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

// The hidden names under `root`, by their paths.
std::vector<std::string> HiddenNamesUnder(const std::string& root) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (platform::IsTemporaryPageName(entry.path().filename().string())) {
      names.push_back(entry.path().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A run of `-rs` over `top` whose standard output is a pipe no one reads: once it is full, the
// run stops with pages sealed under their hidden names, waiting to be placed and printed.
class RunWithOutputHeld {
 public:
  explicit RunWithOutputHeld(const std::string& top) : top_(top) {
    EXPECT_EQ(pipe(pipe_fds_), 0);
    fcntl(pipe_fds_[0], F_SETPIPE_SZ, 4096);
    child_ = fork();
    if (child_ == 0) {
      dup2(pipe_fds_[1], 1);
      ExecTool({top, {"-rs", "."}});
    }
    close(pipe_fds_[1]);
  }
  RunWithOutputHeld(const RunWithOutputHeld&) = delete;
  RunWithOutputHeld& operator=(const RunWithOutputHeld&) = delete;
  ~RunWithOutputHeld() { End(SIGKILL); }

  // Stops the run while it holds hidden names (a lock on each), and gives them; none where it
  // never did so within a minute.
  std::vector<std::string> StopHoldingNames() {
    for (int look = 0; look < 60000; ++look) {
      if (!HiddenNamesUnder(top_).empty()) {
        kill(child_, SIGSTOP);
        std::vector<std::string> held = HiddenNamesUnder(top_);
        std::erase_if(held, [](const std::string& name) { return !Locked(name); });
        if (!held.empty()) {
          return held;
        }
        kill(child_, SIGCONT);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
  }

  // Ends the run with `signal_number`; gives its status as WaitFor() does.
  int End(int signal_number) {
    if (child_ <= 0) {
      return -1;
    }
    kill(child_, signal_number);
    kill(child_, SIGCONT);
    close(pipe_fds_[0]);
    return WaitFor(std::exchange(child_, -1));
  }

 private:
  static bool Locked(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return locked;
  }

  std::string top_;
  int pipe_fds_[2] = {-1, -1};
  pid_t child_ = -1;
};

// A tree of `folders` folders under `top` with a few files each, on `mount`.
std::string MakeTree(const ScratchMount& mount, int folders) {
  const std::string top = mount.Path() + "/top";
  EXPECT_EQ(mkdir(top.c_str(), 0755), 0);
  for (int i = 0; i < folders; ++i) {
    const std::string folder = top + "/folder number " + std::to_string(i);
    EXPECT_EQ(mkdir(folder.c_str(), 0755), 0);
    for (int file = 0; file < 5; ++file) {
      WriteFile(folder + "/file " + std::to_string(file), "");
    }
  }
  return top;
}

// No hidden name outlives its run: a signal removes those the run holds, and the next run, or
// --clean, those of a run killed outright, but never those of a run still going. Where the
// system makes pages without a name until they are placed (tmpfs), no name shows long enough.
TEST_P(FileSystemTest, NoHiddenNameOutlivesItsRun) {
  const ScratchMount mount(GetParam());
  if (!mount.Unavailable().empty()) {
    GTEST_SKIP() << ScratchMount::Name(GetParam()) << ": " << mount.Unavailable();
  }
  if (GetParam() != ScratchMount::Kind::kExfat) {
    // On tmpfs pages have no name until they are placed; FAT through FUSE takes minutes here.
    GTEST_SKIP() << "exFAT stands for the file systems without unnamed files";
  }
  const std::string top = MakeTree(mount, 200);
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    RunWithOutputHeld run(top);
    ASSERT_FALSE(run.StopHoldingNames().empty()) << signal_number;
    EXPECT_EQ(run.End(signal_number), 128 + signal_number);
    EXPECT_EQ(HiddenNamesUnder(top), std::vector<std::string>{}) << signal_number;
  }
  for (const char* next : {"-rs", "--clean"}) {
    RunWithOutputHeld killed(top);
    ASSERT_FALSE(killed.StopHoldingNames().empty());
    killed.End(SIGKILL);
    const std::vector<std::string> left = HiddenNamesUnder(top);
    ASSERT_FALSE(left.empty());
    RunWithOutputHeld live(top);
    const std::vector<std::string> held = live.StopHoldingNames();
    ASSERT_FALSE(held.empty());
    const ToolResult result = RunTool({top, {"-r", next, "."}});
    EXPECT_EQ(result.status, 0) << next << result.err;
    // The killed run's names are gone, the live run's are all still there.
    EXPECT_EQ(HiddenNamesUnder(top), held) << next;
    live.End(SIGTERM);
    EXPECT_EQ(HiddenNamesUnder(top), std::vector<std::string>{}) << next;
  }
}

INSTANTIATE_TEST_SUITE_P(, FileSystemTest,
                         ::testing::Values(ScratchMount::Kind::kTmpfs, ScratchMount::Kind::kExfat,
                                           ScratchMount::Kind::kFat),
                         [](const auto& info) { return ScratchMount::Name(info.param); });

}  // namespace
}  // namespace quorvane::testing
