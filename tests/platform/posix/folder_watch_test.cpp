// What only Linux's watch does: one watch a folder, so that it tells which went away, follows a
// folder added again under a new name, forgets a sub-tree, and runs out of watches or of room in
// its queue.

#include "platform/folder_watch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "tests/support/failing_calls.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/watch_reports.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Call;
using quorvane::testing::FailingCalls;
using quorvane::testing::FailureOf;
using quorvane::testing::kQueueLimit;
using quorvane::testing::Ok;
using quorvane::testing::TempFolder;
using quorvane::testing::Told;
using quorvane::testing::WatchedTree;

TEST(LinuxFolderWatchTest, TellsWhatWentAwayAndFollowsAFolderAddedAgain) {
  using Names = std::set<std::string>;
  const struct {
    const char* what;
    std::function<void(WatchedTree&)> change;
    Names changed;  // besides top/s
    Names gone;
  } cases[] = {
      {"a sub-tree removed",
       [](WatchedTree& t) { std::filesystem::remove_all(t.scratch / "a/deep"); },
       {"a"},
       {"a/deep"}},
      {"a folder moved, then changed where it went",
       [](WatchedTree& t) {
         ASSERT_TRUE(testing::Rename(t.scratch / "a", t.scratch / "c"));
         t.scratch.AddFile("c/deep/y.txt");
       },
       {""},
       {"a"}},
      {"a folder renamed and added again",
       [](WatchedTree& t) {
         ASSERT_TRUE(testing::Rename(t.scratch / "a/deep", t.scratch / "a/moved"));
         t.Watch("a/moved");
         t.scratch.AddFile("a/moved/y.txt");
       },
       {"a", "a/moved"},
       {}},
      {"a folder forgotten, with all below it",
       [](WatchedTree& t) {
         t.watch->Forget(t.Path("a"));
         t.scratch.AddFile("a/y.txt");
         t.scratch.AddFile("a/deep/y.txt");
       },
       {},
       {}},
      {"a folder's own mode changed",
       [](WatchedTree& t) { ASSERT_EQ(chmod((t.scratch / "a/deep").c_str(), 0700), 0); },
       {"a", "a/deep"},
       {}},
  };
  for (const auto& c : cases) {
    WatchedTree tree;
    c.change(tree);
    const Told told = tree.ToldSoFar();
    Names changed = {tree.Path("s")};
    Names gone;
    for (auto [names, paths] : {std::pair{&c.changed, &changed}, std::pair{&c.gone, &gone}}) {
      for (const std::string& name : *names) {
        paths->insert(tree.Path(name.c_str()));
      }
    }
    EXPECT_EQ(told.changed, changed) << c.what;
    EXPECT_EQ(told.gone, gone) << c.what;
  }
}

TEST(LinuxFolderWatchTest, OutOfWatchesIsToldAndOtherFailuresNameTheFolder) {
  const TempFolder scratch;
  FailingCalls calls;
  calls.Fail({Call::kAddWatch, ENOSPC, 1});
  calls.Fail({Call::kAddWatch, EACCES, 1});  // counted from the call after
  const auto watch = Ok(WatchFolders("quorvane_index.html", calls));
  const auto folder = Ok(SystemFileSystem().OpenFolder(scratch.Path()));
  EXPECT_EQ(Ok(watch->Add(*folder)), FolderWatch::Added::kOutOfWatches);
  EXPECT_EQ(FailureOf(watch->Add(*folder)),
            "Cannot watch the folder " + scratch.Path() + "/: Permission denied");
  EXPECT_EQ(Ok(watch->Add(*folder)), FolderWatch::Added::kWatched);

  FailingCalls no_instances;
  no_instances.Fail({Call::kWatchInit, EMFILE});
  EXPECT_EQ(FailureOf(WatchFolders("quorvane_index.html", no_instances)),
            "Cannot watch folders for changes: Too many open files");
}

TEST(LinuxFolderWatchSystemWideTest, AQueueThatOverflowsAsksForARescan) {
  const TempFolder scratch;
  // A watch takes the limit when it is made.
  testing::QueueLimit limit(16);
  if (!limit.Set()) {
    GTEST_SKIP() << "cannot set " << kQueueLimit << " (not root, or /proc/sys read-only)";
  }
  const auto watch = WatchFolders("quorvane_index.html");
  limit.Restore();
  ASSERT_TRUE(watch);
  EXPECT_EQ(Ok((*watch)->Add(*Ok(SystemFileSystem().OpenFolder(scratch.Path())))),
            FolderWatch::Added::kWatched);
  for (int i = 0; i < 64; ++i) {
    scratch.AddFile("file" + std::to_string(i));
  }
  EXPECT_TRUE(testing::WaitUntil(**watch, [](const Told& told) { return told.rescan; }).rescan);
}

}  // namespace
}  // namespace quorvane::platform
