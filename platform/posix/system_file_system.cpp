#include "platform/system_file_system.h"

#include <dirent.h>        // struct dirent64, DT_*
#include <fcntl.h>         // O_*, AT_*
#include <sys/resource.h>  // getrlimit
#include <sys/stat.h>
#include <atomic>        // std::atomic
#include <cerrno>        // errno, E*
#include <memory>        // std::make_unique
#include <string>        // std::string
#include <system_error>  // std::errc, std::error_code
#include <utility>       // std::move

#include "platform/failure.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/descriptor_folder.h"
#include "platform/posix/folder_path.h"
#include "platform/posix/folder_place.h"
#include "platform/posix/leftover_pages.h"
#include "platform/posix/page_output.h"
#include "platform/posix/page_reader.h"
#include "platform/posix/page_target.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr std::size_t kEntryBufferSize = 128 * 1024;

// Whether a status call that follows a symlink failed because the link leads nowhere: to nothing,
// through a file, round a loop or where the user may not look. Such a link is a file.
bool LeadsNowhere(int error) {
  return error == ENOENT || error == ENOTDIR || error == ELOOP || error == EACCES;
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

  // The folder `fd` opened at `path`, or the failure to open it.
  static Result<std::unique_ptr<Folder>> Of(const SystemCalls& calls, Result<Descriptor> fd,
                                            std::string path) {
    if (!fd) {
      return OpenFailure(path, fd.Error().error);
    }
    if (path.empty() || path.back() != '/') {
      path += '/';
    }
    QUORVANE_TRY_ASSIGN(const Place own,
                        PlaceOf(calls, fd->Get(), "", AT_EMPTY_PATH, Step::kReadFolder, path));
    // Where the allocation throws, `fd` still closes it.
    return std::make_unique<SystemFolder>(calls, std::move(*fd), std::move(path), own);
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
      // A symlink that leads nowhere is still a listed file: show the link's own facts.
      if (!LeadsNowhere(error) ||
          calls_.StatAt(fd_.Get(), name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0 ||
          !S_ISLNK(st.st_mode)) {
        return Failure(Step::kReadFileFacts, path_ + name, error);
      }
    }
    return FileFacts{static_cast<std::int64_t>(st.st_size), st.st_mtime};
  }

  Result<std::unique_ptr<Folder>> OpenSubFolder(std::string_view name) const override {
    std::string path = path_ + std::string(name);
    return Of(calls_,
              Descriptor::Open(calls_, fd_.Get(), std::string(name).c_str(),
                               kFolderFlags | O_NOFOLLOW, Step::kReadFolder, path),
              path);
  }

  Result<std::unique_ptr<PageOutput>> CreatePage(std::string_view name) const override {
    return CreateSystemPage(calls_, fd_.Get(), path_, name);
  }

  Result<std::unique_ptr<Folder>> OpenParent() const override {
    std::string path = ParentPath(path_);
    return Of(calls_,
              Descriptor::Open(calls_, fd_.Get(), "..", kFolderFlags, Step::kReadFolder, path),
              path);
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

  Result<std::unique_ptr<PageReader>> ReadReplacedPage(std::string_view name) const override {
    return ReadReplacedSystemPage(calls_, fd_.Get(), path_, name);
  }

 private:
  // Calls `visit` with each entry but "." and "..", read from the start through a descriptor of
  // its own, so that listings never share a read position; a failure of `visit` ends it.
  template <typename Visit>
  Result<> ForEachEntry(Visit&& visit) const {
    // The first listing reads the folder's own descriptor, at its start still: a walk lists each
    // folder once, and a descriptor fewer to open and close counts over many small folders.
    const bool first = !listed_.exchange(true);
    Descriptor own;
    if (!first) {
      QUORVANE_TRY_ASSIGN(
          own, Descriptor::Open(calls_, fd_.Get(), ".", kFolderFlags, Step::kReadFolder, path_));
    }
    const int dir = first ? fd_.Get() : own.Get();
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
        QUORVANE_TRY(visit(dir, *entry));
      }
    }
  }

  // What an entry is to a listing: a file, a folder it lists, or neither (a folder of another
  // mount, a symlink to a folder, a name gone since the listing).
  enum class Kind { kFile, kFolder, kNeither };

  // Gives `files` the entries that are not folders and lead to none, and `folders` those that
  // are folders on this one's mount and no automount points.
  Result<> List(NameSink* files, NameSink* folders) const override {
    return ForEachEntry([&](int dir_fd, const dirent64& entry) -> Result<> {
      NameSink* const file_sink = NotedAsHidden(entry.d_name) ? nullptr : files;
      QUORVANE_TRY_ASSIGN(const Kind kind,
                          KindOf(dir_fd, entry, file_sink != nullptr, folders != nullptr));
      NameSink* const sink = kind == Kind::kFile     ? file_sink
                             : kind == Kind::kFolder ? folders
                                                     : nullptr;
      return sink != nullptr ? sink->Add(entry.d_name) : Result<>();
    });
  }

  // The entry's type from the listing settles most; only symlinks where files are wanted, folders
  // where folders are, and file systems that give no type cost a status call.
  Result<Kind> KindOf(int dir_fd, const dirent64& entry, bool files, bool folders) const {
    if (entry.d_type == DT_LNK) {
      return files ? LinkKind(dir_fd, entry.d_name) : Kind::kNeither;
    }
    if (entry.d_type != DT_DIR && entry.d_type != DT_UNKNOWN) {
      return Kind::kFile;
    }
    if (entry.d_type == DT_DIR && !folders) {
      return Kind::kNeither;
    }
    Result<Place> place = PlaceOf(calls_, dir_fd, entry.d_name, 0, Step::kReadFileFacts, path_);
    if (!place) {
      // Only a name gone since the listing is passed over: any other error fails the listing.
      if (place.Error().error == std::errc::no_such_file_or_directory) {
        return Kind::kNeither;
      }
      return std::move(place).Error();
    }
    if (place->is_link) {
      return files ? LinkKind(dir_fd, entry.d_name) : Kind::kNeither;
    }
    if (!place->is_folder) {
      return Kind::kFile;
    }
    return !place->is_automount && SameVolume(*place, own_) ? Kind::kFolder : Kind::kNeither;
  }

  void RemoveIfLeftOver(const std::string& name) const override {
    RemoveLeftOverPage(calls_, fd_.Get(), name);
  }

  // A symlink is a file unless it leads to a folder.
  Result<Kind> LinkKind(int dir_fd, const char* name) const {
    struct stat st {};
    if (calls_.StatAt(dir_fd, name, &st, AT_NO_AUTOMOUNT) == 0) {
      return S_ISDIR(st.st_mode) ? Kind::kNeither : Kind::kFile;
    }
    const int error = errno;
    if (LeadsNowhere(error)) {
      return Kind::kFile;
    }
    return Failure(Step::kReadFileFacts, path_ + name, error);
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
    return OpenFailure(path, ErrnoError(ENOENT));
  }
  return SystemFolder::Of(calls_, OpenFolderPath(calls_, path), std::string(path));
}

}  // namespace quorvane::platform
