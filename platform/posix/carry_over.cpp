#include "platform/posix/carry_over.h"

#include <fcntl.h>  // AT_EMPTY_PATH
#include <cerrno>   // errno, E*

#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr char kAccessAcl[] = "system.posix_acl_access";

// The file system has no such thing (FAT through FUSE has no owners, exFAT no attributes).
bool IsUnsupported(int error) { return error == ENOSYS || error == EOPNOTSUPP; }

bool IsMissingAttribute(int error) { return error == ENODATA || IsUnsupported(error); }

class Carrier {
 public:
  Carrier(const SystemCalls& calls, int old_fd, const struct stat& old, int page_fd,
          const std::string& page_path)
      : calls_(calls), old_fd_(old_fd), old_(old), page_fd_(page_fd), page_path_(page_path) {}

  Result<> Run() {
    QUORVANE_TRY(Owner());
    QUORVANE_TRY(Acl());
    QUORVANE_TRY(Mode());
    return UserAttributes();
  }

 private:
  Failure Fail(Step step, int error) const { return Failure(step, page_path_, error); }

  Result<struct stat> PageStatus() const {
    struct stat st {};
    if (calls_.StatAt(page_fd_, "", &st, AT_EMPTY_PATH) != 0) {
      return Fail(Step::kKeepPermissions, errno);
    }
    return st;
  }

  Result<> Owner() {
    QUORVANE_TRY_ASSIGN(const struct stat page, PageStatus());
    if (page.st_uid != old_.st_uid) {
      if (calls_.ChangeOwner(page_fd_, old_.st_uid, old_.st_gid) == 0) {
        return {};
      }
      if (errno != EPERM && !IsUnsupported(errno)) {
        return Fail(Step::kKeepPermissions, errno);
      }
    }
    if (page.st_gid == old_.st_gid ||
        calls_.ChangeOwner(page_fd_, static_cast<uid_t>(-1), old_.st_gid) == 0) {
      return {};
    }
    // Another group would get the old group's rights: only a page that gives its group none may
    // go without it.
    if ((errno != EPERM && !IsUnsupported(errno)) || (old_.st_mode & S_IRWXG) != 0) {
      return Fail(Step::kKeepPermissions, errno);
    }
    return {};
  }

  // An ACL that cannot be set, or one the folder gave that cannot be dropped, ends the run
  // whatever the reason: the rights it would leave are not the old page's.
  Result<> Acl() {
    std::string acl;
    std::string page_acl;
    QUORVANE_TRY_ASSIGN(const bool page_has_acl,
                        ReadAttribute(page_fd_, kAccessAcl, page_acl, Step::kKeepPermissions));
    QUORVANE_TRY_ASSIGN(const bool old_has_acl,
                        ReadAttribute(old_fd_, kAccessAcl, acl, Step::kKeepPermissions));
    if (old_has_acl) {
      if ((!page_has_acl || page_acl != acl) &&
          calls_.SetAttribute(page_fd_, kAccessAcl, acl.data(), acl.size()) != 0) {
        return Fail(Step::kKeepPermissions, errno);
      }
    } else if (page_has_acl && calls_.RemoveAttribute(page_fd_, kAccessAcl) != 0 &&
               errno != ENODATA) {
      return Fail(Step::kKeepPermissions, errno);
    }
    return {};
  }

  // After the ACL, which sets the group's bits.
  Result<> Mode() {
    QUORVANE_TRY_ASSIGN(const struct stat status, PageStatus());
    const mode_t page = status.st_mode & 07777;
    const mode_t wanted = old_.st_mode & 07777;
    if (page == wanted || calls_.ChangeMode(page_fd_, wanted) == 0) {
      return {};
    }
    if (!IsUnsupported(errno) || (page & ~wanted) != 0) {
      return Fail(Step::kKeepPermissions, errno);
    }
    return {};
  }

  Result<> UserAttributes() {
    std::string names;
    const ssize_t size = calls_.ListAttributes(old_fd_, nullptr, 0);
    if (size < 0) {
      return IsMissingAttribute(errno) ? Result<>() : Fail(Step::kKeepAttributes, errno);
    }
    names.resize(static_cast<std::size_t>(size));
    const ssize_t listed = calls_.ListAttributes(old_fd_, names.data(), names.size());
    if (listed < 0) {
      return Fail(Step::kKeepAttributes, errno);
    }
    names.resize(static_cast<std::size_t>(listed));
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
      const std::string name = names.c_str() + at;
      at += name.size() + 1;
      if (name.rfind("user.", 0) != 0) {
        continue;
      }
      QUORVANE_TRY_ASSIGN(const bool has,
                          ReadAttribute(old_fd_, name.c_str(), value, Step::kKeepAttributes));
      // None when removed meanwhile.
      if (has && calls_.SetAttribute(page_fd_, name.c_str(), value.data(), value.size()) != 0) {
        return Fail(Step::kKeepAttributes, errno);
      }
    }
    return {};
  }

  // Reads the attribute `name` of `fd` into `value`; false when it has none.
  Result<bool> ReadAttribute(int fd, const char* name, std::string& value, Step step) const {
    const ssize_t size = calls_.GetAttribute(fd, name, nullptr, 0);
    if (size < 0) {
      return IsMissingAttribute(errno) ? Result<bool>(false) : Fail(step, errno);
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t read = calls_.GetAttribute(fd, name, value.data(), value.size());
    if (read < 0) {
      return Fail(step, errno);
    }
    value.resize(static_cast<std::size_t>(read));
    return true;
  }

  const SystemCalls& calls_;
  const int old_fd_;
  const struct stat& old_;
  const int page_fd_;
  const std::string& page_path_;
};

}  // namespace

Result<> CarryOver(const SystemCalls& calls, int old_fd, const struct stat& old, int page_fd,
                   const std::string& page_path) {
  return Carrier(calls, old_fd, old, page_fd, page_path).Run();
}

}  // namespace quorvane::platform
