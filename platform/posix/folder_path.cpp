#include "platform/posix/folder_path.h"

#include <limits.h>  // PATH_MAX
#include <string>    // std::string
#include <utility>   // std::move

#include "platform/posix/system_calls.h"

namespace quorvane::platform {

Result<Descriptor> OpenFolderPath(const SystemCalls& calls, std::string_view path) {
  const auto open = [&](int dir, const char* name) {
    return Descriptor::Open(calls, dir, name, kFolderFlags, Step::kReadFolder, path);
  };
  if (path.size() < PATH_MAX) {
    return open(AT_FDCWD, std::string(path).c_str());
  }
  Descriptor fd;
  std::size_t start = 0;
  if (path.front() == '/') {
    QUORVANE_TRY_ASSIGN(fd, open(AT_FDCWD, "/"));
    start = 1;
  }
  for (;;) {
    if (start >= path.size()) {
      return fd.IsOpen() ? Result<Descriptor>(std::move(fd)) : open(AT_FDCWD, ".");
    }
    std::size_t end = path.size();
    if (end - start >= PATH_MAX) {
      end = path.rfind('/', start + PATH_MAX - 1);
      if (end == std::string_view::npos || end <= start) {
        end = start + PATH_MAX;  // one name longer than any allowed: the open says so
      }
    }
    const std::string stretch(path.substr(start, end - start));
    QUORVANE_TRY_ASSIGN(fd, open(fd.IsOpen() ? fd.Get() : AT_FDCWD, stretch.c_str()));
    start = end + 1;
  }
}

Failure OpenFailure(std::string_view path, std::error_code error) {
  const bool no_folder = error == std::errc::not_a_directory;
  std::string shown(path);
  while (no_folder && shown.size() > 1 && shown.back() == '/') {
    shown.pop_back();
  }
  if (!no_folder && !shown.empty() && shown.back() != '/') {
    shown += '/';
  }
  return Failure(Step::kReadFolder, shown, error);
}

}  // namespace quorvane::platform
