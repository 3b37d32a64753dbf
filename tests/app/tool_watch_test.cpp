// quorvane-index --watch on Linux: trees kept current as they change, the system's limits, and
// the signals that end it.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/scratch_mount.h"
#include "tests/support/watch_reports.h"
#include "tool_runs.h"

namespace quorvane::testing {
namespace {

// A tree to watch, in a folder others may enter: top, with top/a (old.txt), top/a/deep, top/b
// and top/s, where a change is made last.
struct WatchedPages {
  WatchedPages() {
    EXPECT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
    for (const char* folder : {"top", "top/a", "top/a/deep", "top/b", "top/s"}) {
      EXPECT_EQ(chmod(scratch.AddFolder(folder).c_str(), 0777), 0);
    }
    scratch.AddFile("top/a/old.txt");
  }

  // The page of each folder named from top ("" for top), as the tool prints it.
  std::set<std::string> Pages(std::initializer_list<const char*> folders) const {
    std::set<std::string> pages;
    for (const std::string folder : folders) {
      pages.insert(scratch /
                   ("top/" + folder + (folder.empty() ? "" : "/") + "quorvane_index.html"));
    }
    return pages;
  }
  std::set<std::string> All() const { return Pages({"", "a", "a/deep", "b", "s"}); }

  TempFolder scratch;
};

TEST(QuorvaneIndexWatchTest, ChangedFoldersGetThePagesARunOfTheirOwnWouldWrite) {
  CheckWatchKeepsPagesCurrent(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return std::make_unique<WatchingTool>(ToolRun{folder, arguments});
      },
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool({folder, arguments});
      },
      PagesUnder, Stamp);
}

// Told once however often it changes, linked from no page while it cannot be read, and linked
// again once it can.
TEST(QuorvaneIndexWatchTest, AFolderThatBecomesUnreadableIsToldOnceAndUnlinked) {
  const WatchedPages tree;
  ToolRun run{tree.scratch.Path(), {"-rs", "--watch", "--settle=0", "top"}};
  run.as_nobody = true;
  WatchingTool tool(run);
  tool.Printed(tree.All());
  const std::string link = "href=\"a/quorvane_index.html\"";
  ASSERT_EQ(chmod((tree.scratch / "top/a").c_str(), 0), 0);
  tool.Printed(tree.Pages({""}));
  EXPECT_FALSE(Contains(ReadFile(tree.scratch / "top/quorvane_index.html"), link));
  tree.scratch.AddFile("top/a/while-unreadable.txt");
  tree.scratch.AddFile("top/s/after.txt");
  tool.Printed(tree.Pages({"s"}));
  ASSERT_EQ(chmod((tree.scratch / "top/a").c_str(), 0777), 0);
  tool.Printed(tree.Pages({"", "a"}));
  EXPECT_TRUE(Contains(ReadFile(tree.scratch / "top/quorvane_index.html"), link));
  EXPECT_TRUE(Contains(ReadFile(tree.scratch / "top/a/quorvane_index.html"), "while-unreadable"));
  const ToolResult end = tool.Stop();
  EXPECT_EQ(end.status, 0);
  EXPECT_EQ(end.err, "quorvane-index: Cannot read the folder " + (tree.scratch / "top/a/") +
                         ": Permission denied\n");
}

// A symbolic link to a folder that comes into the tree is not followed, as a walk has it.
TEST(QuorvaneIndexWatchTest, ALinkToAFolderIsNeverEntered) {
  const WatchedPages tree;
  const TempFolder outside;
  outside.AddFile("o.txt");
  WatchingTool tool({tree.scratch.Path(), {"-rs", "--watch", "--settle=0", "top"}});
  tool.Printed(tree.All());
  ASSERT_EQ(symlink(outside.Path().c_str(), (tree.scratch / "top/link").c_str()), 0);
  tree.scratch.AddFile("top/s/after.txt");
  tool.Printed(tree.Pages({"", "s"}));
  const ToolResult end = tool.Stop();
  EXPECT_EQ(end.status, 0);
  // A file made and then written may be told twice, and its folder's page written again.
  EXPECT_FALSE(Contains(end.out, outside.Path())) << end.out;
  EXPECT_EQ(Entries(outside.Path()), std::vector<std::string>{"o.txt"});
  EXPECT_FALSE(Contains(ReadFile(tree.scratch / "top/quorvane_index.html"), "link"));
}

// More changes at once than the system's queue holds: every folder is read again, and the pages
// that changed are written.
TEST(QuorvaneIndexWatchSystemWideTest, AQueueThatOverflowsHasEveryFolderReadAgain) {
  const WatchedPages tree;
  // The tool's watch takes the limit when it is made, before its first pages.
  QueueLimit limit(8);
  if (!limit.Set()) {
    GTEST_SKIP() << "cannot set " << kQueueLimit << " (not root, or /proc/sys read-only)";
  }
  WatchingTool tool({tree.scratch.Path(), {"-r", "--watch", "--settle=0", "top"}});
  tool.Printed(tree.All());
  limit.Restore();
  for (int i = 0; i < 64; ++i) {
    tree.scratch.AddFile("top/a/deep/burst" + std::to_string(i));
  }
  tool.Said("Reading every folder again: more changed at once than the system could tell\n");
  // A reading may come while the burst goes on, and the queue may overflow again: the page is
  // written until it holds the last file.
  std::vector<std::string> lines;
  const std::string deep_page = tree.scratch / "top/a/deep/quorvane_index.html";
  while (!::testing::Test::HasFailure() && !Contains(ReadFile(deep_page), "burst63")) {
    for (std::string& line : tool.Printed(tree.Pages({"a/deep"}))) {
      lines.push_back(std::move(line));
    }
  }
  tree.scratch.AddFile("top/s/after.txt");
  for (std::string& line : tool.Printed(tree.Pages({"s"}))) {
    lines.push_back(std::move(line));
  }
  const ToolResult end = tool.Stop();
  EXPECT_EQ(end.status, 0);
  // The changes read after the queue overflowed may write the page again.
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), tree.Pages({"a/deep", "s"}));
  EXPECT_TRUE(Contains(ReadFile(deep_page), "burst63"));
}

// The user may watch three folders: that is said once, and the tree is read again on a timer,
// where a change in a folder not watched shows.
TEST(QuorvaneIndexWatchTest, OutOfWatchesIsSaidOnceAndTheTreeIsReadAgainOnATimer) {
  const WatchedPages tree;
  ToolRun run{tree.scratch.Path(), {"-r", "--watch", "--settle=0", "--rescan=0.2", "top"}};
  run.watches = 3;
  WatchingTool tool(run);
  tool.Printed(tree.All());
  const std::string out_of_watches =
      "quorvane-index: The system can watch no more folders; every folder is read again every "
      "0.2 seconds instead. To watch them all, raise fs.inotify.max_user_watches: sysctl "
      "fs.inotify.max_user_watches=1048576\n";
  const std::string rescan =
      "quorvane-index: Reading every folder again, as every 0.2 seconds while the system can "
      "watch no more folders\n";
  tool.Said(rescan);
  // The walk watches top, a and a/deep; s is not watched.
  tree.scratch.AddFile("top/s/after.txt");
  tool.Printed(tree.Pages({"s"}));
  const std::string said = tool.Said(rescan, 3);
  const ToolResult end = tool.Stop();
  if (end.status == kNoUserNamespace) {
    GTEST_SKIP() << "no user namespace of its own for the tool";
  }
  EXPECT_EQ(end.status, 0);
  EXPECT_EQ(end.out, "");
  EXPECT_EQ(said.substr(0, out_of_watches.size()), out_of_watches);
  EXPECT_EQ(WatchingTool::Count(end.err, out_of_watches), 1);
  EXPECT_EQ(WatchingTool::Count(end.err, rescan) + 1, SortedLines(end.err).size());
}

// SIGTERM while the pages of a burst of changes are written ends the tool once the pages begun
// are in place: each page whole, no hidden name left, status 0. On exFAT, which has no unnamed
// files, every page is written under a hidden name first.
TEST(QuorvaneIndexWatchTest, SigtermDuringABurstLeavesWholePagesAndNoHiddenName) {
  const ScratchMount mount(ScratchMount::Kind::kExfat);
  if (!mount.Unavailable().empty()) {
    GTEST_SKIP() << "exFAT: " << mount.Unavailable();
  }
  const std::string top = mount.Path() + "/top";
  ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
  std::set<std::string> pages = {top + "/quorvane_index.html"};
  for (int i = 0; i < 100; ++i) {
    const std::string folder = top + "/f" + std::to_string(i);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    pages.insert(folder + "/quorvane_index.html");
  }
  WatchingTool tool({mount.Path(), {"-r", "--watch", "--settle=0.2", "top"}});
  tool.Printed(pages);
  for (int i = 0; i < 100; ++i) {
    for (int file = 0; file < 20; ++file) {
      WriteFile(top + "/f" + std::to_string(i) + "/burst" + std::to_string(file), "");
    }
  }
  // Settled, the burst's pages are being written.
  tool.Printed({top + "/f0/quorvane_index.html"});
  const ToolResult end = tool.Stop(SIGTERM);
  EXPECT_EQ(end.status, 0);
  EXPECT_EQ(end.err, "");
  for (const std::string& page : pages) {
    const std::string text = ReadFile(page);
    EXPECT_EQ(text.substr(0, 6), "<html>") << page;
    EXPECT_EQ(text.substr(text.size() - 9), "</html>\r\n") << page;
    const std::string folder = page.substr(0, page.rfind('/'));
    for (const std::string& name : Entries(folder)) {
      EXPECT_FALSE(platform::IsTemporaryPageName(name)) << folder << "/" << name;
    }
  }
}

}  // namespace
}  // namespace quorvane::testing
