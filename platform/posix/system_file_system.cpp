#include "platform/system_file_system.h"

#include <dirent.h>        // struct dirent64, DT_*
#include <fcntl.h>         // O_*, AT_*
#include <limits.h>        // PATH_MAX
#include <sys/resource.h>  // getrlimit
#include <sys/stat.h>
#include <atomic>   // std::atomic
#include <cerrno>   // errno
#include <memory>   // std::make_unique
#include <string>   // std::string
#include <utility>  // std::move
#include <vector>   // std::vector

#include "platform/failure.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/descriptor_folder.h"
#include "platform/posix/folder_place.h"
#include "platform/posix/page_output.h"
#include "platform/posix/page_reader.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr std::size_t kEntryBufferSize = 128 * 1024;

// Opens the folder at `path`; none, with errno, when it cannot. A path longer than the system
// takes in one call is opened a stretch of whole names at a time.
Descriptor OpenFolderPath(const SystemCalls& calls, std::string_view path) {
  if (path.size() < PATH_MAX) {
    return Descriptor::Open(calls, AT_FDCWD, std::string(path).c_str(), kFolderFlags);
  }
  Descriptor fd;
  std::size_t start = 0;
  if (path.front() == '/') {
    fd = Descriptor::Open(calls, AT_FDCWD, "/", kFolderFlags);
    start = 1;
    if (!fd.IsOpen()) {
      return fd;
    }
  }
  for (;;) {
    if (start >= path.size()) {
      return fd.IsOpen() ? std::move(fd) : Descriptor::Open(calls, AT_FDCWD, ".", kFolderFlags);
    }
    std::size_t end = path.size();
    if (end - start >= PATH_MAX) {
      end = path.rfind('/', start + PATH_MAX - 1);
      if (end == std::string_view::npos || end <= start) {
        end = start + PATH_MAX;  // one name longer than any allowed: the open says so
      }
    }
    const std::string stretch(path.substr(start, end - start));
    fd = Descriptor::Open(calls, fd.IsOpen() ? fd.Get() : AT_FDCWD, stretch.c_str(), kFolderFlags);
    if (!fd.IsOpen()) {
      return fd;
    }
    start = end + 1;
  }
}

// The failure of a folder at `path` that could not be opened with `error`: its path ends in the
// separator as a folder's does, unless it is no folder at all.
Failure OpenFailure(std::string_view path, int error) {
  std::string shown(path);
  while (error == ENOTDIR && shown.size() > 1 && shown.back() == '/') {
    shown.pop_back();
  }
  if (error != ENOTDIR && !shown.empty() && shown.back() != '/') {
    shown += '/';
  }
  return Failure(Step::kReadFolder, shown, error);
}

bool IsDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The folder a path ending in "/" is in, ending in "/" too; the root is its own.
std::string ParentPath(const std::string& path) {
  const std::size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) {
    return path;
  }
  const std::size_t slash = path.rfind('/', end);
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

class SystemFolder final : public DescriptorFolder {
 public:
  // Takes `fd`, an open folder of place `own` at `path`, which ends in "/".
  SystemFolder(const SystemCalls& calls, Descriptor&& fd, std::string path, const Place& own)
      : calls_(calls), fd_(std::move(fd)), path_(std::move(path)), own_(own) {}

  // The folder `fd` opened at `path`; the failure to open it, with errno, when it is not open.
  static Result<std::unique_ptr<Folder>> Of(const SystemCalls& calls, Descriptor fd,
                                            std::string path) {
    if (!fd.IsOpen()) {
      return OpenFailure(path, errno);
    }
    if (path.empty() || path.back() != '/') {
      path += '/';
    }
    Place own;
    if (!PlaceOf(calls, fd.Get(), "", AT_EMPTY_PATH, own)) {
      return Failure(Step::kReadFolder, path, errno);
    }
    // Where the allocation throws, `fd` still closes it.
    return std::make_unique<SystemFolder>(calls, std::move(fd), std::move(path), own);
  }

  const std::string& Path() const override { return path_; }
  int Fd() const override { return fd_.Get(); }
  FolderIdentity Identity() const override {
    return {static_cast<std::uint64_t>(own_.device), own_.inode};
  }
  std::uint64_t Mount() const override { return MountOf(own_); }

  Result<FileFacts> ReadFacts(const char* name) const override {
    struct stat st {};
    if (calls_.StatAt(fd_.Get(), name, &st, AT_NO_AUTOMOUNT) != 0) {
      const int error = errno;
      // A symlink that leads nowhere (no target, a loop) is still a listed file: show the
      // link's own facts.
      if (calls_.StatAt(fd_.Get(), name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0 ||
          !S_ISLNK(st.st_mode)) {
        return Failure(Step::kReadFileFacts, path_ + name, error);
      }
    }
    return FileFacts{static_cast<std::int64_t>(st.st_size), st.st_mtime};
  }

  Result<std::unique_ptr<Folder>> OpenSubFolder(std::string_view name) const override {
    return Of(
        calls_,
        Descriptor::Open(calls_, fd_.Get(), std::string(name).c_str(), kFolderFlags | O_NOFOLLOW),
        path_ + std::string(name));
  }

  Result<std::unique_ptr<PageOutput>> CreatePage(std::string_view name) const override {
    return CreateSystemPage(calls_, fd_.Get(), path_, name);
  }

  Result<std::unique_ptr<Folder>> OpenParent() const override {
    const std::string path = ParentPath(path_);
    Descriptor parent = Descriptor::Open(calls_, fd_.Get(), "..", kFolderFlags);
    if (!parent.IsOpen()) {
      return Failure(Step::kReadFolder, path, errno);
    }
    return Of(calls_, std::move(parent), path);
  }

  bool HasFile(std::string_view path) const override {
    struct stat st {};
    return calls_.StatAt(fd_.Get(), std::string(path).c_str(), &st, AT_NO_AUTOMOUNT) == 0 &&
           !S_ISDIR(st.st_mode);
  }

  Result<> CheckPage(std::string_view name) const override {
    return CheckSystemPage(calls_, fd_.Get(), path_, name);
  }

  Result<std::unique_ptr<PageReader>> ReadPage(std::string_view name) const override {
    return ReadSystemPage(calls_, fd_.Get(), path_, name);
  }

 private:
  // Calls `visit` with each entry but "." and "..", read from the start through a descriptor of
  // its own, so that listings never share a read position; a failure of `visit` ends it.
  template <typename Visit>
  Result<> ForEachEntry(Visit&& visit) const {
    // The first listing reads the folder's own descriptor, at its start still: a walk lists each
    // folder once, and a descriptor fewer to open and close counts over many small folders.
    const bool first = !listed_.exchange(true);
    const Descriptor own =
        first ? Descriptor() : Descriptor::Open(calls_, fd_.Get(), ".", kFolderFlags);
    const int dir = first ? fd_.Get() : own.Get();
    if (dir < 0) {
      return Failure(Step::kReadFolder, path_, errno);
    }
    // Not cleared: the system fills what it returns.
    const std::unique_ptr<char[]> buffer(new char[kEntryBufferSize]);
    for (;;) {
      const ssize_t size = calls_.GetEntries(dir, buffer.get(), kEntryBufferSize);
      if (size < 0) {
        return Failure(Step::kReadFolder, path_, errno);
      }
      if (size == 0) {
        return {};
      }
      for (ssize_t at = 0; at < size;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + at);
        at += entry->d_reclen;
        if (IsDot(entry->d_name)) {
          continue;
        }
        if (Result<> visited = visit(dir, *entry); !visited) {
          return visited;
        }
      }
    }
  }

  // Gives `files` the entries that are not folders and lead to none, and `folders` those that
  // are folders on this one's mount and no automount points. The entry's type from the listing
  // settles most; only symlinks, folders and file systems that give no type cost a status call.
  Result<> List(NameSink* files, NameSink* folders) const override {
    return ForEachEntry([&](int dir_fd, const dirent64& entry) -> Result<> {
      unsigned char type = entry.d_type;
      Place place;
      if (type == DT_UNKNOWN) {
        if (!PlaceOf(calls_, dir_fd, entry.d_name, 0, place)) {
          return {};  // gone since the listing
        }
        type = place.is_folder ? DT_DIR : (place.is_link ? DT_LNK : DT_REG);
      } else if (type == DT_DIR && folders != nullptr &&
                 !PlaceOf(calls_, dir_fd, entry.d_name, 0, place)) {
        return {};
      }
      if (type == DT_DIR) {
        if (folders != nullptr && place.is_folder && !place.is_automount &&
            SameVolume(place, own_)) {
          return folders->Add(entry.d_name);
        }
      } else if (files != nullptr && !IsTemporaryPageName(entry.d_name) &&
                 (type != DT_LNK || !LeadsToFolder(dir_fd, entry.d_name))) {
        return files->Add(entry.d_name);
      }
      return {};
    });
  }

  bool LeadsToFolder(int dir_fd, const char* name) const {
    struct stat st {};
    return calls_.StatAt(dir_fd, name, &st, AT_NO_AUTOMOUNT) == 0 && S_ISDIR(st.st_mode);
  }

  const SystemCalls& calls_;
  Descriptor fd_;
  std::string path_;
  Place own_;
  mutable std::atomic<bool> listed_{false};  // whether fd_ has been read from
};

}  // namespace

std::size_t OpenFilesAllowed() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return std::size_t{1} << 20;
  }
  return static_cast<std::size_t>(limit.rlim_cur);
}

SystemFileSystem::SystemFileSystem(const SystemCalls& calls) : calls_(calls) {}

SystemFileSystem::SystemFileSystem() : SystemFileSystem(SystemCalls::Real()) {}

Result<std::unique_ptr<Folder>> SystemFileSystem::OpenFolder(std::string_view path) const {
  if (path.empty()) {
    return OpenFailure(path, ENOENT);
  }
  return SystemFolder::Of(calls_, OpenFolderPath(calls_, path), std::string(path));
}

}  // namespace quorvane::platform
