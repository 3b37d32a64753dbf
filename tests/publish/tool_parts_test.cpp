// The parts of quorvane-index that a run through the program cannot reach on purpose: a file
// system that fails to sync, a folder moved away while a walk is below it, a run slow enough to
// show its progress.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "publish/console.h"
#include "publish/page_batch.h"
#include "publish/tree_pages.h"
#include "publish/tree_walk.h"
#include "tests/support/fakes.h"
#include "tests/support/in_child.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Step;

// A sealed page that notes what is done to it; syncing volume 13 fails.
class NotedPage final : public platform::PageOutput {
 public:
  NotedPage(std::string path, std::uint64_t volume, std::map<std::uint64_t, int>& syncs,
            std::mutex& mutex)
      : path_(std::move(path)), volume_(volume), syncs_(syncs), mutex_(mutex) {}
  platform::Result<> Write(std::string_view) override { return {}; }
  platform::Result<> Commit() override { return {}; }
  std::uint64_t Volume() const override { return volume_; }
  platform::Result<> SyncVolume() override {
    const std::lock_guard lock(mutex_);
    ++syncs_[volume_];
    if (volume_ == 13) {
      return Failure(Step::kWritePage, path_, EIO);
    }
    return {};
  }

 private:
  std::string path_;
  std::uint64_t volume_;
  std::map<std::uint64_t, int>& syncs_;
  std::mutex& mutex_;
};

TEST(PageBatchTest, WaitsOnceForEachFileSystemAndFailsThePagesOfOneThatCannot) {
  std::mutex mutex;
  std::map<std::uint64_t, int> syncs;
  std::vector<std::string> placed;
  std::vector<std::string> failed;
  PageBatch batch(
      4, testing::TestExecutor(), [&](const SealedPage& page) { placed.push_back(page.path); },
      [&](const SealedPage& page, const Failure& failure) {
        EXPECT_EQ(failure.path, page.path);
        failed.push_back(platform::Describe(failure));
      });
  const std::uint64_t volumes[] = {1, 13, 1, 2, 13, 1};
  for (std::size_t i = 0; i < std::size(volumes); ++i) {
    const std::string path = "p" + std::to_string(i);
    batch.Add({std::make_unique<NotedPage>(path, volumes[i], syncs, mutex), path});
    // The first four wait for the disk together, once full.
    EXPECT_EQ(placed.size() + failed.size(), i < 3 ? 0u : 4u) << i;
  }
  batch.Flush();
  EXPECT_EQ(placed, (std::vector<std::string>{"p0", "p2", "p3", "p5"}));
  EXPECT_EQ(failed, (std::vector<std::string>{"Cannot write the page p1: Input/output error",
                                              "Cannot write the page p4: Input/output error"}));
  EXPECT_EQ(syncs, (std::map<std::uint64_t, int>{{1, 2}, {2, 1}, {13, 2}}));
}

// A folder moved elsewhere while the walk is below it: what was still to do below its old
// parent is done all the same, that parent found again from the top.
TEST(TreeWalkTest, FindsItsWayBackWhenAFolderMovesAway) {
  const testing::TempFolder scratch;
  for (const char* folder : {"top", "top/a", "top/a/b", "top/a/b/c", "top/a/z", "top/x"}) {
    scratch.AddFolder(folder);
  }
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  const NameRules rules;
  std::vector<std::string> visited;
  std::vector<std::string> failed;
  std::vector<std::string> done;  // each once all below it is, where it is then
  const std::string top = scratch / "top/";
  TreeWalk(rules, regional, 1)
      .Walk(
          testing::Ok(platform::SystemFileSystem().OpenFolder(top)),
          [&](Listing& listing) {
            visited.push_back(listing.folder->Path().substr(top.size()));
            EXPECT_EQ(listing.below, visited.back());
            if (visited.back() == "a/b/c/") {
              std::rename((top + "a/b").c_str(), (top + "x/b").c_str());
            }
          },
          [&](const Failure& failure) { failed.push_back(platform::Describe(failure)); },
          [&](std::shared_ptr<const platform::Folder> folder) {
            done.push_back(folder->Path().substr(top.size()));
          });
  EXPECT_EQ(visited,
            (std::vector<std::string>{"", "a/", "a/b/", "a/b/c/", "a/z/", "x/", "x/b/", "x/b/c/"}));
  EXPECT_EQ(failed, std::vector<std::string>{});
  EXPECT_EQ(done,
            (std::vector<std::string>{"a/b/c/", "a/b/", "a/z/", "a/", "x/b/c/", "x/b/", "x/", ""}));
}

// A page that fails only as it is put in place, with no old page there: once all is placed, the
// page above, which links to it, and those below, which link up to it, are written again, linked
// to the pages there are; with an old page there instead, nothing is.
TEST(TreePagesTest, WritesAgainThePagesLinkedToAPageThatFailedAsItWasPlaced) {
  const testing::TempFolder scratch;
  for (const char* folder : {"top", "top/a", "top/a/x", "top/b"}) {
    scratch.AddFolder(folder);
  }
  for (const char* page :
       {"top/quorvane_index.html", "top/a/x/quorvane_index.html", "top/b/quorvane_index.html"}) {
    scratch.AddFile(page);
  }
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  const NameRules rules;
  const std::string top = scratch / "top/";
  std::vector<std::string> written;  // each page's path below the top, and its links
  TreePages tree(
      testing::Ok(platform::SystemFileSystem().OpenFolder(top)), rules, regional, true,
      [&](Listing& listing, const FolderLinks& links, bool, PageBatch* batch) {
        EXPECT_EQ(batch, nullptr);
        written.push_back("[" + listing.below + "]" + (links.up ? " ../" : ""));
        for (const std::string& name : links.down) {
          written.back() += " " + name + "/";
        }
        return platform::Result<>();
      },
      [](const Failure& failure, const std::string&) {
        ADD_FAILURE() << platform::Describe(failure);
      });
  tree.PlaceFailed(top + "a/quorvane_index.html");
  tree.Mend();
  EXPECT_EQ(written, (std::vector<std::string>{"[] b/", "[a/x/]"}));
  scratch.AddFile("top/a/quorvane_index.html");
  tree.Mend();
  EXPECT_EQ(written.size(), 2u);
}

// The progress line on a terminal standard error stays while page paths go to a file: only the
// end clears it.
TEST(ConsoleTest, PathsToAnotherStreamLeaveTheProgressLine) {
  int terminal = -1;
  int user_side = -1;
  ASSERT_EQ(openpty(&terminal, &user_side, nullptr, nullptr, nullptr), 0);
  const testing::TempFolder scratch;
  const std::string out = scratch / "out";
  const std::string shown = testing::InChild([&] {
    dup2(user_side, STDERR_FILENO);
    const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, STDOUT_FILENO);
    Console console;
    console.AddFiles(10);
    // A run that shows its progress at once, rather than after a second.
    console.ShowProgress(testing::TestExecutor(), std::chrono::milliseconds(0));
    const auto shown = [&] {
      for (int tries = 0; tries < 500 && !console.ProgressShown(); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      return console.ProgressShown();
    };
    if (!shown()) {
      return std::string("no progress line");
    }
    for (const char* path : {"/a/quorvane_index.html", "/b/quorvane_index.html"}) {
      console.PagePath(path);
      if (!console.ProgressShown()) {
        return std::string("a path cleared the line");
      }
    }
    console.Finish(0);
    return std::string();
  });
  EXPECT_EQ(shown, "");
  close(user_side);
  std::string line;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) {
    line.append(buffer, static_cast<std::size_t>(got));
  }
  close(terminal);
  EXPECT_NE(line.find("\rquorvane-index: 0 of 10 files"), std::string::npos) << line;
  EXPECT_EQ(line.find("\r\033[K"), line.size() - 4) << line;  // cleared once, at the end
  EXPECT_EQ(testing::ReadFile(out), "/a/quorvane_index.html\n/b/quorvane_index.html\n");
}

}  // namespace
}  // namespace quorvane::tool
