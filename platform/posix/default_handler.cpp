#include "platform/default_handler.h"

#include <spawn.h>     // posix_spawn
#include <sys/wait.h>  // waitpid
#include <cerrno>      // errno, EINTR
#include <string>      // std::string

extern char** environ;

namespace quorvane::platform {

void SystemDefaultHandler::Open(const std::string& path) const {
  // A shell starts xdg-open in the background and exits at once, so the handler outlives us in a
  // session of its own and no child is left for us to reap. The path goes in as an argument,
  // never as shell text.
  std::string shell = "/bin/sh";
  std::string dash_c = "-c";
  std::string script = "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
  std::string name = "quorvane-open";
  std::string argument = path;
  char* argv[] = {shell.data(), dash_c.data(),   script.data(),
                  name.data(),  argument.data(), nullptr};

  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    return;
  }
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  if (posix_spawn(&child, shell.c_str(), nullptr, &attributes, argv, environ) == 0) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawnattr_destroy(&attributes);
}

}  // namespace quorvane::platform
