#include "tests/support/in_child.h"

#include <grp.h>       // setgroups
#include <sys/wait.h>  // waitpid
#include <unistd.h>    // fork, pipe, setresuid, setresgid

namespace quorvane::testing {

std::string InChild(const std::function<std::string()>& run) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    return "cannot make a pipe";
  }
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    const std::string result = run();
    const ssize_t written = write(pipe_fds[1], result.data(), result.size());
    _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  close(pipe_fds[1]);
  std::string result;
  char buffer[512];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    result.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return result;
}

bool BecomeNobody() {
  return setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
         setresuid(kNobody, kNobody, kNobody) == 0;
}

}  // namespace quorvane::testing
