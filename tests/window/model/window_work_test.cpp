#include "window/model/window_work.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/system_file_system.h"
#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"
#include "window/model/folder_reads.h"
#include "window/model/generation_run.h"

namespace quorvane {
namespace {

// The window's thread, as a test stands in for it: what is posted waits here until run.
class PostedWork {
 public:
  WindowWork::Post Post() {
    return [this](std::function<void()> work) {
      const std::lock_guard lock(mutex_);
      posted_.push_back(std::move(work));
    };
  }
  // Runs what is posted until `done`, or fails the test after a while.
  template <typename Done>
  bool RunUntil(Done done) {
    for (int tries = 0; tries < 5000 && !done(); ++tries) {
      RunPosted();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }
  // Runs what has been posted so far.
  void RunPosted() {
    std::deque<std::function<void()>> now;
    {
      const std::lock_guard lock(mutex_);
      now.swap(posted_);
    }
    for (auto& work : now) {
      work();
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
};

class WindowWorkTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_;
  const platform::Regional regional_ = testing::RegionalOf(testing::UsEnglish());
  const platform::SystemFileSystem files_;
  const testing::ServicesOver services_{regional_, files_};
  PostedWork window_;
  WindowWork work_{testing::TestExecutor(), window_.Post()};
};

// Once the window has waited for its work, no result reaches it, even one already on its way.
TEST_F(WindowWorkTest, NoResultArrivesAfterTheWindowWaitedForItsWork) {
  int delivered = 0;
  work_.Run([](std::stop_token) { return platform::Result<int>(1); },
            [&](platform::Result<int> result) { delivered += *result; });
  ASSERT_TRUE(window_.RunUntil([&] { return delivered == 1; }));
  work_.Run([](std::stop_token) { return platform::Result<int>(1); },
            [&](platform::Result<int> result) { delivered += *result; });
  work_.StopAndWait();  // by now its result is on its way
  window_.RunPosted();
  EXPECT_EQ(delivered, 1);
}

// A later read of a folder takes the place of one under way, which is never shown; a second
// "Make HTML" while one runs is refused by the run.
TEST_F(WindowWorkTest, LaterReadsOvertakeAndOneRunAtATime) {
  folder_.AddFile("a.txt");
  const std::string other = folder_.AddFolder("other");
  FolderReads reads(services_, work_);
  std::vector<std::string> shown;
  const auto show = [&](FolderReading& reading) { shown.push_back(reading.state.CurPath); };
  reads.Read(folder_.Path(), show);
  reads.Read(other, show);
  ASSERT_TRUE(window_.RunUntil([&] { return !reads.Reading(); }));
  EXPECT_EQ(shown, std::vector<std::string>{other + kPathSeparator});

  FileList list(services_);
  list.SetFolder(folder_.Path() + kPathSeparator);
  ASSERT_TRUE(list.ReRead());
  std::vector<std::string> ended;
  GenerationRun run(services_, list, work_, [&](GenerationOutcome outcome) {
    ended.push_back(testing::FailureOf(outcome.OutPath));
  });
  EXPECT_TRUE(run.Start(false, folder_.Path() + kPathSeparator));
  EXPECT_FALSE(run.Start(false, folder_.Path() + kPathSeparator));
  ASSERT_TRUE(window_.RunUntil([&] { return !run.Running(); }));
  EXPECT_EQ(ended, std::vector<std::string>{""});
  EXPECT_EQ(list.CurrentName(), "a.txt");
}

}  // namespace
}  // namespace quorvane
