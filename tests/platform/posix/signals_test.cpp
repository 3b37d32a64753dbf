// Signals while a page is written: its hidden name goes, and never another run's.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/system_file_system.h"
#include "platform/temporary_names.h"
#include "tests/support/failing_calls.h"
#include "tests/support/posix_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Call;
using quorvane::testing::Entries;
using quorvane::testing::FailingCalls;
using quorvane::testing::kNobody;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

// Calls that make the new page under a hidden name, then stop in the middle of writing it until
// the process is ended.
class StopMidWrite final : public SystemCalls {
 public:
  explicit StopMidWrite(int tell_fd) : tell_fd_(tell_fd) {}
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    return SystemCalls::OpenAt(dir, path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, std::size_t size) const override {
    const ssize_t written = SystemCalls::Write(fd, data, size);
    if (::write(tell_fd_, "w", 1) == 1) {
      pause();
    }
    return written;
  }

 private:
  int tell_fd_;
};

// A signal ends a run with no hidden name left. One ignored when the run started (under nohup)
// stays ignored: a SIGTERM sent after it is the one that ends the run, as the earlier signal
// would be taken first had it been handled.
TEST(PageOutputTest, SignalsLeaveNoHiddenNameBehind) {
  const struct {
    int signal_number;
    bool ignored_at_start;
  } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
  for (const auto& c : cases) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old");
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    if (child == 0) {
      if (c.ignored_at_start) {
        signal(c.signal_number, SIG_IGN);
      }
      RemoveTemporaryNamesOnSignals();
      const StopMidWrite calls(pipe_fds[1]);
      Replace(folder.Path(), "page.html", "new", calls);
      _exit(0);
    }
    char told = 0;
    ASSERT_EQ(read(pipe_fds[0], &told, 1), 1);
    EXPECT_EQ(Entries(folder.Path()).size(), 2u);  // the page and the new one's hidden name
    kill(child, c.signal_number);
    if (c.ignored_at_start) {
      kill(child, SIGTERM);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    const int ended_by = c.ignored_at_start ? SIGTERM : c.signal_number;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == ended_by) << c.signal_number;
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << c.signal_number;
    EXPECT_EQ(ReadFile(folder / "page.html"), "old");
  }
}

// Calls under which another run holds the first hidden name tried, and a signal comes right after
// the attempt to take it fails.
class SignalAfterNameTaken final : public SystemCalls {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    if ((flags & O_EXCL) == 0) {
      return SystemCalls::OpenAt(dir, path, flags, mode);
    }
    const int others = SystemCalls::OpenAt(dir, path, flags, mode);  // the other run's
    close(others);
    const int fd = SystemCalls::OpenAt(dir, path, flags, mode);
    raise(SIGTERM);
    return fd;
  }
};

TEST(PageOutputTest, SignalNeverRemovesAnotherRunsHiddenName) {
  const TempFolder folder;
  WriteFile(folder / "page.html", "old");
  const pid_t child = fork();
  if (child == 0) {
    RemoveTemporaryNamesOnSignals();
    Replace(folder.Path(), "page.html", "new", SignalAfterNameTaken());
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  const std::vector<std::string> names = Entries(folder.Path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(IsTemporaryPageName(names[0])) << names[0];  // the other run's, still there
  EXPECT_EQ(ReadFile(folder / "page.html"), "old");
}

}  // namespace
}  // namespace quorvane::platform
