// What only Linux's watch does: one watch a folder, so that it tells which went away, follows a
// folder added again under a new name, and runs out of watches or of room in its queue.

#include "platform/folder_watch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

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
using quorvane::testing::Ok;
using quorvane::testing::TempFolder;
using quorvane::testing::Told;
using quorvane::testing::WaitFor;

constexpr char kQueueLimit[] = "/proc/sys/fs/inotify/max_queued_events";

// Watches `names` below `scratch` ("" for itself), each through its open folder.
void Watch(FolderWatch& watch, const TempFolder& scratch, std::initializer_list<const char*> names,
           const SystemCalls& calls = SystemCalls::Real()) {
  for (const char* name : names) {
    EXPECT_EQ(Ok(watch.Add(*Ok(SystemFileSystem(calls).OpenFolder(scratch / name)))),
              FolderWatch::Added::kWatched)
        << name;
  }
}

// A tree of top/a/deep and top/s, every folder watched.
struct Tree {
  Tree() {
    scratch.AddFolder("a");
    scratch.AddFolder("a/deep");
    scratch.AddFile("a/deep/x.txt");
    scratch.AddFolder("s");
    Watch(*watch, scratch, {"", "a", "a/deep", "s"});
  }
  std::string Path(const char* name) const {
    return *name == '\0' ? scratch.Path() + "/" : scratch / name + "/";
  }
  // Changes top/s and waits until that is told, and with it all that came before.
  Told ToldSoFar() {
    scratch.AddFile("s/after");
    return WaitFor(*watch, Path("s"));
  }

  TempFolder scratch;
  std::unique_ptr<FolderWatch> watch = Ok(WatchFolders("quorvane_index.html"));
};

TEST(LinuxFolderWatchTest, TellsAFolderRemovedOrMovedAwayAndWatchesNothingBelowIt) {
  Tree removed;
  std::filesystem::remove_all(removed.scratch / "a/deep");
  Told told = removed.ToldSoFar();
  EXPECT_EQ(told.gone, std::set<std::string>{removed.Path("a/deep")});
  EXPECT_FALSE(told.changed.contains(removed.Path("a/deep")));

  Tree moved;
  ASSERT_TRUE(testing::Rename(moved.scratch / "a", moved.scratch / "b"));
  moved.scratch.AddFile("b/deep/y.txt");
  told = moved.ToldSoFar();
  EXPECT_EQ(told.gone, std::set<std::string>{moved.Path("a")});
  EXPECT_EQ(told.changed, (std::set<std::string>{moved.Path(""), moved.Path("s")}));
}

TEST(LinuxFolderWatchTest, FollowsAFolderAddedAgainUnderItsNewName) {
  Tree tree;
  ASSERT_TRUE(testing::Rename(tree.scratch / "a/deep", tree.scratch / "a/moved"));
  Watch(*tree.watch, tree.scratch, {"a/moved"});
  tree.scratch.AddFile("a/moved/y.txt");
  const Told told = tree.ToldSoFar();
  EXPECT_TRUE(told.changed.contains(tree.Path("a/moved")));
  EXPECT_FALSE(told.changed.contains(tree.Path("a/deep")));
}

TEST(LinuxFolderWatchTest, ForgetsAFolderAndAllBelowIt) {
  Tree tree;
  tree.watch->Forget(tree.Path("a"));
  tree.scratch.AddFile("a/y.txt");
  tree.scratch.AddFile("a/deep/y.txt");
  const Told told = tree.ToldSoFar();
  EXPECT_EQ(told.changed, std::set<std::string>{tree.Path("s")});
  EXPECT_TRUE(told.gone.empty());
}

TEST(LinuxFolderWatchTest, TellsAFolderWhoseOwnModeChanged) {
  Tree tree;
  ASSERT_EQ(chmod((tree.scratch / "a/deep").c_str(), 0700), 0);
  EXPECT_TRUE(tree.ToldSoFar().changed.contains(tree.Path("a/deep")));
}

TEST(LinuxFolderWatchTest, OutOfWatchesIsToldAndOtherFailuresNameTheFolder) {
  const TempFolder scratch;
  FailingCalls calls;
  calls.Fail({Call::kAddWatch, ENOSPC, 1});
  calls.Fail({Call::kAddWatch, EACCES, 1});  // counted from the call after
  const auto watch = Ok(WatchFolders("quorvane_index.html", calls));
  const auto folder = Ok(SystemFileSystem(calls).OpenFolder(scratch.Path()));
  EXPECT_EQ(Ok(watch->Add(*folder)), FolderWatch::Added::kOutOfWatches);
  EXPECT_EQ(FailureOf(watch->Add(*folder)),
            "Cannot watch the folder " + scratch.Path() + "/: Permission denied");
  EXPECT_EQ(Ok(watch->Add(*folder)), FolderWatch::Added::kWatched);

  FailingCalls no_instances;
  no_instances.Fail({Call::kWatchInit, EMFILE});
  EXPECT_EQ(FailureOf(WatchFolders("quorvane_index.html", no_instances)),
            "Cannot watch folders for changes: Too many open files");
}

// Sets the system's queue limit for the watches made while this lives, then puts it back.
class QueueLimit {
 public:
  explicit QueueLimit(int limit) {
    std::ifstream(kQueueLimit) >> old_;
    set_ = old_ > 0 && (std::ofstream(kQueueLimit) << limit).flush().good();
  }
  ~QueueLimit() {
    if (set_) {
      std::ofstream(kQueueLimit) << old_;
    }
  }
  bool Set() const { return set_; }

 private:
  int old_ = 0;
  bool set_ = false;
};

TEST(LinuxFolderWatchTest, AQueueThatOverflowsAsksForARescan) {
  const TempFolder scratch;
  std::unique_ptr<FolderWatch> watch;
  {
    // A watch takes the limit when it is made; others made meanwhile are few and brief.
    const QueueLimit limit(16);
    if (!limit.Set()) {
      GTEST_SKIP() << "cannot set " << kQueueLimit << " (not root, or /proc/sys read-only)";
    }
    watch = Ok(WatchFolders("quorvane_index.html"));
  }
  Watch(*watch, scratch, {""});
  for (int i = 0; i < 64; ++i) {
    scratch.AddFile("file" + std::to_string(i));
  }
  EXPECT_TRUE(testing::WaitUntil(*watch, [](const Told& told) { return told.rescan; }).rescan);
}

}  // namespace
}  // namespace quorvane::platform
