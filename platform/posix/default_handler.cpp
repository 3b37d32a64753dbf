#include "platform/default_handler.h"

#include <fcntl.h>     // O_CLOEXEC
#include <poll.h>      // poll
#include <spawn.h>     // posix_spawn
#include <sys/wait.h>  // waitpid
#include <unistd.h>    // pipe2, read, close
#include <cerrno>      // errno, EINTR
#include <chrono>      // std::chrono
#include <string>      // std::string

extern char** environ;

namespace quorvane::platform {
namespace {

// A shell starts xdg-open in the background and exits at once, so the handler outlives us in a
// session of its own and no child is left for us to reap. The path goes in as an argument,
// never as shell text. With `answer` open, the background job writes xdg-open's exit status
// there once it ends.
int StartHandler(const std::string& path, int answer) {
  std::string shell = "/bin/sh";
  std::string dash_c = "-c";
  std::string script = answer < 0
                           ? "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &"
                           : "(xdg-open \"$1\" </dev/null >/dev/null 2>&1 3>&-; echo $? >&3) &";
  std::string name = "quorvane-open";
  std::string argument = path;
  char* argv[] = {shell.data(), dash_c.data(),   script.data(),
                  name.data(),  argument.data(), nullptr};
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  if (posix_spawnattr_init(&attributes) != 0 || posix_spawn_file_actions_init(&actions) != 0) {
    return ENOMEM;
  }
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  if (answer >= 0) {
    posix_spawn_file_actions_adddup2(&actions, answer, 3);
  }
  pid_t child = 0;
  const int error = posix_spawn(&child, shell.c_str(), &actions, &attributes, argv, environ);
  if (error == 0) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error;
}

// Whether the handler's answer on `answer` is that it opened the file, or it has said nothing
// within `within`: only an exit status other than 0 says it could not.
bool Opened(int answer, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  pollfd ready{answer, POLLIN, 0};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const int polled = poll(&ready, 1, static_cast<int>(left.count() < 0 ? 0 : left.count()));
    if (polled == 0 || (polled < 0 && errno != EINTR)) {
      return true;
    }
    if (polled > 0) {
      char status[8];
      const ssize_t got = read(answer, status, sizeof status);
      return got <= 0 || (status[0] == '0' && got > 1 && status[1] == '\n');
    }
  }
}

}  // namespace

Result<> SystemDefaultHandler::Open(const std::string& path) const {
  int answer[2] = {-1, -1};
  if (answer_within_.count() > 0 && pipe2(answer, O_CLOEXEC) != 0) {
    return Failure(Step::kOpenPage, path, errno);
  }
  const int error = StartHandler(path, answer[1]);
  if (answer[1] >= 0) {
    close(answer[1]);
  }
  const bool opened = error == 0 && (answer[0] < 0 || Opened(answer[0], answer_within_));
  if (answer[0] >= 0) {
    close(answer[0]);
  }
  return opened ? Result<>() : Failure(Step::kOpenPage, path, error);
}

}  // namespace quorvane::platform
