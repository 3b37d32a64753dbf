#include "platform/page_output.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>   // errno, E*
#include <cstring>  // std::strncmp
#include <utility>  // std::exchange
#include <vector>   // std::vector

#include "platform/carry_over.h"
#include "platform/failure.h"
#include "platform/name_case.h"
#include "platform/page_names.h"
#include "platform/system_calls.h"
#include "platform/temporary_names.h"

namespace quorvane::platform {
namespace {

// A page's bytes are sent on to the disk every so many written.
constexpr off_t kWritebackEvery = 8 << 20;

// Where the new page goes: a folder and the name in it that it replaces.
struct Target {
  int dir_fd = -1;
  bool owns_dir = false;
  std::string name;
};

class SystemPageOutput final : public PageOutput {
 public:
  SystemPageOutput(const SystemCalls& calls, int dir_fd, const std::string& folder_path,
                   std::string_view name)
      : calls_(calls), page_path_(folder_path + std::string(name)) {
    target_.dir_fd = dir_fd;
    target_.name = std::string(name);
  }

  SystemPageOutput(const SystemPageOutput&) = delete;
  SystemPageOutput& operator=(const SystemPageOutput&) = delete;

  ~SystemPageOutput() override {
    if (fd_ >= 0) {
      calls_.Close(fd_);
    }
    if (!temporary_.empty() && !committed_) {
      calls_.UnlinkAt(target_.dir_fd, temporary_.c_str(), 0);
    }
    hold_.Release();
    if (old_fd_ >= 0) {
      calls_.Close(old_fd_);
    }
    if (target_.owns_dir) {
      calls_.Close(target_.dir_fd);
    }
  }

  // Apart from the constructor, so that a failure part of the way is undone by the destructor.
  void Start() {
    Check();
    Create();
    if (old_fd_ >= 0) {
      CarryOver(calls_, old_fd_, old_, fd_, page_path_);
    }
  }

  void Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = calls_.Write(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        Fail(Step::kWritePage, errno);
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
      written_ += written;
    }
    // A large page goes to the disk while the rest is made, so that the wait for it at the end
    // is short; a failure here shows in that wait.
    if (written_ - written_back_ >= kWritebackEvery) {
      calls_.StartWriteback(fd_, written_back_, written_ - written_back_);
      written_back_ = written_;
    }
  }

  // Settles which file the page replaces and that it may, creating nothing yet.
  void Check() {
    // A descriptor of its own for the folder, so that the page does not depend on how long the
    // folder it came from stays open.
    const int dir_fd = calls_.OpenAt(target_.dir_fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
    if (dir_fd < 0) {
      Fail(Step::kWritePage, errno);
    }
    target_.dir_fd = dir_fd;
    target_.owns_dir = true;
    FindTarget();
  }

  void Commit() override {
    // On disk before its name moves to it, or a crash could leave an empty page in its place.
    if (calls_.Sync(fd_) != 0) {
      Fail(Step::kWritePage, errno);
    }
    MoveIntoPlace();
  }

  void Seal() override {
    // A page under a hidden name holds it until placed, and the names a signal can clean up are
    // few: such a page goes in place at once.
    if (!temporary_.empty()) {
      Commit();
      return;
    }
    struct stat st = old_;
    if (old_fd_ < 0 && calls_.StatAt(fd_, "", &st, AT_EMPTY_PATH) != 0) {
      Fail(Step::kWritePage, errno);
    }
    volume_ = static_cast<std::uint64_t>(st.st_dev);
  }

  std::uint64_t Volume() const override { return volume_; }

  void SyncVolume() override {
    if (!committed_ && calls_.SyncFileSystem(fd_) != 0) {
      Fail(Step::kWritePage, errno);
    }
  }

  void Place() override {
    if (!committed_) {
      MoveIntoPlace();
    }
  }

 private:
  // Links the new page in and renames it over the old one; it must be on disk already.
  void MoveIntoPlace() {
    if (temporary_.empty()) {
      LinkUnnamed();
    }
    if (calls_.Close(std::exchange(fd_, -1)) != 0) {
      Fail(Step::kWritePage, errno);
    }
    if (calls_.RenameAt(target_.dir_fd, temporary_.c_str(), target_.dir_fd, target_.name.c_str()) !=
        0) {
      Fail(Step::kWritePage, errno);
    }
    committed_ = true;
    hold_.Release();
  }

  [[noreturn]] void Fail(Step step, int error = 0) const { throw Failure(step, page_path_, error); }

  // Settles which file the page is, and that it may be replaced.
  void FindTarget() {
    struct stat st {};
    if (calls_.StatAt(target_.dir_fd, target_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        return;  // a first page
      }
      Fail(Step::kWritePage, errno);
    }
    CheckNameIsItsOwn();
    if (S_ISLNK(st.st_mode)) {
      FollowLink(st);
    } else if (S_ISDIR(st.st_mode)) {
      Fail(Step::kWritePage, EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
      Fail(Step::kPageNotAFile);
    }
    OpenOld();
  }

  // Where letter case is not told apart, the page's name may find the user's file of another
  // name, which the rename would replace.
  void CheckNameIsItsOwn() const {
    std::string other;
    if (const int error = FindOtherCase(calls_, target_.dir_fd, target_.name, other)) {
      Fail(Step::kWritePage, error);
    }
    if (!other.empty()) {
      throw Failure(Step::kPageNameClash,
                    page_path_.substr(0, page_path_.size() - target_.name.size()) + other);
    }
  }

  // A symlinked page is written through only where nobody else could have planted it: the link
  // and its target are the user's own, and the target is an existing regular file.
  void FollowLink(const struct stat& link) {
    const uid_t user = calls_.EffectiveUser();
    std::vector<char> buffer(4096);
    const ssize_t size =
        calls_.ReadLinkAt(target_.dir_fd, target_.name.c_str(), buffer.data(), buffer.size());
    if (size < 0) {
      Fail(Step::kWritePage, errno);
    }
    if (link.st_uid != user || static_cast<std::size_t>(size) >= buffer.size()) {
      Fail(Step::kPageLinkRefused);
    }
    const std::string destination(buffer.data(), static_cast<std::size_t>(size));
    const std::size_t slash = destination.rfind('/');
    std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    const int dir_fd =
        calls_.OpenAt(target_.dir_fd, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
    if (dir_fd < 0) {
      Fail(Step::kPageLinkRefused);
    }
    calls_.Close(target_.dir_fd);
    target_ = {dir_fd, true, std::move(name)};
    struct stat st {};
    if (target_.name.empty() ||
        calls_.StatAt(dir_fd, target_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || st.st_uid != user) {
      Fail(Step::kPageLinkRefused);
    }
  }

  // Opens the page about to be replaced for writing, without writing to it: the open is the
  // system's own answer to whether the user may write it (effective ids, ACLs, a read-only
  // mount). The descriptor then gives its permissions and attributes to the new page.
  void OpenOld() {
    old_fd_ = calls_.OpenAt(target_.dir_fd, target_.name.c_str(),
                            O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (old_fd_ < 0) {
      Fail(Step::kWritePage, errno);
    }
    if (calls_.StatAt(old_fd_, "", &old_, AT_EMPTY_PATH) != 0) {
      Fail(Step::kWritePage, errno);
    }
    if (!S_ISREG(old_.st_mode)) {
      Fail(Step::kPageNotAFile);
    }
  }

  // An unnamed file is linked in only when complete; it needs the right to link a descriptor,
  // which root has and others have through /proc.
  bool UnnamedFilesUsable() const {
    struct stat st {};
    return calls_.EffectiveUser() == 0 || calls_.StatAt(AT_FDCWD, "/proc/self/fd", &st, 0) == 0;
  }

  void Create() {
    if (UnnamedFilesUsable()) {
      // 0666: the umask and the folder's default ACL shape it as they shape any new file.
      fd_ = calls_.OpenAt(target_.dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        return;
      }
      // Old kernels take O_TMPFILE for a plain folder open; some file systems have no such files.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        Fail(Step::kWritePage, errno);
      }
    }
    TakeTemporaryName([this](const char* name) {
      fd_ = calls_.OpenAt(target_.dir_fd, name,
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      return fd_ >= 0;
    });
  }

  void LinkUnnamed() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    TakeTemporaryName([&](const char* name) {
      if (calls_.LinkAt(fd_, "", target_.dir_fd, name, AT_EMPTY_PATH) == 0) {
        return true;
      }
      return (errno == ENOENT || errno == EPERM) &&
             calls_.LinkAt(AT_FDCWD, self.c_str(), target_.dir_fd, name, AT_SYMLINK_FOLLOW) == 0;
    });
  }

  // Gives the new page a hidden name of its own: `make` makes it, false with errno when it
  // cannot; a name another run has taken is tried again with another. Only once made is it
  // removed on a signal, so that another run's file of that name never is.
  template <typename Make>
  void TakeTemporaryName(Make&& make) {
    for (;;) {
      std::string name = TemporaryPageName();
      if (make(name.c_str())) {
        hold_.Hold(target_.dir_fd, name.c_str());
        temporary_ = std::move(name);
        return;
      }
      if (errno != EEXIST) {
        Fail(Step::kWritePage, errno);
      }
    }
  }

  const SystemCalls& calls_;
  std::string page_path_;  // as the user named it, for the messages
  Target target_;
  int fd_ = -1;
  std::string temporary_;  // the hidden name the new page has, once it has one
  TemporaryNameHold hold_;
  bool committed_ = false;
  std::uint64_t volume_ = 0;
  off_t written_ = 0;       // bytes of the new page written so far
  off_t written_back_ = 0;  // of those, the ones already on their way to the disk
  int old_fd_ = -1;
  struct stat old_ {};
};

}  // namespace

void CheckSystemPage(const SystemCalls& calls, int dir_fd, const std::string& folder_path,
                     std::string_view name) {
  SystemPageOutput(calls, dir_fd, folder_path, name).Check();
}

std::unique_ptr<PageOutput> CreateSystemPage(const SystemCalls& calls, int dir_fd,
                                             const std::string& folder_path,
                                             std::string_view name) {
  auto page = std::make_unique<SystemPageOutput>(calls, dir_fd, folder_path, name);
  page->Start();
  return page;
}

}  // namespace quorvane::platform
