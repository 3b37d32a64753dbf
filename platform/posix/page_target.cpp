#include "platform/posix/page_target.h"

#include <fcntl.h>       // O_*, AT_*
#include <unistd.h>      // W_OK, X_OK
#include <cerrno>        // errno, E*
#include <cstddef>       // std::size_t
#include <cstdint>       // std::uint64_t
#include <memory>        // std::make_unique
#include <system_error>  // std::errc
#include <utility>       // std::move
#include <vector>        // std::vector

#include "platform/posix/name_case.h"
#include "platform/posix/page_reader.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr int kFolderPathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
// How many times the page is looked for when it goes while it is looked at.
constexpr int kLooks = 3;

// The page behind a symlink, read in the folder the link leads to, which it keeps open.
class LinkedPageReader final : public PageReader {
 public:
  LinkedPageReader(Descriptor&& dir, std::unique_ptr<PageReader> page, std::string link_path)
      : dir_(std::move(dir)), page_(std::move(page)), link_path_(std::move(link_path)) {}

  std::uint64_t Size() const override { return page_->Size(); }
  Result<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const override {
    return page_->ReadAt(offset, buffer, size);
  }
  // Only the target could be removed, which would leave the link leading nowhere.
  Result<> Remove() const override { return CheckRemoval(); }
  Result<> CheckRemoval() const override { return Failure(Step::kPageNotAFile, link_path_); }
  Result<bool> InPlace() const override { return page_->InPlace(); }

 private:
  Descriptor dir_;  // before the page, which reads through it
  std::unique_ptr<PageReader> page_;
  std::string link_path_;
};

class TargetFinder {
 public:
  TargetFinder(const SystemCalls& calls, const std::string& page_path)
      : calls_(calls), page_path_(page_path) {}

  // A page that goes between its check and its opening (another run's --clean, a user's rm) is
  // looked for again: then, where nothing has its name, the new page is a first page.
  Result<PageTarget> Find(int dir_fd, std::string_view name) {
    for (int look = 1;; ++look) {
      const Result<> found = FindOnce(dir_fd, name);
      if (found) {
        return std::move(target_);
      }
      if (look == kLooks || found.Error().step != Step::kWritePage ||
          found.Error().error != std::errc::no_such_file_or_directory) {
        return found.Error();
      }
      target_ = PageTarget();
    }
  }

 private:
  Failure Fail(Step step, int error = 0) const { return Failure(step, page_path_, error); }

  Result<> FindOnce(int dir_fd, std::string_view name) {
    QUORVANE_TRY_ASSIGN(target_.dir, Descriptor::Open(calls_, dir_fd, ".", kFolderPathFlags,
                                                      Step::kWritePage, page_path_));
    target_.name = std::string(name);
    struct stat st {};
    if (calls_.StatAt(target_.dir.Get(), target_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        return {};  // a first page
      }
      return Fail(Step::kWritePage, errno);
    }
    QUORVANE_TRY(CheckNameIsItsOwn());
    if (S_ISLNK(st.st_mode)) {
      QUORVANE_TRY(FollowLink(st));
    } else if (S_ISDIR(st.st_mode)) {
      return Fail(Step::kWritePage, EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
      return Fail(Step::kPageNotAFile);
    }
    return OpenOld();
  }

  // Where letter case is not told apart, the page's name may find the user's file of another
  // name, which the rename would replace.
  Result<> CheckNameIsItsOwn() const {
    QUORVANE_TRY_ASSIGN(
        const std::string other,
        FindOtherCase(calls_, target_.dir.Get(), target_.name, Step::kWritePage, page_path_));
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
    Result<Descriptor> dir = Descriptor::Open(calls_, target_.dir.Get(), folder.c_str(),
                                              kFolderPathFlags, Step::kPageLinkRefused, page_path_);
    if (!dir) {
      return Fail(Step::kPageLinkRefused);  // what stops the link says all
    }
    target_.dir = std::move(*dir);
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
    QUORVANE_TRY_ASSIGN(target_.old,
                        Descriptor::Open(calls_, target_.dir.Get(), target_.name.c_str(),
                                         O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                                         Step::kWritePage, page_path_));
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

Result<std::unique_ptr<PageReader>> ReadReplacedSystemPage(const SystemCalls& calls, int dir_fd,
                                                           const std::string& folder_path,
                                                           std::string_view name) {
  Result<std::unique_ptr<PageReader>> page = ReadSystemPage(calls, dir_fd, folder_path, name);
  // A symlink is read where it leads, when a new page would be written through it.
  if (page || page.Error().step != Step::kPageIsALink) {
    return page;
  }
  const std::string path = folder_path + std::string(name);
  QUORVANE_TRY_ASSIGN(PageTarget target, FindPageTarget(calls, dir_fd, path, name));
  QUORVANE_TRY_ASSIGN(std::unique_ptr<PageReader> linked,
                      ReadSystemPage(calls, target.dir.Get(), folder_path, target.name));
  if (linked == nullptr) {
    return nullptr;  // gone since it was found
  }
  return std::make_unique<LinkedPageReader>(std::move(target.dir), std::move(linked), path);
}

Result<> CheckFolderTakes(const SystemCalls& calls, int dir_fd, const struct stat* page, Step step,
                          const std::string& page_path) {
  if (calls.AccessAt(dir_fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
    return Failure(step, page_path, errno);
  }
  if (page == nullptr || calls.EffectiveUser() == 0) {
    return {};
  }
  struct stat folder {};
  if (calls.StatAt(dir_fd, "", &folder, AT_EMPTY_PATH) != 0) {
    return Failure(step, page_path, errno);
  }
  // In a sticky folder (/tmp), only the page's owner or the folder's may take the page out.
  const uid_t user = calls.EffectiveUser();
  if ((folder.st_mode & S_ISVTX) != 0 && folder.st_uid != user && page->st_uid != user) {
    return Failure(step, page_path, EPERM);
  }
  return {};
}

}  // namespace quorvane::platform
