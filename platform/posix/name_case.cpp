#include "platform/posix/name_case.h"

#include <dirent.h>  // struct dirent64
#include <fcntl.h>   // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>       // errno
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/posix/descriptor.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

// ASCII only, whatever the locale: the page's name is ASCII.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char SwapCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : Lower(c); }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) {
      return false;
    }
  }
  return true;
}

// Sets `found` to the entry of the folder `dir_fd` listed under `name`, else to one whose name
// differs from it only in letter case, else to nothing. Returns 0 or the error.
int ListedName(const SystemCalls& calls, int dir_fd, const std::string& name, std::string& found) {
  const Descriptor fd = Descriptor::Open(calls, dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!fd.IsOpen()) {
    return errno;
  }
  found.clear();
  std::vector<char> buffer(32 * 1024);
  ssize_t size = 0;
  while (found != name && (size = calls.GetEntries(fd.Get(), buffer.data(), buffer.size())) > 0) {
    for (ssize_t at = 0; at < size;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
      at += entry->d_reclen;
      if (entry->d_name == name || (found.empty() && EqualIgnoringCase(entry->d_name, name))) {
        found = entry->d_name;
      }
    }
  }
  return size < 0 ? errno : 0;
}

}  // namespace

int FindOtherCase(const SystemCalls& calls, int dir_fd, const std::string& name,
                  std::string& other) {
  other.clear();
  std::string swapped = name;
  for (char& c : swapped) {
    c = SwapCase(c);
  }
  struct stat st {};
  if (swapped == name || calls.StatAt(dir_fd, swapped.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return 0;  // case is told apart, so nothing but `name` answers to it
  }
  std::string found;
  if (const int error = ListedName(calls, dir_fd, name, found)) {
    return error;
  }
  if (found != name) {
    // None listed: the system folds more than ASCII letters, so the spelling it answered to.
    other = found.empty() ? swapped : found;
  }
  return 0;
}

}  // namespace quorvane::platform
