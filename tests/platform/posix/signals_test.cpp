// Signals while a page is written: its hidden name goes, and never another run's.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <vector>

#include "platform/executor.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/stop_signals.h"
#include "platform/system_file_system.h"
#include "platform/temporary_names.h"
#include "tests/support/posix_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Entries;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

// Calls that make the new page under a hidden name, then stop until the process is ended: in the
// middle of writing it, or once it is sealed and waits to be placed.
class StopWhileNamed final : public SystemCalls {
 public:
  StopWhileNamed(int tell_fd, bool sealed) : tell_fd_(tell_fd), sealed_(sealed) {}
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    return SystemCalls::OpenAt(dir, path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, std::size_t size) const override {
    const ssize_t written = SystemCalls::Write(fd, data, size);
    Stop(!sealed_);
    return written;
  }
  int SyncFileSystem(int fd) const override {
    Stop(sealed_);
    return SystemCalls::SyncFileSystem(fd);
  }

 private:
  void Stop(bool here) const {
    if (here && ::write(tell_fd_, "w", 1) == 1) {
      pause();
    }
  }

  int tell_fd_;
  bool sealed_;
};

// Takes the signals as the programs do at their start, `signal_number` ignored before where
// `ignored_at_start` (as under nohup).
void StartAsTheProgramsDo(int signal_number, bool ignored_at_start) {
  if (ignored_at_start) {
    signal(signal_number, SIG_IGN);
  }
  RemoveTemporaryNamesOnSignals();
}

// A signal ends a run with no hidden name left, whether the page is being written or waits,
// sealed, to be placed. One ignored when the run started (under nohup) stays ignored: a SIGTERM
// sent after it is the one that ends the run, as the earlier signal would be taken first had it
// been handled.
TEST(PageOutputTest, SignalsLeaveNoHiddenNameBehind) {
  const struct {
    int signal_number;
    bool ignored_at_start;
    bool sealed = false;
  } cases[] = {
      {SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}, {SIGTERM, false, true}};
  for (const auto& c : cases) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old");
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    if (child == 0) {
      StartAsTheProgramsDo(c.signal_number, c.ignored_at_start);
      const StopWhileNamed calls(pipe_fds[1], c.sealed);
      Replace(folder.Path(), "page.html", "new", calls, c.sealed);
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
// the attempt to take it fails: to start the page under it, or to link the unnamed page in.
class SignalAfterNameTaken final : public SystemCalls {
 public:
  explicit SignalAfterNameTaken(bool unnamed) : unnamed_(unnamed) {}
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE && !unnamed_) {
      errno = EOPNOTSUPP;
      return -1;
    }
    if ((flags & O_EXCL) == 0) {
      return SystemCalls::OpenAt(dir, path, flags, mode);
    }
    TakenByAnother(dir, path);
    const int fd = SystemCalls::OpenAt(dir, path, flags, mode);
    raise(SIGTERM);
    return fd;
  }
  int LinkAt(int from_dir, const char* from, int to_dir, const char* to, int flags) const override {
    TakenByAnother(to_dir, to);
    const int linked = SystemCalls::LinkAt(from_dir, from, to_dir, to, flags);
    raise(SIGTERM);
    return linked;
  }

 private:
  void TakenByAnother(int dir, const char* name) const {
    close(SystemCalls::OpenAt(dir, name, O_WRONLY | O_CREAT | O_EXCL, 0644));
  }

  bool unnamed_;
};

TEST(PageOutputTest, SignalNeverRemovesAnotherRunsHiddenName) {
  for (const bool unnamed : {false, true}) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old");
    const pid_t child = fork();
    if (child == 0) {
      RemoveTemporaryNamesOnSignals();
      Replace(folder.Path(), "page.html", "new", SignalAfterNameTaken(unnamed));
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << unnamed;
    const std::vector<std::string> names = Entries(folder.Path());
    ASSERT_EQ(names.size(), 2u) << unnamed;
    EXPECT_TRUE(IsTemporaryPageName(names[0])) << names[0];  // the other run's, still there
    EXPECT_EQ(ReadFile(folder / "page.html"), "old") << unnamed;
  }
}

// Tells on a pipe that it was asked to stop, as a signal handler may.
class ToldToStop final : public SignalStoppable {
 public:
  explicit ToldToStop(int tell_fd) : tell_fd_(tell_fd) {}
  void StopNow() noexcept override { static_cast<void>(::write(tell_fd_, "s", 1)); }

 private:
  int tell_fd_;
};

// While work may be stopped, the first signal asks it to stop and ends nothing; a second one ends
// the program as before. A signal ignored when the program started stays ignored, and once the
// work is done, a signal ends the program again.
TEST(StopOnSignalsTest, TheFirstSignalAsksToStopAndTheSecondEnds) {
  const struct {
    int signal_number;
    bool ignored_at_start;
    bool done_first;  // the work done before the signal comes
    const char* told;
  } cases[] = {{SIGINT, false, false, "s"},
               {SIGTERM, false, false, "s"},
               {SIGHUP, false, false, "s"},
               {SIGHUP, true, false, ""},
               {SIGTERM, false, true, ""}};
  for (const auto& c : cases) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    if (child == 0) {
      StartAsTheProgramsDo(c.signal_number, c.ignored_at_start);
      ToldToStop work(pipe_fds[1]);
      {
        const StopOnSignals stop(work);
        if (!c.done_first) {
          raise(c.signal_number);
          raise(c.signal_number);
        }
      }
      if (c.done_first) {
        raise(c.signal_number);
      }
      _exit(0);
    }
    close(pipe_fds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char told[2] = {};
    EXPECT_EQ(read(pipe_fds[0], told, 1) == 1 ? told : "", std::string(c.told)) << c.signal_number;
    close(pipe_fds[0]);
    if (c.ignored_at_start) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.signal_number;
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number) << c.signal_number;
    }
  }
}

// Calls under which a signal comes the moment the new page's hidden name is made, before the
// page holds it: sent to the process, which takes it on whichever thread lets it in.
class SignalOnceNamed final : public SystemCalls {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    const int fd = SystemCalls::OpenAt(dir, path, flags, mode);
    if ((flags & O_EXCL) != 0) {
      kill(getpid(), SIGTERM);
    }
    return fd;
  }
};

// The signal waits until the name is held, then removes it: on the thread that makes it, whose
// signals wait meanwhile, and on a thread of the pool, while the main thread takes the signal and
// its clean-up waits for the name.
TEST(PageOutputTest, ASignalWhileANameIsMadeStillRemovesIt) {
  for (const bool on_pool : {false, true}) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old");
    const pid_t child = fork();
    if (child == 0) {
      RemoveTemporaryNamesOnSignals();
      const SignalOnceNamed calls;
      if (on_pool) {
        const Executor pool(1);
        pool.Run([&](std::stop_token) { Replace(folder.Path(), "page.html", "new", calls); });
      } else {
        Replace(folder.Path(), "page.html", "new", calls);
      }
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << on_pool;
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << on_pool;
    // On the pool's thread the page may be placed before the main thread takes the signal: one
    // whole page or the other.
    const std::string page = ReadFile(folder / "page.html");
    EXPECT_TRUE(page == "old" || (on_pool && page == "new")) << page;
  }
}

}  // namespace
}  // namespace quorvane::platform
