#include "platform/posix/page_output.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>   // errno, E*
#include <utility>  // std::move

#include "platform/page_names.h"
#include "platform/posix/carry_over.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/page_target.h"
#include "platform/posix/system_calls.h"
#include "platform/temporary_names.h"

namespace quorvane::platform {
namespace {

// A page's bytes are sent on to the disk every so many written.
constexpr off_t kWritebackEvery = 8 << 20;

class SystemPageOutput final : public PageOutput {
 public:
  SystemPageOutput(const SystemCalls& calls, std::string page_path, PageTarget target)
      : calls_(calls), page_path_(std::move(page_path)), target_(std::move(target)) {}

  SystemPageOutput(const SystemPageOutput&) = delete;
  SystemPageOutput& operator=(const SystemPageOutput&) = delete;

  ~SystemPageOutput() override {
    fd_.Close();
    if (!temporary_.empty() && !committed_) {
      calls_.UnlinkAt(target_.dir.Get(), temporary_.c_str(), 0);
    }
    // Before the folder's descriptor closes: a signal may use it until then.
    hold_.Release();
  }

  // Apart from the constructor, so that a failure part of the way is undone by the destructor.
  Result<> Start() {
    if (Result<> created = Create(); !created) {
      return created;
    }
    if (target_.old.IsOpen()) {
      return CarryOver(calls_, target_.old.Get(), target_.old_status, fd_.Get(), page_path_);
    }
    return {};
  }

  Result<> Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = calls_.Write(fd_.Get(), bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        return Fail(errno);
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
      written_ += written;
    }
    // A large page goes to the disk while the rest is made, so that the wait for it at the end
    // is short; a failure here shows in that wait.
    if (written_ - written_back_ >= kWritebackEvery) {
      calls_.StartWriteback(fd_.Get(), written_back_, written_ - written_back_);
      written_back_ = written_;
    }
    return {};
  }

  Result<> Commit() override {
    // On disk before its name moves to it, or a crash could leave an empty page in its place.
    if (calls_.Sync(fd_.Get()) != 0) {
      return Fail(errno);
    }
    return MoveIntoPlace();
  }

  Result<> Seal() override {
    // A page under a hidden name holds it until placed, and the names a signal can clean up are
    // few: such a page goes in place at once.
    if (!temporary_.empty()) {
      return Commit();
    }
    struct stat st = target_.old_status;
    if (!target_.old.IsOpen() && calls_.StatAt(fd_.Get(), "", &st, AT_EMPTY_PATH) != 0) {
      return Fail(errno);
    }
    volume_ = static_cast<std::uint64_t>(st.st_dev);
    return {};
  }

  std::uint64_t Volume() const override { return volume_; }

  Result<> SyncVolume() override {
    if (!committed_ && calls_.SyncFileSystem(fd_.Get()) != 0) {
      return Fail(errno);
    }
    return {};
  }

  Result<> Place() override { return committed_ ? Result<>() : MoveIntoPlace(); }

 private:
  Failure Fail(int error) const { return Failure(Step::kWritePage, page_path_, error); }

  // Links the new page in and renames it over the old one; it must be on disk already.
  Result<> MoveIntoPlace() {
    if (temporary_.empty()) {
      if (Result<> linked = LinkUnnamed(); !linked) {
        return linked;
      }
    }
    if (fd_.Close() != 0) {
      return Fail(errno);
    }
    const int dir = target_.dir.Get();
    if (calls_.RenameAt(dir, temporary_.c_str(), dir, target_.name.c_str()) != 0) {
      return Fail(errno);
    }
    committed_ = true;
    hold_.Release();
    return {};
  }

  // An unnamed file is linked in only when complete; it needs the right to link a descriptor,
  // which root has and others have through /proc.
  bool UnnamedFilesUsable() const {
    struct stat st {};
    return calls_.EffectiveUser() == 0 || calls_.StatAt(AT_FDCWD, "/proc/self/fd", &st, 0) == 0;
  }

  Result<> Create() {
    if (UnnamedFilesUsable()) {
      // 0666: the umask and the folder's default ACL shape it as they shape any new file.
      fd_ =
          Descriptor::Open(calls_, target_.dir.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_.IsOpen()) {
        return {};
      }
      // Old kernels take O_TMPFILE for a plain folder open; some file systems have no such files.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return Fail(errno);
      }
    }
    return TakeTemporaryName([this](const char* name) {
      fd_ = Descriptor::Open(calls_, target_.dir.Get(), name,
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      return fd_.IsOpen();
    });
  }

  Result<> LinkUnnamed() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
    const int dir = target_.dir.Get();
    return TakeTemporaryName([&](const char* name) {
      if (calls_.LinkAt(fd_.Get(), "", dir, name, AT_EMPTY_PATH) == 0) {
        return true;
      }
      return (errno == ENOENT || errno == EPERM) &&
             calls_.LinkAt(AT_FDCWD, self.c_str(), dir, name, AT_SYMLINK_FOLLOW) == 0;
    });
  }

  // Gives the new page a hidden name of its own: `make` makes it, false with errno when it
  // cannot; a name another run has taken is tried again with another. Only once made is it
  // removed on a signal, so that another run's file of that name never is.
  template <typename Make>
  Result<> TakeTemporaryName(Make&& make) {
    for (;;) {
      std::string name = TemporaryPageName();
      if (make(name.c_str())) {
        hold_.Hold(target_.dir.Get(), name.c_str());
        temporary_ = std::move(name);
        return {};
      }
      if (errno != EEXIST) {
        return Fail(errno);
      }
    }
  }

  const SystemCalls& calls_;
  const std::string page_path_;  // as the user named it, for the messages
  PageTarget target_;
  Descriptor fd_;
  std::string temporary_;  // the hidden name the new page has, once it has one
  TemporaryNameHold hold_;
  bool committed_ = false;
  std::uint64_t volume_ = 0;
  off_t written_ = 0;       // bytes of the new page written so far
  off_t written_back_ = 0;  // of those, the ones already on their way to the disk
};

}  // namespace

Result<> CheckSystemPage(const SystemCalls& calls, int dir_fd, const std::string& folder_path,
                         std::string_view name) {
  const Result<PageTarget> target =
      FindPageTarget(calls, dir_fd, folder_path + std::string(name), name);
  return target ? Result<>() : target.Error();
}

Result<std::unique_ptr<PageOutput>> CreateSystemPage(const SystemCalls& calls, int dir_fd,
                                                     const std::string& folder_path,
                                                     std::string_view name) {
  std::string page_path = folder_path + std::string(name);
  Result<PageTarget> target = FindPageTarget(calls, dir_fd, page_path, name);
  if (!target) {
    return target.Error();
  }
  auto page = std::make_unique<SystemPageOutput>(calls, std::move(page_path), std::move(*target));
  if (Result<> started = page->Start(); !started) {
    return started.Error();
  }
  return std::unique_ptr<PageOutput>(std::move(page));
}

}  // namespace quorvane::platform
