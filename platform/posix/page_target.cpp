#include "platform/posix/page_target.h"

#include <fcntl.h>  // O_*, AT_*
#include <cerrno>   // errno, E*
#include <cstddef>  // std::size_t
#include <cstdint>  // std::uint64_t
#include <memory>   // std::make_unique
#include <utility>  // std::move
#include <vector>   // std::vector

#include "platform/posix/name_case.h"
#include "platform/posix/page_reader.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

constexpr int kFolderPathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

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
  Result<> Remove() const override { return Failure(Step::kPageNotAFile, link_path_); }

 private:
  Descriptor dir_;  // before the page, which reads through it
  std::unique_ptr<PageReader> page_;
  std::string link_path_;
};

class TargetFinder {
 public:
  TargetFinder(const SystemCalls& calls, const std::string& page_path)
      : calls_(calls), page_path_(page_path) {}

  Result<PageTarget> Find(int dir_fd, std::string_view name) {
    QUORVANE_TRY_ASSIGN(target_.dir, Descriptor::Open(calls_, dir_fd, ".", kFolderPathFlags,
                                                      Step::kWritePage, page_path_));
    target_.name = std::string(name);
    struct stat st {};
    if (calls_.StatAt(target_.dir.Get(), target_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        return std::move(target_);  // a first page
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
    QUORVANE_TRY(OpenOld());
    return std::move(target_);
  }

 private:
  Failure Fail(Step step, int error = 0) const { return Failure(step, page_path_, error); }

  // Where letter case is not told apart, the page's name may find the user's file of another
  // name, which the rename would replace.
  Result<> CheckNameIsItsOwn() const {
    QUORVANE_TRY_ASSIGN(const std::string other,
                        FindOtherCase(calls_, target_.dir.Get(), target_.name, page_path_));
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
  if (page || page.Error().step != Step::kPageNotAFile) {
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

}  // namespace quorvane::platform
