#include "platform/folder_arguments.h"

#include <sys/stat.h>  // stat
#include <unistd.h>    // getcwd
#include <cerrno>      // errno, ERANGE, ENOENT
#include <cstdlib>     // std::getenv, realpath, std::free
#include <memory>      // std::unique_ptr
#include <utility>     // std::move
#include <vector>      // std::vector

namespace quorvane::platform {
namespace {

// Calls `visit` with each name of `path` between separators, empty ones left out, and where the
// name ends.
template <typename Visit>
void ForEachName(std::string_view path, Visit&& visit) {
  for (std::size_t start = 0; start < path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    if (end > start) {
      visit(path.substr(start, end - start), end);
    }
    start = end + 1;
  }
}

void Append(std::string& path, std::string_view name) {
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  path += name;
}

bool SameFolder(const char* a, const char* b) {
  struct stat first {};
  struct stat second {};
  return stat(a, &first) == 0 && stat(b, &second) == 0 && S_ISDIR(first.st_mode) &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Whether the shell's $PWD is a path of the working folder: absolute, with no "." or "..".
bool ShellPathFits(const char* shell_says) {
  if (shell_says == nullptr || shell_says[0] != '/') {
    return false;
  }
  bool plain = true;
  ForEachName(shell_says, [&](std::string_view name, std::size_t) {
    plain = plain && name != "." && name != "..";
  });
  return plain && SameFolder(shell_says, ".");
}

// The system's path of `path`, without symlinks, "." or ".."; fails (kReadFolder) naming `path`
// where it has none.
Result<std::string> RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (!resolved) {
    return Failure(Step::kReadFolder, path, errno);
  }
  return std::string(resolved.get());
}

}  // namespace

Result<std::string> WorkingFolder(std::string_view asked) {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      const int error = errno;
      const char* shell_says = std::getenv("PWD");
      if (ShellPathFits(shell_says)) {
        return shell_says;
      }
      return Failure(Step::kReadFolder, asked, error);
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

Result<std::string> AbsoluteFolder(std::string_view given) {
  if (given.empty()) {
    return Failure(Step::kReadFolder, given, ENOENT);
  }
  QUORVANE_TRY_ASSIGN(std::string path,
                      given.front() == '/' ? std::string("/") : WorkingFolder(given));
  // Up to the last "..", the system walks the path; after it, names only go down.
  std::size_t down_from = 0;
  ForEachName(given, [&](std::string_view name, std::size_t end) {
    if (name == "..") {
      down_from = end;
    }
  });
  if (down_from > 0) {
    const std::size_t skip = given.front() == '/' ? 1 : 0;  // Append gives the root's "/"
    std::string walked = skip == 1 ? std::string() : path;
    Append(walked, given.substr(skip, down_from - skip));
    QUORVANE_TRY_ASSIGN(path, RealPath(walked));
  }
  ForEachName(given.substr(down_from), [&](std::string_view name, std::size_t) {
    if (name != ".") {
      Append(path, name);
    }
  });
  return path;
}

Result<std::string> ResolvedFolder(std::string_view given) {
  QUORVANE_TRY_ASSIGN(std::string absolute, AbsoluteFolder(given));
  Result<std::string> resolved = RealPath(absolute);
  return resolved ? std::move(resolved) : std::move(absolute);
}

}  // namespace quorvane::platform
