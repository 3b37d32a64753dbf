#pragma once

// Runs the built quorvane-index as a user would: arguments, locale, terminal and all.

#include <gtest/gtest.h>

#include <fcntl.h>
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
#include <string>
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
};

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

// The version, from the build: its one home is the project's.
inline const std::string kVersionLine =
    std::string("quorvane-index (quorvane) ") + QUORVANE_VERSION + "\n";
inline const std::string kMadeBy = std::string("quorvane ") + QUORVANE_VERSION;

inline constexpr char kTryHelp[] = "Try 'quorvane-index --help' for more information.\n";

// Gives this process a mount namespace of its own, where mounts neither come from nor go to the
// machine's; as a user without the right, inside a user namespace. "" or why it cannot.
inline std::string PrivateMounts() {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWNS) != 0) {
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      return std::string("unshare: ") + std::strerror(errno);
    }
    WriteFile("/proc/self/setgroups", "deny");
    WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
    WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
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
