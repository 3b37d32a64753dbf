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
#include <utility>  // std::exchange, std::move
#include <vector>   // std::vector

#include "platform/failure.h"
#include "platform/folder_place.h"
#include "platform/page_output.h"
#include "platform/page_reader.h"
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

// Takes names into a list of its own.
struct NameVector final : NameSink {
  std::vector<std::string> names;
  void Add(std::string_view name) override { names.emplace_back(name); }
};

// The folder a path ending in "/" is in, ending in "/" too; the root is its own.
std::string ParentPath(const std::string& path) {
  const std::size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) {
    return path;
  }
  const std::size_t slash = path.rfind('/', end);
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

class SystemFolder final : public Folder {
 public:
  SystemFolder(const SystemCalls& calls, int fd, std::string path)
      : calls_(calls), fd_(calls, fd), path_(std::move(path)) {
    if (path_.empty() || path_.back() != '/') {
      path_ += '/';
    }
    if (!PlaceOf(calls_, fd, "", AT_EMPTY_PATH, own_)) {
      throw Failure(Step::kReadFolder, path_, errno);
    }
  }

  const std::string& Path() const override { return path_; }
  FolderIdentity Identity() const override {
    return {static_cast<std::uint64_t>(own_.device), own_.inode};
  }
  std::uint64_t Mount() const override { return MountOf(own_); }

  void ReadFileNames(NameSink& names) const override { List(&names, nullptr); }

  std::vector<std::string> SubFolderNames() const override {
    NameVector folders;
    List(nullptr, &folders);
    return std::move(folders.names);
  }

  void ReadNames(NameSink& files, NameSink* folders) const override { List(&files, folders); }

  std::error_code ReadFacts(const char* name, FileFacts& facts) const noexcept override {
    struct stat st {};
    if (calls_.StatAt(fd_.Get(), name, &st, AT_NO_AUTOMOUNT) != 0) {
      const int error = errno;
      // A symlink that leads nowhere (no target, a loop) is still a listed file: show the
      // link's own facts.
      if (calls_.StatAt(fd_.Get(), name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0 ||
          !S_ISLNK(st.st_mode)) {
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

  std::unique_ptr<Folder> OpenParent() const override {
    const std::string path = ParentPath(path_);
    const int fd = calls_.OpenAt(fd_.Get(), "..", kFolderFlags, 0);
    if (fd < 0) {
      throw Failure(Step::kReadFolder, path, errno);
    }
    return std::make_unique<SystemFolder>(calls_, fd, path);
  }

  bool HasFile(std::string_view path) const override {
    struct stat st {};
    return calls_.StatAt(fd_.Get(), std::string(path).c_str(), &st, AT_NO_AUTOMOUNT) == 0 &&
           !S_ISDIR(st.st_mode);
  }

  void CheckPage(std::string_view name) const override {
    CheckSystemPage(calls_, fd_.Get(), path_, name);
  }

  std::unique_ptr<PageReader> ReadPage(std::string_view name) const override {
    return ReadSystemPage(calls_, fd_.Get(), path_, name);
  }

 private:
  // Calls `visit` with each entry but "." and "..", read from the start through a descriptor of
  // its own, so that listings never share a read position.
  template <typename Visit>
  void ForEachEntry(Visit&& visit) const {
    // The first listing reads the folder's own descriptor, at its start still: a walk lists each
    // folder once, and a descriptor fewer to open and close counts over many small folders.
    const bool first = !listed_.exchange(true);
    const Descriptor own(calls_, first ? -1 : calls_.OpenAt(fd_.Get(), ".", kFolderFlags, 0));
    const Descriptor& dir = first ? fd_ : own;
    if (dir.Get() < 0) {
      throw Failure(Step::kReadFolder, path_, errno);
    }
    // Not cleared: the system fills what it returns.
    const std::unique_ptr<char[]> buffer(new char[kEntryBufferSize]);
    for (;;) {
      const ssize_t size = calls_.GetEntries(dir.Get(), buffer.get(), kEntryBufferSize);
      if (size < 0) {
        throw Failure(Step::kReadFolder, path_, errno);
      }
      if (size == 0) {
        return;
      }
      for (ssize_t at = 0; at < size;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + at);
        at += entry->d_reclen;
        if (!IsDot(entry->d_name)) {
          visit(dir.Get(), *entry);
        }
      }
    }
  }

  // Gives `files` the entries that are not folders and lead to none, and `folders` those that
  // are folders on this one's mount and no automount points. The entry's type from the listing
  // settles most; only symlinks, folders and file systems that give no type cost a status call.
  void List(NameSink* files, NameSink* folders) const {
    ForEachEntry([&](int dir_fd, const dirent64& entry) {
      unsigned char type = entry.d_type;
      Place place;
      if (type == DT_UNKNOWN) {
        if (!PlaceOf(calls_, dir_fd, entry.d_name, 0, place)) {
          return;  // gone since the listing
        }
        type = place.is_folder ? DT_DIR : (place.is_link ? DT_LNK : DT_REG);
      } else if (type == DT_DIR && folders != nullptr &&
                 !PlaceOf(calls_, dir_fd, entry.d_name, 0, place)) {
        return;
      }
      if (type == DT_DIR) {
        if (folders != nullptr && place.is_folder && !place.is_automount &&
            SameVolume(place, own_)) {
          folders->Add(entry.d_name);
        }
      } else if (files != nullptr && !IsTemporaryPageName(entry.d_name) &&
                 (type != DT_LNK || !LeadsToFolder(dir_fd, entry.d_name))) {
        files->Add(entry.d_name);
      }
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

std::unique_ptr<Folder> SystemFileSystem::OpenFolder(std::string_view path) const {
  const int fd = path.empty() ? (errno = ENOENT, -1) : OpenFolderPath(calls_, path);
  if (fd < 0) {
    FailToOpen(path, errno);
  }
  return std::make_unique<SystemFolder>(calls_, fd, std::string(path));
}

}  // namespace quorvane::platform
