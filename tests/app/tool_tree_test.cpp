// quorvane-index down a tree: the walk, the publishing options, and file systems unlike the usual.

#include <gtest/gtest.h>

#include <sys/file.h>

#include <csignal>
#include <cstring>
#include <ctime>
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
  const struct {
    const char* name;
    void (*make)(const TempFolder& folder);  // makes quorvane_index.html in the folder
    bool as_nobody;
    const char* words;  // after the page's path; none when it is removed
  } cases[] = {
      {"a page of ours, with links and pictures",
       [](const TempFolder& f) {
         f.AddFolder("sub");
         f.AddFile("a&b <1>.jpg");
         ASSERT_EQ(RunTool({f.Path() + "/sub", {}}).status, 0);
         ASSERT_EQ(RunTool({f.Path(), {"-is"}}).status, 0);
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
      // Each line is the writer's, in its order: a note typed in, a picture under another
      // file's entry, a link that is not its text, totals that count other entries.
      {"one with a note typed into its body",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         Edit(f / "quorvane_index.html", "<br>&nbsp;", "<p>Back on Monday.\r\n<br>&nbsp;");
       },
       false, " is not a page quorvane wrote; it was kept"},
      {"one edited in its order, its links, its totals",
       [](const TempFolder& f) {
         f.AddFile("b.jpg");
         ASSERT_EQ(RunTool({f.Path(), {"-i"}}).status, 0);
         const std::string page = ReadFile(f / "quorvane_index.html");
         for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
                  {"<img src=\"b.jpg\"", "<img src=\"a.txt\""},
                  {">a.txt</a>", ">b.txt</a>"},
                  {"<b>2 object(s)", "<b>3 object(s)"},
                  {"<body>\r\n", "<body>\n"}}) {
           Edit(f / "quorvane_index.html", from, to);
           ASSERT_EQ(RunTool({f.Path(), {"--clean"}}).status, 1) << from;
           WriteFile(f / "quorvane_index.html", page);
         }
         Edit(f / "quorvane_index.html", "by quorvane", "by quorvane 0.9, and");
       },
       false, nullptr},
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
       false, " is a symbolic link; it was kept"},
      {"a folder", [](const TempFolder& f) { f.AddFolder("quorvane_index.html"); }, false,
       " is not a page quorvane wrote; it was kept"},
      {"a page of ours the user may not write, in a folder they may",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 0777), 0);
       },
       true, ": Permission denied"},
      {"a page of ours the user may write, in a folder they may not",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         ASSERT_EQ(chmod((f / "quorvane_index.html").c_str(), 0666), 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 0755), 0);
       },
       true, ": Permission denied"},
      {"another's page of ours in a sticky folder",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool({f.Path(), {}}).status, 0);
         ASSERT_EQ(chmod((f / "quorvane_index.html").c_str(), 0666), 0);
         ASSERT_EQ(chmod(f.Path().c_str(), 01777), 0);
       },
       true, ": Operation not permitted"},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    folder.AddFile("a.txt");
    c.make(folder);
    const std::string page = folder / "quorvane_index.html";
    const std::string before = ReadFile(page);
    ToolRun run{folder.Path(), {"--clean"}};
    run.as_nobody = c.as_nobody;
    // A dry run says what the run would, in its words.
    ToolRun dry_run = run;
    dry_run.arguments.push_back("--dry-run");
    const ToolResult dry = RunTool(dry_run);
    EXPECT_TRUE(Exists(page)) << c.name;
    const ToolResult result = RunTool(run);
    EXPECT_EQ(dry.out + dry.err + std::to_string(dry.status),
              result.out + result.err + std::to_string(result.status))
        << c.name;
    if (c.words == nullptr) {
      EXPECT_EQ(result.status, 0) << c.name << result.err;
      EXPECT_EQ(result.out, page + "\n") << c.name;
      EXPECT_FALSE(Exists(page)) << c.name;
    } else {
      const std::string step = c.as_nobody                        ? "Cannot remove the page "
                               : std::strstr(c.words, "symbolic") ? "The page "
                                                                  : "The file ";
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
  CheckUpdateLeavesUnchangedPages(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool({folder, arguments});
      },
      Stamp);

  // A page that is a symlink is compared through it: the same target, the same time, and once
  // the folder changes the target is replaced and the link stays a link.
  const TempFolder folder;
  folder.AddFile("a.txt");
  folder.AddFolder("pages");
  ASSERT_EQ(RunTool({folder.Path(), {"-O", "pages/real.html"}}).status, 0);
  ASSERT_EQ(symlink("pages/real.html", (folder / "quorvane_index.html").c_str()), 0);
  Restamp(folder / "pages/real.html");
  struct stat before {};
  ASSERT_EQ(stat((folder / "pages/real.html").c_str(), &before), 0);
  const ToolResult same = RunTool({folder.Path(), {"-u"}});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "");
  struct stat after {};
  ASSERT_EQ(stat((folder / "pages/real.html").c_str(), &after), 0);
  EXPECT_EQ(std::tuple(after.st_ino, after.st_mtim.tv_sec, after.st_mtim.tv_nsec),
            std::tuple(before.st_ino, before.st_mtim.tv_sec, before.st_mtim.tv_nsec));
  folder.AddFile("b.txt");
  EXPECT_EQ(RunTool({folder.Path(), {"-u"}}).out, folder / "quorvane_index.html\n");
  ASSERT_EQ(lstat((folder / "quorvane_index.html").c_str(), &after), 0);
  EXPECT_TRUE(S_ISLNK(after.st_mode));
  EXPECT_TRUE(Contains(ReadFile(folder / "pages/real.html"), "b.txt</a>"));

  // With --root, a run through a symlink to the tree makes the same pages; without, others.
  const TempFolder tree;
  tree.AddFolder("top");
  tree.AddFolder("top/awkward");
  tree.AddFile("top/awkward/a.txt");
  ASSERT_EQ(symlink("top", (tree / "link").c_str()), 0);
  ASSERT_EQ(RunTool({tree.Path(), {"-rs", "--root=/", "top"}}).status, 0);
  const ToolResult through = RunTool({tree.Path(), {"-rsu", "--root=/", "link"}});
  EXPECT_EQ(through.status, 0) << through.err;
  EXPECT_EQ(through.out, "");
  EXPECT_EQ(SortedLines(RunTool({tree.Path(), {"-rsu", "link"}}).out),
            (std::vector<std::string>{tree / "link/awkward/quorvane_index.html",
                                      tree / "link/quorvane_index.html"}));
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

// How `run` ends and what it says: its status, then its lines, sorted.
std::string Said(const ToolRun& run) {
  const ToolResult result = RunTool(run);
  std::string said = std::to_string(result.status);
  for (const std::string& line : SortedLines(result.out + result.err)) {
    said += "\n" + line;
  }
  return said;
}

// A dry run meets what the run would meet, and says so in the same words, with the same status:
// as nobody, a page in a folder they may not write, a tree with such a folder; as root, a first
// page on a file system mounted read-only.
TEST(QuorvaneIndexToolTest, ADryRunMeetsWhatTheRunWould) {
  const TempFolder scratch;
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  for (const char* folder : {"top", "top/open", "top/shut"}) {
    scratch.AddFolder(folder);
    scratch.AddFile(std::string(folder) + "/a.txt");
    ASSERT_EQ(chmod((scratch / folder).c_str(), folder == std::string("top/shut") ? 0755 : 0777),
              0);
  }
  WriteFile(scratch / "top/shut/quorvane_index.html", "old");
  ASSERT_EQ(chmod((scratch / "top/shut/quorvane_index.html").c_str(), 0666), 0);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"top/shut"}, std::vector<std::string>{"-r", "top"}}) {
    ToolRun run{scratch.Path(), arguments};
    run.as_nobody = true;
    const std::string real = Said(run);
    run.arguments.insert(run.arguments.begin(), "-n");
    EXPECT_EQ(Said(run), real);
    EXPECT_EQ(real.substr(0, 2), "1\n") << real;
  }
  const std::string result = InChild([&]() -> std::string {
    if (const std::string unavailable = PrivateMounts(); !unavailable.empty()) {
      return "skip " + unavailable;
    }
    if (mount(scratch.Path().c_str(), scratch.Path().c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, scratch.Path().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
              nullptr) != 0) {
      return std::string("skip read-only bind mount: ") + std::strerror(errno);
    }
    return Said({scratch / "top/open", {"-n"}}) + "\n" + Said({scratch / "top/open", {}});
  });
  if (result.rfind("skip ", 0) == 0) {
    GTEST_SKIP() << result.substr(5);
  }
  const std::string said = "1\nquorvane-index: Cannot write the page " +
                           (scratch / "top/open/quorvane_index.html") + ": Read-only file system";
  EXPECT_EQ(result, said + "\n" + said);
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

// The hidden names under `root` that a run holds (locks), or all of them.
std::vector<std::string> HiddenNamesUnder(const std::string& root, bool held_only = false) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!platform::IsTemporaryPageName(entry.path().filename().string())) {
      continue;
    }
    const int fd = open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (!held_only || flock(fd, LOCK_EX | LOCK_NB) != 0) {
      names.push_back(entry.path().string());
    }
    close(fd);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Starts `-rs` over `top` with standard output a pipe no one reads: once it is full, the run
// waits with pages sealed under their hidden names. Stops it (SIGSTOP) once it holds some, and
// gives them; `pid` is the run's.
std::vector<std::string> RunHoldingNames(const std::string& top, pid_t& pid) {
  int pipe_fds[2];
  EXPECT_EQ(pipe(pipe_fds), 0);
  fcntl(pipe_fds[0], F_SETPIPE_SZ, 4096);
  pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    ExecTool({top, {"-rs", "."}});
  }
  close(pipe_fds[1]);  // the read end stays open, unread, until the run ends
  for (int look = 0; look < 10000; ++look) {
    if (HiddenNamesUnder(top).empty()) {
      continue;
    }
    kill(pid, SIGSTOP);
    if (const std::vector<std::string> held = HiddenNamesUnder(top, true); !held.empty()) {
      return held;
    }
    kill(pid, SIGCONT);
  }
  return {};
}

int End(pid_t pid, int signal_number) {
  kill(pid, signal_number);
  kill(pid, SIGCONT);
  return WaitFor(pid);
}

// No hidden name outlives its run: a signal removes those the run holds, and the next run, or
// --clean, those of a run killed outright, never those of a run still going. Where pages have no
// name until they are placed (tmpfs) there is nothing to see; FAT through FUSE is slow here.
TEST_P(FileSystemTest, NoHiddenNameOutlivesItsRun) {
  const ScratchMount mount(GetParam());
  if (!mount.Unavailable().empty() || GetParam() != ScratchMount::Kind::kExfat) {
    GTEST_SKIP() << "on exFAT only: " << mount.Unavailable();
  }
  const std::string top = mount.Path() + "/top";
  for (int i = 0; i < 150; ++i) {
    ASSERT_TRUE(std::filesystem::create_directories(top + "/folder number " + std::to_string(i)));
    WriteFile(top + "/folder number " + std::to_string(i) + "/a.txt", "");
  }
  pid_t run = 0;
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    ASSERT_FALSE(RunHoldingNames(top, run).empty()) << signal_number;
    EXPECT_EQ(End(run, signal_number), 128 + signal_number);
    EXPECT_EQ(HiddenNamesUnder(top), std::vector<std::string>{}) << signal_number;
  }
  for (const char* next : {"-rs", "--clean"}) {
    ASSERT_FALSE(RunHoldingNames(top, run).empty());
    End(run, SIGKILL);
    pid_t live = 0;
    const std::vector<std::string> held = RunHoldingNames(top, live);
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(RunTool({top, {"-r", next, "."}}).status, 0) << next;
    EXPECT_EQ(HiddenNamesUnder(top), held)
        << next;  // the killed run's gone, the live one's all there
    End(live, SIGTERM);
  }
}

INSTANTIATE_TEST_SUITE_P(, FileSystemTest,
                         ::testing::Values(ScratchMount::Kind::kTmpfs, ScratchMount::Kind::kExfat,
                                           ScratchMount::Kind::kFat),
                         [](const auto& info) { return ScratchMount::Name(info.param); });

}  // namespace
}  // namespace quorvane::testing
