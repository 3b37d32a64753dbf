#pragma once

// Runs the built quorvane-index as a user would: arguments, locale, terminal and all.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "publishing_cases.h"
#include "tests/support/in_child.h"
#include "tests/support/temp_folder.h"

namespace quorvane::testing {

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
  int watches = 0;  // in a user namespace of its own, the most folders it may watch; 0: as it is
};

// The exit status of a tool that could not be given a user namespace of its own.
inline constexpr int kNoUserNamespace = 126;

// Makes this process root of a user namespace of its own, and of the namespaces `also` names;
// false when it cannot.
inline bool OwnUserNamespace(int also = 0) {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | also) != 0) {
    return false;
  }
  WriteFile("/proc/self/setgroups", "deny");
  WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
  WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
  return true;
}

// Makes this process root of a user namespace of its own, whose users may watch `watches` folders
// in all; false when it cannot.
inline bool LimitWatches(int watches) {
  if (!OwnUserNamespace()) {
    return false;
  }
  WriteFile("/proc/sys/user/max_inotify_watches", std::to_string(watches));
  return ReadFile("/proc/sys/user/max_inotify_watches") == std::to_string(watches) + "\n";
}

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

[[noreturn]] inline void ExecTool(const ToolRun& run) {
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
  if (run.watches != 0 && !LimitWatches(run.watches)) {
    _exit(kNoUserNamespace);
  }
  std::vector<char*> argv{const_cast<char*>(QUORVANE_INDEX_TOOL)};
  for (const auto& argument : run.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

inline int WaitFor(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs the tool with standard output and error going to files (not a terminal).
inline ToolResult RunTool(const ToolRun& run) {
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
inline ToolResult RunOnTerminal(const ToolRun& run) {
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

// The tool started to keep a tree current (--watch), what it prints and its errors read as they
// come.
class WatchingTool {
 public:
  explicit WatchingTool(const ToolRun& run) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return;
    }
    child_ = fork();
    if (child_ == 0) {
      if (dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) {
        _exit(127);
      }
      close(out[0]);
      close(err[0]);
      ExecTool(run);
    }
    close(out[1]);
    close(err[1]);
    streams_[0].fd = out[0];
    streams_[1].fd = err[0];
  }
  WatchingTool(const WatchingTool&) = delete;
  WatchingTool& operator=(const WatchingTool&) = delete;
  ~WatchingTool() {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      testing::WaitFor(child_);
    }
    for (const Stream& stream : streams_) {
      close(stream.fd);
    }
  }

  // Reads the lines the tool prints until each of `lines` has come, or until 30 s pass without
  // anything, which fails the test; gives every line read.
  std::vector<std::string> Printed(const std::set<std::string>& lines) {
    std::set<std::string> missing = lines;
    std::vector<std::string> read;
    while (!missing.empty()) {
      std::string& out = streams_[0].text;
      if (const std::size_t end = out.find('\n'); end != std::string::npos) {
        read.push_back(out.substr(0, end));
        out.erase(0, end + 1);
        missing.erase(read.back());
      } else if (!ReadMore(30000)) {
        ADD_FAILURE() << "nothing more printed; still waiting for " << *missing.begin();
        break;
      }
    }
    return read;
  }

  // Waits until the tool has written `words` on standard error `times` times, failing the test
  // after 30 s without anything; gives all it wrote there.
  std::string Said(const std::string& words, int times = 1) {
    const std::string& err = streams_[1].text;
    while (Count(err, words) < times) {
      if (!ReadMore(30000)) {
        ADD_FAILURE() << "never said: " << words << "\nbut: " << err;
        break;
      }
    }
    return err;
  }

  // Sends `signal_number`, then waits for the tool to end: its status, the rest of what it
  // printed, and all it wrote on standard error.
  ToolResult Stop(int signal_number = SIGTERM) {
    kill(child_, signal_number);
    while (ReadMore(-1)) {
    }
    ToolResult result;
    result.status = testing::WaitFor(std::exchange(child_, 0));
    result.out = std::exchange(streams_[0].text, {});
    result.err = streams_[1].text;
    return result;
  }

  static int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
      ++count;
    }
    return count;
  }

 private:
  struct Stream {
    int fd = -1;
    std::string text;  // read, not yet taken
    bool ended = false;
  };

  // Reads what comes within `timeout` milliseconds (-1: no end) on either stream; false when
  // nothing came in time, or both have ended.
  bool ReadMore(int timeout) {
    pollfd ready[2];
    for (std::size_t i = 0; i < 2; ++i) {
      // A negative descriptor is passed over.
      ready[i] = {streams_[i].ended ? -1 : streams_[i].fd, POLLIN, 0};
    }
    if ((streams_[0].ended && streams_[1].ended) || poll(ready, 2, timeout) <= 0) {
      return false;
    }
    for (std::size_t i = 0; i < 2; ++i) {
      char buffer[4096];
      if (ready[i].revents != 0) {
        const ssize_t got = read(streams_[i].fd, buffer, sizeof buffer);
        streams_[i].ended = got <= 0;
        streams_[i].text.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
      }
    }
    return true;
  }

  pid_t child_ = -1;
  Stream streams_[2];  // standard output, standard error
};

inline void Shell(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The pages under `root`, by their paths from it, sorted.
inline std::vector<std::string> PagesUnder(const std::string& root) {
  std::vector<std::string> pages;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.path().filename() == "quorvane_index.html" && !entry.is_directory()) {
      pages.push_back(entry.path().lexically_relative(root).string());
    }
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

// Which file or folder is at `path`, and when it last changed.
inline std::tuple<ino_t, time_t, long> Stamp(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return std::tuple{st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// The version, from the build: its one home is the project's.
inline const std::string kVersionLine =
    std::string("quorvane-index (quorvane) ") + QUORVANE_VERSION + "\n";
inline const std::string kMadeBy = std::string("quorvane ") + QUORVANE_VERSION;

inline constexpr char kTryHelp[] = "Try 'quorvane-index --help' for more information.\n";

// Gives this process a mount namespace of its own, where mounts neither come from nor go to the
// machine's; as a user without the right, inside a user namespace. "" or why it cannot.
inline std::string PrivateMounts() {
  if (unshare(CLONE_NEWNS) != 0 && !OwnUserNamespace(CLONE_NEWNS)) {
    return std::string("unshare: ") + std::strerror(errno);
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return std::string("mount --make-rprivate /: ") + std::strerror(errno);
  }
  return "";
}

inline bool MountTmpfs(const std::string& where) {
  return mount("tmpfs", where.c_str(), "tmpfs", 0, "size=1m") == 0;
}

}  // namespace quorvane::testing
