#include "platform/system_file_system.h"

#include <dirent.h>  // struct dirent64, DT_*
#include <fcntl.h>   // O_*, AT_*
#include <limits.h>  // PATH_MAX
#include <sys/stat.h>
#include <sys/sysmacros.h>  // makedev
#include <cerrno>           // errno
#include <memory>           // std::make_unique
#include <string>           // std::string
#include <utility>          // std::exchange, std::move
#include <vector>           // std::vector

#include "platform/failure.h"
#include "platform/page_output.h"
#include "platform/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr std::size_t kEntryBufferSize = 128 * 1024;

// A descriptor closed when this goes.
class Descriptor {
 public:
  Descriptor(const SystemCalls& calls, int fd) : calls_(calls), fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      calls_.Close(fd_);
    }
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  const SystemCalls& calls_;
  int fd_;
};

// Opens the folder at `path`. A path longer than the system takes in one call is opened a
// stretch of whole names at a time.
int OpenFolderPath(const SystemCalls& calls, std::string_view path) {
  if (path.size() < PATH_MAX) {
    return calls.OpenAt(AT_FDCWD, std::string(path).c_str(), kFolderFlags, 0);
  }
  int fd = AT_FDCWD;
  std::size_t start = 0;
  if (path.front() == '/') {
    fd = calls.OpenAt(AT_FDCWD, "/", kFolderFlags, 0);
    start = 1;
  }
  while (fd >= 0 || fd == AT_FDCWD) {
    if (start >= path.size()) {
      return fd == AT_FDCWD ? calls.OpenAt(AT_FDCWD, ".", kFolderFlags, 0) : fd;
    }
    std::size_t end = path.size();
    if (end - start >= PATH_MAX) {
      end = path.rfind('/', start + PATH_MAX - 1);
      if (end == std::string_view::npos || end <= start) {
        end = start + PATH_MAX;  // one name longer than any allowed: the open says so
      }
    }
    const std::string stretch(path.substr(start, end - start));
    const int next = calls.OpenAt(fd, stretch.c_str(), kFolderFlags, 0);
    const int error = errno;
    if (fd >= 0) {
      calls.Close(fd);
    }
    errno = error;
    fd = next;
    start = end + 1;
  }
  return -1;
}

// The words for a folder at `path` that could not be opened with `error`: it ends in the
// separator as a folder's path does, unless it is no folder at all.
[[noreturn]] void FailToOpen(std::string_view path, int error) {
  std::string shown(path);
  while (error == ENOTDIR && shown.size() > 1 && shown.back() == '/') {
    shown.pop_back();
  }
  if (error != ENOTDIR && !shown.empty() && shown.back() != '/') {
    shown += '/';
  }
  throw Failure(Step::kReadFolder, shown, error);
}

bool IsDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Where a folder lies: its mount, where the system tells it, else its device.
struct Place {
  bool is_folder = false;
  bool has_mount_id = false;
  std::uint64_t mount_id = 0;
  dev_t device = 0;
};

Place PlaceOf(const SystemCalls& calls, int dir_fd, const char* name, int flags) {
  struct statx st {};
  Place place;
  if (calls.StatxAt(dir_fd, name, flags, STATX_TYPE | STATX_MNT_ID, &st) != 0) {
    return place;
  }
  place.is_folder = S_ISDIR(st.stx_mode);
  place.has_mount_id = (st.stx_mask & STATX_MNT_ID) != 0;
  place.mount_id = st.stx_mnt_id;
  place.device = makedev(st.stx_dev_major, st.stx_dev_minor);
  return place;
}

// Mount ids tell a bind mount of the same device apart; where they are missing the device has
// to do.
bool SameVolume(const Place& a, const Place& b) {
  if (a.has_mount_id && b.has_mount_id) {
    return a.mount_id == b.mount_id;
  }
  return a.device == b.device;
}

class SystemFolder final : public Folder {
 public:
  SystemFolder(const SystemCalls& calls, int fd, std::string path)
      : calls_(calls), fd_(calls, fd), path_(std::move(path)) {
    if (path_.empty() || path_.back() != '/') {
      path_ += '/';
    }
    struct stat st {};
    if (calls_.StatAt(fd, "", &st, AT_EMPTY_PATH) != 0) {
      throw Failure(Step::kReadFolder, path_, errno);
    }
    identity_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  }

  const std::string& Path() const override { return path_; }
  FolderIdentity Identity() const override { return identity_; }

  void ReadFileNames(NameSink& names) const override {
    ForEachEntry([&](int dir_fd, const dirent64& entry) {
      if (IsFile(dir_fd, entry) && !IsTemporaryPageName(entry.d_name)) {
        names.Add(entry.d_name);
      }
    });
  }

  std::vector<std::string> SubFolderNames() const override {
    const Place own = PlaceOf(calls_, fd_.Get(), "", AT_EMPTY_PATH);
    std::vector<std::string> names;
    ForEachEntry([&](int dir_fd, const dirent64& entry) {
      if (entry.d_type != DT_DIR && entry.d_type != DT_UNKNOWN) {
        return;
      }
      // A folder removed since the listing fails here and is simply not shown.
      const Place place = PlaceOf(calls_, dir_fd, entry.d_name, AT_SYMLINK_NOFOLLOW);
      if (place.is_folder && SameVolume(place, own)) {
        names.emplace_back(entry.d_name);
      }
    });
    return names;
  }

  std::error_code ReadFacts(const char* name, FileFacts& facts) const noexcept override {
    struct stat st {};
    if (calls_.StatAt(fd_.Get(), name, &st, 0) != 0) {
      const int error = errno;
      // A symlink that leads nowhere (no target, a loop) is still a listed file: show the
      // link's own facts.
      if (calls_.StatAt(fd_.Get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
        return ErrnoError(error);
      }
    }
    facts.length = static_cast<std::int64_t>(st.st_size);
    facts.modified = st.st_mtime;
    return {};
  }

  std::unique_ptr<Folder> OpenSubFolder(std::string_view name) const override {
    const std::string path = path_ + std::string(name);
    const int fd =
        calls_.OpenAt(fd_.Get(), std::string(name).c_str(), kFolderFlags | O_NOFOLLOW, 0);
    if (fd < 0) {
      FailToOpen(path, errno);
    }
    return std::make_unique<SystemFolder>(calls_, fd, path);
  }

  std::unique_ptr<PageOutput> CreatePage(std::string_view name) const override {
    return CreateSystemPage(calls_, fd_.Get(), path_, name);
  }

 private:
  // Calls `visit` with each entry but "." and "..", read from the start through a descriptor of
  // its own, so that listings never share a read position.
  template <typename Visit>
  void ForEachEntry(Visit&& visit) const {
    const Descriptor dir(calls_, calls_.OpenAt(fd_.Get(), ".", kFolderFlags, 0));
    if (dir.Get() < 0) {
      throw Failure(Step::kReadFolder, path_, errno);
    }
    std::vector<char> buffer(kEntryBufferSize);
    for (;;) {
      const ssize_t size = calls_.GetEntries(dir.Get(), buffer.data(), buffer.size());
      if (size < 0) {
        throw Failure(Step::kReadFolder, path_, errno);
      }
      if (size == 0) {
        return;
      }
      for (ssize_t at = 0; at < size;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
        at += entry->d_reclen;
        if (!IsDot(entry->d_name)) {
          visit(dir.Get(), *entry);
        }
      }
    }
  }

  // Whether the entry is not a folder and leads to none. The entry's type from the listing
  // settles most; only symlinks and file systems that give no type cost a status call.
  bool IsFile(int dir_fd, const dirent64& entry) const {
    if (entry.d_type == DT_DIR) {
      return false;
    }
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
      return true;
    }
    struct stat st {};
    return calls_.StatAt(dir_fd, entry.d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode);
  }

  const SystemCalls& calls_;
  Descriptor fd_;
  std::string path_;
  FolderIdentity identity_;
};

}  // namespace

SystemFileSystem::SystemFileSystem(const SystemCalls& calls) : calls_(calls) {}

SystemFileSystem::SystemFileSystem() : SystemFileSystem(SystemCalls::Real()) {}

std::unique_ptr<Folder> SystemFileSystem::OpenFolder(std::string_view path) const {
  const int fd = path.empty() ? (errno = ENOENT, -1) : OpenFolderPath(calls_, path);
  if (fd < 0) {
    FailToOpen(path, errno);
  }
  return std::make_unique<SystemFolder>(calls_, fd, std::string(path));
}

}  // namespace quorvane::platform
