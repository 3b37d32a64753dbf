#include "platform/posix/page_target.h"

#include <fcntl.h>  // O_*, AT_*
#include <cerrno>   // errno, E*
#include <utility>  // std::move
#include <vector>   // std::vector

#include "platform/posix/name_case.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr int kFolderPathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

class TargetFinder {
 public:
  TargetFinder(const SystemCalls& calls, const std::string& page_path)
      : calls_(calls), page_path_(page_path) {}

  Result<PageTarget> Find(int dir_fd, std::string_view name) {
    target_.dir = Descriptor::Open(calls_, dir_fd, ".", kFolderPathFlags);
    if (!target_.dir.IsOpen()) {
      return Fail(Step::kWritePage, errno);
    }
    target_.name = std::string(name);
    struct stat st {};
    if (calls_.StatAt(target_.dir.Get(), target_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        return std::move(target_);  // a first page
      }
      return Fail(Step::kWritePage, errno);
    }
    Result<> found = CheckNameIsItsOwn();
    if (found && S_ISLNK(st.st_mode)) {
      found = FollowLink(st);
    } else if (found && S_ISDIR(st.st_mode)) {
      found = Fail(Step::kWritePage, EISDIR);
    } else if (found && !S_ISREG(st.st_mode)) {
      found = Fail(Step::kPageNotAFile);
    }
    if (found) {
      found = OpenOld();
    }
    if (!found) {
      return found.Error();
    }
    return std::move(target_);
  }

 private:
  Failure Fail(Step step, int error = 0) const { return Failure(step, page_path_, error); }

  // Where letter case is not told apart, the page's name may find the user's file of another
  // name, which the rename would replace.
  Result<> CheckNameIsItsOwn() const {
    std::string other;
    if (const int error = FindOtherCase(calls_, target_.dir.Get(), target_.name, other)) {
      return Fail(Step::kWritePage, error);
    }
    if (!other.empty()) {
      return Failure(Step::kPageNameClash,
                     page_path_.substr(0, page_path_.size() - target_.name.size()) + other);
    }
    return {};
  }

  // A symlinked page is written through only where nobody else could have planted it: the link
  // and its target are the user's own, and the target is an existing regular file.
  Result<> FollowLink(const struct stat& link) {
    const uid_t user = calls_.EffectiveUser();
    std::vector<char> buffer(4096);
    const ssize_t size =
        calls_.ReadLinkAt(target_.dir.Get(), target_.name.c_str(), buffer.data(), buffer.size());
    if (size < 0) {
      return Fail(Step::kWritePage, errno);
    }
    if (link.st_uid != user || static_cast<std::size_t>(size) >= buffer.size()) {
      return Fail(Step::kPageLinkRefused);
    }
    const std::string destination(buffer.data(), static_cast<std::size_t>(size));
    const std::size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash + 1);
    Descriptor dir = Descriptor::Open(calls_, target_.dir.Get(), folder.c_str(), kFolderPathFlags);
    if (!dir.IsOpen()) {
      return Fail(Step::kPageLinkRefused);
    }
    target_.dir = std::move(dir);
    target_.name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    struct stat st {};
    if (target_.name.empty() ||
        calls_.StatAt(target_.dir.Get(), target_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || st.st_uid != user) {
      return Fail(Step::kPageLinkRefused);
    }
    return {};
  }

  // Opens the page about to be replaced for writing, without writing to it: the open is the
  // system's own answer to whether the user may write it (effective ids, ACLs, a read-only
  // mount). The descriptor then gives its permissions and attributes to the new page.
  Result<> OpenOld() {
    target_.old = Descriptor::Open(calls_, target_.dir.Get(), target_.name.c_str(),
                                   O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (!target_.old.IsOpen()) {
      return Fail(Step::kWritePage, errno);
    }
    if (calls_.StatAt(target_.old.Get(), "", &target_.old_status, AT_EMPTY_PATH) != 0) {
      return Fail(Step::kWritePage, errno);
    }
    if (!S_ISREG(target_.old_status.st_mode)) {
      return Fail(Step::kPageNotAFile);
    }
    return {};
  }

  const SystemCalls& calls_;
  const std::string& page_path_;
  PageTarget target_;
};

}  // namespace

Result<PageTarget> FindPageTarget(const SystemCalls& calls, int dir_fd,
                                  const std::string& page_path, std::string_view name) {
  return TargetFinder(calls, page_path).Find(dir_fd, name);
}

}  // namespace quorvane::platform
