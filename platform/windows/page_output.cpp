#include "platform/windows/page_output.h"

#include <algorithm>  // std::min

#include "platform/page_names.h"
#include "platform/windows/held_names.h"
#include "platform/windows/system_calls.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {
namespace {

constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// What the new page keeps of the old page's attributes; read-only pages are refused.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kLargestWrite = 1 << 30;

class WindowsPageOutput final : public PageOutput {
 public:
  WindowsPageOutput(const SystemCalls& calls, const std::wstring& folder,
                    const std::string& folder_path, std::string_view name)
      : calls_(calls),
        folder_(folder),
        page_(folder + ToWide(name)),
        page_path_(folder_path + std::string(name)),
        name_size_(name.size()),
        file_(calls, INVALID_HANDLE_VALUE) {}

  WindowsPageOutput(const WindowsPageOutput&) = delete;
  WindowsPageOutput& operator=(const WindowsPageOutput&) = delete;

  ~WindowsPageOutput() override {
    file_.Reset();
    if (!temporary_.empty() && !committed_) {
      calls_.Delete(temporary_.c_str());
    }
  }

  // Apart from the constructor, so that a failure part of the way is undone by the destructor.
  Result<> Start() {
    Result<> started = CheckOldPage();
    return started ? Create() : started;
  }

  // Settles that the page may be replaced, creating nothing.
  Result<> Check() { return CheckOldPage(); }

  Result<> Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kLargestWrite));
      DWORD written = 0;
      if (!calls_.Write(file_.Get(), bytes.data(), size, &written)) {
        return Fail(Step::kWritePage, LastError());
      }
      bytes.remove_prefix(written);
    }
    return {};
  }

  Result<> Commit() override {
    Result<> sealed = Seal();
    return sealed ? Place() : sealed;
  }

  // The page shows as a page, no longer hidden, and is on disk before its name moves to it, or
  // a crash could leave an empty page in its place. Each page waits for the disk on its own:
  // Windows lets only an administrator wait for all that is written to a volume.
  Result<> Seal() override {
    const DWORD attributes = (old_attributes_ & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (!calls_.SetAttributes(file_.Get(), attributes) || !calls_.Flush(file_.Get()) ||
        !file_.Reset()) {
      return Fail(Step::kWritePage, LastError());
    }
    return {};
  }

  Result<> Place() override {
    if (Result<> placed = has_old_page_ ? ReplaceOldPage() : MoveIntoPlace(); !placed) {
      return placed;
    }
    committed_ = true;
    hold_.Release();
    return {};
  }

 private:
  Failure Fail(Step step, std::error_code error = {}) const {
    return Failure(step, page_path_, error);
  }

  Result<> MoveIntoPlace() {
    if (!calls_.Move(temporary_.c_str(), page_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Fail(Step::kWritePage, LastError());
    }
    return {};
  }

  // Without a backup name, a replacement that fails half-way leaves no old page at all; with
  // one, the old page is put back from it, and it goes once the new page is in place.
  Result<> ReplaceOldPage() {
    const std::wstring backup = folder_ + ToWide(TemporaryPageName());
    if (calls_.Replace(page_.c_str(), temporary_.c_str(), backup.c_str())) {
      calls_.Delete(backup.c_str());
      return {};
    }
    const std::error_code error = LastError();
    if (error.value() == ERROR_FILE_NOT_FOUND) {
      return MoveIntoPlace();  // the old page went since it was looked at: this is a first page
    }
    if (error.value() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      calls_.Move(backup.c_str(), page_.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    return Fail(Step::kWritePage, error);
  }

  // Settles that the page may be replaced: it is a file (neither a folder nor a reparse point),
  // not read-only, and the user may write it.
  Result<> CheckOldPage() {
    BY_HANDLE_FILE_INFORMATION information{};
    {
      const Handle old(calls_,
                       calls_.Open(page_.c_str(), FILE_READ_ATTRIBUTES, kAnyShare, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
      if (!old.IsOpen()) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
          return {};  // a first page
        }
        return Fail(Step::kWritePage, LastError());
      }
      if (!calls_.Information(old.Get(), &information)) {
        return Fail(Step::kWritePage, LastError());
      }
      if (Result<> own = RefuseAnotherName(old.Get()); !own) {
        return own;
      }
    }
    const DWORD attributes = information.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Fail(Step::kPageIsALink);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Fail(Step::kPageNotAFile);
    }
    // Windows refuses to write a read-only file, whoever asks; so does the page.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return Fail(Step::kWritePage, WindowsError(ERROR_ACCESS_DENIED));
    }
    // Opening it for writing, without writing, is the system's own answer to whether the user
    // may write it.
    const Handle writable(calls_, calls_.Open(page_.c_str(), FILE_WRITE_DATA, kAnyShare,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!writable.IsOpen()) {
      return Fail(Step::kWritePage, LastError());
    }
    has_old_page_ = true;
    old_attributes_ = attributes;
    return {};
  }

  // Names that differ only in letter case find the same file on Windows: a file of the user's
  // under another spelling is not the page, and is not replaced.
  Result<> RefuseAnotherName(HANDLE old) const {
    std::wstring name;
    if (!NameOnDisk(calls_, old, name)) {
      return Fail(Step::kWritePage, LastError());
    }
    if (name != page_.substr(folder_.size())) {
      return Failure(Step::kPageNameClash,
                     page_path_.substr(0, page_path_.size() - name_size_) + ToUtf8(name));
    }
    return {};
  }

  // The new page starts hidden under a name of its own, one that another run has not taken. It
  // shares deletion so that Ctrl+C can remove it while it is open.
  Result<> Create() {
    for (;;) {
      std::wstring temporary = folder_ + ToWide(TemporaryPageName());
      hold_.Hold(temporary);
      HANDLE file = calls_.Open(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW,
                                FILE_ATTRIBUTE_HIDDEN);
      if (file != INVALID_HANDLE_VALUE) {
        file_.Reset(file);
        temporary_ = std::move(temporary);
        return {};
      }
      const std::error_code error = LastError();
      if (error.value() != ERROR_FILE_EXISTS && error.value() != ERROR_ALREADY_EXISTS) {
        hold_.Release();
        return Fail(Step::kWritePage, error);
      }
    }
  }

  const SystemCalls& calls_;
  std::wstring folder_;
  std::wstring page_;
  std::string page_path_;  // as the user named it, for the messages
  std::size_t name_size_;  // of the page's name at the end of page_path_
  Handle file_;
  std::wstring temporary_;  // the hidden name the new page has, once it has one
  HeldName hold_;
  bool has_old_page_ = false;
  DWORD old_attributes_ = 0;
  bool committed_ = false;
};

}  // namespace

Result<> CheckSystemPage(const SystemCalls& calls, const std::wstring& folder,
                         const std::string& folder_path, std::string_view name) {
  return WindowsPageOutput(calls, folder, folder_path, name).Check();
}

Result<std::unique_ptr<PageOutput>> CreateSystemPage(const SystemCalls& calls,
                                                     const std::wstring& folder,
                                                     const std::string& folder_path,
                                                     std::string_view name) {
  auto page = std::make_unique<WindowsPageOutput>(calls, folder, folder_path, name);
  if (Result<> started = page->Start(); !started) {
    return started.Error();
  }
  return std::unique_ptr<PageOutput>(std::move(page));
}

}  // namespace quorvane::platform
