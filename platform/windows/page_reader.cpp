#include "platform/windows/page_reader.h"

#include <algorithm>  // std::min
#include <utility>    // std::move

#include "platform/failure.h"
#include "platform/windows/system_calls.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {
namespace {

// Shared in every way, so that the page can still be replaced or removed while it is read.
constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Whatever is in the page's place is opened as itself: a link or junction is not followed.
constexpr DWORD kAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr DWORD kLargestRead = 1 << 30;

// Whether `now` is the file `then` was, neither written to nor cut since.
bool Unchanged(const BY_HANDLE_FILE_INFORMATION& now, const BY_HANDLE_FILE_INFORMATION& then) {
  return now.dwVolumeSerialNumber == then.dwVolumeSerialNumber &&
         now.nFileIndexHigh == then.nFileIndexHigh && now.nFileIndexLow == then.nFileIndexLow &&
         now.nFileSizeHigh == then.nFileSizeHigh && now.nFileSizeLow == then.nFileSizeLow &&
         now.ftLastWriteTime.dwHighDateTime == then.ftLastWriteTime.dwHighDateTime &&
         now.ftLastWriteTime.dwLowDateTime == then.ftLastWriteTime.dwLowDateTime;
}

class WindowsPageReader final : public PageReader {
 public:
  WindowsPageReader(const SystemCalls& calls, const std::wstring& folder,
                    const std::string& folder_path, std::string_view name)
      : calls_(calls),
        name_(ToWide(name)),
        page_(folder + name_),
        folder_path_(folder_path),
        path_(folder_path + std::string(name)),
        file_(calls, INVALID_HANDLE_VALUE) {}

  // False when nothing has the page's name.
  Result<bool> Open() {
    file_.Reset(calls_.Open(page_.c_str(), GENERIC_READ, kAnyShare, OPEN_EXISTING, kAsItself));
    if (!file_.IsOpen()) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) {
        return false;
      }
      return Failure(Step::kReadPage, path_, LastError());
    }
    if (!calls_.Information(file_.Get(), &information_)) {
      return Failure(Step::kReadPage, path_, LastError());
    }
    QUORVANE_TRY_ASSIGN(const std::wstring spelt,
                        NameOnDisk(calls_, file_.Get(), Step::kReadPage, path_));
    if ((information_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Failure(Step::kPageIsALink, path_);
    }
    if ((information_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Failure(Step::kPageNotAFile, path_);
    }
    if (spelt != name_) {
      return Failure(Step::kNotAPage, folder_path_ + ToUtf8(spelt));
    }
    return true;
  }

  std::uint64_t Size() const override {
    return (std::uint64_t{information_.nFileSizeHigh} << 32) | information_.nFileSizeLow;
  }

  Result<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const override {
    DWORD got = 0;
    const auto most = static_cast<DWORD>(std::min<std::size_t>(size, kLargestRead));
    if (!calls_.Read(file_.Get(), buffer, most, offset, &got)) {
      if (GetLastError() == ERROR_HANDLE_EOF) {
        return std::size_t{0};
      }
      return Failure(Step::kReadPage, path_, LastError());
    }
    return std::size_t{got};
  }

  Result<bool> InPlace() const override {
    const Handle now(calls_, calls_.Open(page_.c_str(), FILE_READ_ATTRIBUTES, kAnyShare,
                                         OPEN_EXISTING, kAsItself));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!now.IsOpen() && GetLastError() == ERROR_FILE_NOT_FOUND) {
      return false;
    }
    if (!now.IsOpen() || !calls_.Information(now.Get(), &information)) {
      return Failure(Step::kReadPage, path_, LastError());
    }
    return information.dwVolumeSerialNumber == information_.dwVolumeSerialNumber &&
           information.nFileIndexHigh == information_.nFileIndexHigh &&
           information.nFileIndexLow == information_.nFileIndexLow;
  }

  Result<> CheckRemoval() const override {
    QUORVANE_TRY(OpenToRemove());
    return {};
  }

  // Removes the very file that was read, through a handle of its own, so that whatever has taken
  // its name since is never the one removed.
  Result<> Remove() const override {
    QUORVANE_TRY_ASSIGN(const Handle doomed, OpenToRemove());
    if (!calls_.MarkForDeletion(doomed.Get())) {
      return Failure(Step::kRemovePage, path_, LastError());
    }
    // The file goes with its last handle; the reader's goes first, so that it goes now.
    file_.Reset();
    return {};
  }

 private:
  // The page opened to be removed, once it is known to be the file read, unchanged, and to be
  // one the user may remove. No one else may write it from then on.
  Result<Handle> OpenToRemove() const {
    Handle doomed(calls_,
                  calls_.Open(page_.c_str(), DELETE | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING, kAsItself));
    BY_HANDLE_FILE_INFORMATION now{};
    if (!doomed.IsOpen() || !calls_.Information(doomed.Get(), &now)) {
      return Failure(Step::kRemovePage, path_, LastError());
    }
    if (!Unchanged(now, information_)) {
      return Failure(Step::kPageChanged, path_);
    }
    // Windows refuses to remove a read-only file, whoever asks; so does this, where an
    // administrator's open for writing would succeed.
    if ((now.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return Failure(Step::kRemovePage, path_, WindowsError(ERROR_ACCESS_DENIED));
    }
    return doomed;
  }

  const SystemCalls& calls_;
  std::wstring name_;
  std::wstring page_;
  std::string folder_path_;
  std::string path_;  // as the user named it, for the messages
  mutable Handle file_;
  BY_HANDLE_FILE_INFORMATION information_{};
};

}  // namespace

Result<std::unique_ptr<PageReader>> ReadSystemPage(const SystemCalls& calls,
                                                   const std::wstring& folder,
                                                   const std::string& folder_path,
                                                   std::string_view name) {
  auto reader = std::make_unique<WindowsPageReader>(calls, folder, folder_path, name);
  QUORVANE_TRY_ASSIGN(const bool opened, reader->Open());
  if (!opened) {
    return std::unique_ptr<PageReader>();
  }
  return std::unique_ptr<PageReader>(std::move(reader));
}

}  // namespace quorvane::platform
