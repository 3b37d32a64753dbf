#include "platform/file_system.h"

#include <dirent.h>    // opendir, readdir
#include <fcntl.h>     // AT_SYMLINK_NOFOLLOW
#include <sys/stat.h>  // fstatat, stat
#include <cerrno>      // errno

#include "platform/failure.h"
#include "platform/folder_entries.h"

namespace quorvane::platform {
namespace {

// Whether the entry is a folder or leads to one. The entry type from the folder itself settles
// most entries; only symlinks and file systems that give no type cost a status call.
bool IsFolder(int dir_fd, const dirent& entry) {
  if (entry.d_type == DT_DIR) {
    return true;
  }
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
    return false;
  }
  struct stat st {};
  return fstatat(dir_fd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::vector<std::string> SystemFileSystem::FileNames(const std::string& folder) const {
  const OpenFolder dir(opendir(folder.c_str()));
  if (!dir) {
    ThrowSystemFailure(errno, folder);
  }
  const int dir_fd = dirfd(dir.get());
  std::vector<std::string> names;
  ForEachEntry(dir.get(), folder, [&](const dirent& entry) {
    if (!IsFolder(dir_fd, entry)) {
      names.emplace_back(entry.d_name);
    }
  });
  return names;
}

FileFacts SystemFileSystem::Facts(const std::string& path) const {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    const int error = errno;
    // A symlink that leads nowhere (no target, a loop) is still a listed file: show the link's
    // own facts.
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      ThrowSystemFailure(error, path);
    }
  }
  return FileFacts{static_cast<std::int64_t>(st.st_size), st.st_mtime};
}

}  // namespace quorvane::platform
