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

// The entry of the folder `dir_fd` listed under `name`, else one whose name differs from it only
// in letter case, else "".
Result<std::string> ListedName(const SystemCalls& calls, int dir_fd, const std::string& name,
                               Step step, std::string_view page_path) {
  QUORVANE_TRY_ASSIGN(
      const Descriptor fd,
      Descriptor::Open(calls, dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, step, page_path));
  std::string found;
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
  if (size < 0) {
    return Failure(step, page_path, errno);
  }
  return found;
}

}  // namespace

Result<std::string> FindOtherCase(const SystemCalls& calls, int dir_fd, const std::string& name,
                                  Step step, std::string_view page_path) {
  std::string swapped = name;
  for (char& c : swapped) {
    c = SwapCase(c);
  }
  struct stat st {};
  if (swapped == name || calls.StatAt(dir_fd, swapped.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::string();  // case is told apart, so nothing but `name` answers to it
  }
  QUORVANE_TRY_ASSIGN(const std::string found, ListedName(calls, dir_fd, name, step, page_path));
  if (found == name) {
    return std::string();
  }
  // None listed: the system folds more than ASCII letters, so the spelling it answered to;
  // unless the file has gone since, and nothing answers to the name now.
  if (found.empty() && calls.StatAt(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::string();
  }
  return found.empty() ? swapped : found;
}

// Each file system says for itself: most tell case apart, and a pattern matches as the shell's.
bool NamesIgnoreCase() { return false; }

}  // namespace quorvane::platform
