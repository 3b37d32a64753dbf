#include "platform/page_output.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>   // errno, E*
#include <cstring>  // std::strncmp
#include <utility>  // std::exchange
#include <vector>   // std::vector

#include "platform/failure.h"
#include "platform/page_names.h"
#include "platform/system_calls.h"
#include "platform/temporary_names.h"

namespace quorvane::platform {
namespace {

constexpr char kAccessAcl[] = "system.posix_acl_access";

bool IsMissingAttribute(int error) { return error == ENODATA || error == EOPNOTSUPP; }

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
    // A descriptor of its own for the folder, so that the page does not depend on how long the
    // folder it came from stays open.
    const int dir_fd = calls_.OpenAt(target_.dir_fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
    if (dir_fd < 0) {
      Fail(Step::kWritePage, errno);
    }
    target_.dir_fd = dir_fd;
    target_.owns_dir = true;
    FindTarget();
    Create();
    if (old_fd_ >= 0) {
      CarryOver();
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
    }
  }

  void Commit() override {
    // On disk before its name moves to it, or a crash could leave an empty page in its place.
    if (calls_.Sync(fd_) != 0) {
      Fail(Step::kWritePage, errno);
    }
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

 private:
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
    if (S_ISLNK(st.st_mode)) {
      FollowLink(st);
    } else if (S_ISDIR(st.st_mode)) {
      Fail(Step::kWritePage, EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
      Fail(Step::kPageNotAFile);
    }
    OpenOld();
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
  // cannot; a name another run has taken is tried again with another.
  template <typename Make>
  void TakeTemporaryName(Make&& make) {
    for (;;) {
      std::string name = TemporaryPageName();
      hold_.Hold(target_.dir_fd, name.c_str());
      if (make(name.c_str())) {
        temporary_ = std::move(name);
        return;
      }
      if (errno != EEXIST) {
        hold_.Release();
        Fail(Step::kWritePage, errno);
      }
    }
  }

  // The new page takes the old one's owner and group where the system allows, then its ACL (or
  // none, dropping what the folder's default ACL gave), its mode and its user attributes. Access
  // is never wider than to the old page: what cannot be carried over ends the run.
  void CarryOver() {
    if (calls_.ChangeOwner(fd_, old_.st_uid, old_.st_gid) != 0) {
      if (errno != EPERM) {
        Fail(Step::kKeepPermissions, errno);
      }
      // Another group would get the old group's rights: only a page that gives its group none
      // may go without it.
      if (calls_.ChangeOwner(fd_, static_cast<uid_t>(-1), old_.st_gid) != 0 &&
          (errno != EPERM || (old_.st_mode & S_IRWXG) != 0)) {
        Fail(Step::kKeepPermissions, errno);
      }
    }
    std::string acl;
    if (ReadAttribute(kAccessAcl, acl, Step::kKeepPermissions)) {
      if (calls_.SetAttribute(fd_, kAccessAcl, acl.data(), acl.size()) != 0) {
        Fail(Step::kKeepPermissions, errno);
      }
    } else if (calls_.RemoveAttribute(fd_, kAccessAcl) != 0 && !IsMissingAttribute(errno)) {
      Fail(Step::kKeepPermissions, errno);
    }
    if (calls_.ChangeMode(fd_, old_.st_mode & 07777) != 0) {
      Fail(Step::kKeepPermissions, errno);
    }
    CarryOverUserAttributes();
  }

  void CarryOverUserAttributes() {
    std::string names;
    const ssize_t size = calls_.ListAttributes(old_fd_, nullptr, 0);
    if (size < 0) {
      if (IsMissingAttribute(errno)) {
        return;
      }
      Fail(Step::kKeepAttributes, errno);
    }
    names.resize(static_cast<std::size_t>(size));
    const ssize_t listed = calls_.ListAttributes(old_fd_, names.data(), names.size());
    if (listed < 0) {
      Fail(Step::kKeepAttributes, errno);
    }
    names.resize(static_cast<std::size_t>(listed));
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
      const std::string name = names.c_str() + at;
      at += name.size() + 1;
      if (name.rfind("user.", 0) != 0) {
        continue;
      }
      if (!ReadAttribute(name.c_str(), value, Step::kKeepAttributes)) {
        continue;  // removed meanwhile
      }
      if (calls_.SetAttribute(fd_, name.c_str(), value.data(), value.size()) != 0) {
        Fail(Step::kKeepAttributes, errno);
      }
    }
  }

  // Reads the old page's attribute `name` into `value`; false when it has none.
  bool ReadAttribute(const char* name, std::string& value, Step step) {
    const ssize_t size = calls_.GetAttribute(old_fd_, name, nullptr, 0);
    if (size < 0) {
      if (IsMissingAttribute(errno)) {
        return false;
      }
      Fail(step, errno);
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t read = calls_.GetAttribute(old_fd_, name, value.data(), value.size());
    if (read < 0) {
      Fail(step, errno);
    }
    value.resize(static_cast<std::size_t>(read));
    return true;
  }

  const SystemCalls& calls_;
  std::string page_path_;  // as the user named it, for the messages
  Target target_;
  int fd_ = -1;
  std::string temporary_;  // the hidden name the new page has, once it has one
  TemporaryNameHold hold_;
  bool committed_ = false;
  int old_fd_ = -1;
  struct stat old_ {};
};

}  // namespace

std::unique_ptr<PageOutput> CreateSystemPage(const SystemCalls& calls, int dir_fd,
                                             const std::string& folder_path,
                                             std::string_view name) {
  auto page = std::make_unique<SystemPageOutput>(calls, dir_fd, folder_path, name);
  page->Start();
  return page;
}

}  // namespace quorvane::platform
