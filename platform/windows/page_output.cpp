#include "platform/windows/page_output.h"

#include <algorithm>  // std::min
#include <optional>   // std::optional
#include <utility>    // std::move

#include "platform/page_names.h"
#include "platform/page_replacement.h"
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

bool IsNameTaken(std::error_code error) {
  return error.value() == ERROR_FILE_EXISTS || error.value() == ERROR_ALREADY_EXISTS;
}

// Whether `name` is one Windows keeps for a device (NUL, CON, COM1, with or without an
// extension): a file of that name, which a \\?\ path makes, is one that Explorer and cmd can
// hardly remove.
bool IsDeviceName(std::wstring_view name) {
  std::wstring base(name.substr(0, name.find(L'.')));
  base.erase(base.find_last_not_of(L' ') + 1);
  for (wchar_t& c : base) {
    c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  }
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
      base == L"CONOUT$") {
    return true;
  }
  const std::wstring_view digits = L"0123456789\u00B9\u00B2\u00B3";
  return base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) &&
         digits.find(base[3]) != std::wstring_view::npos;
}

class WindowsReplaceSteps final : public ReplaceSteps {
 public:
  WindowsReplaceSteps(const SystemCalls& calls, const std::wstring& folder,
                      const std::string& folder_path, std::string_view name)
      : calls_(calls),
        folder_(folder),
        page_(folder + ToWide(name)),
        page_path_(folder_path + std::string(name)),
        name_size_(name.size()),
        file_(calls, INVALID_HANDLE_VALUE),
        held_(calls, INVALID_HANDLE_VALUE) {}

  // The page may be replaced where it is a file (neither a folder nor a reparse point), not
  // read-only, and the user may write it.
  Result<bool> CheckOld() override {
    QUORVANE_TRY(CheckName());
    QUORVANE_TRY_ASSIGN(const std::optional<DWORD> attributes, OldAttributes());
    if (!attributes) {
      return false;  // a first page
    }
    if ((*attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Fail(Step::kPageIsALink);
    }
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Fail(Step::kPageNotAFile);
    }
    // Windows refuses to write a read-only file, whoever asks; so does the page.
    if ((*attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return Fail(Step::kWritePage, WindowsError(ERROR_ACCESS_DENIED));
    }
    // Opening it for writing, without writing, is the system's own answer to whether the user
    // may write it.
    const Handle writable(calls_, calls_.Open(page_.c_str(), FILE_WRITE_DATA, kAnyShare,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!writable.IsOpen()) {
      return Fail(Step::kWritePage, LastError());
    }
    old_attributes_ = *attributes;
    return true;
  }

  Result<bool> CreateUnnamed() override { return false; }

  // The new page starts hidden. It shares deletion so that Ctrl+C can remove it while it is open.
  // A second handle, for reading, holds it open from then until it is placed or dropped, so that
  // a run that removes leftovers, which opens one without sharing, tells it from a killed run's.
  Result<bool> TakeName(const std::string& name) override {
    std::wstring temporary = folder_ + ToWide(name);
    const HANDLE file =
        calls_.Open(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
    if (file == INVALID_HANDLE_VALUE) {
      const std::error_code error = LastError();
      return IsNameTaken(error) ? Result<bool>(false) : Fail(Step::kWritePage, error);
    }
    file_.Reset(file);
    held_.Reset(calls_.Open(temporary.c_str(), GENERIC_READ, kAnyShare, OPEN_EXISTING, 0));
    temporary_ = std::move(temporary);
    return true;
  }

  void DropName() override {
    file_.Reset();
    held_.Reset();
    if (!moved_) {
      calls_.Delete(temporary_.c_str());
    }
  }

  void RemoveNow() const noexcept override { DeleteFileW(temporary_.c_str()); }

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

  // The page stays hidden until it ends, when it takes the old page's attributes; ReplaceFileW
  // gives it the old page's security.
  Result<> Carry() override { return {}; }

  // The page shows as a page, no longer hidden, and is on disk before its name moves to it, or
  // a crash could leave an empty page in its place. Each page waits for the disk on its own:
  // Windows lets only an administrator wait for all that is written to a volume.
  Result<> End(bool /*wait*/) override {
    const DWORD attributes = (old_attributes_ & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (!calls_.SetAttributes(file_.Get(), attributes) || !calls_.Flush(file_.Get()) ||
        !file_.Reset()) {
      return Fail(Step::kWritePage, LastError());
    }
    return {};
  }

  // A first page never replaces a file that took its name meanwhile.
  Result<bool> PutInPlace(bool over_old, bool last) override {
    if (over_old) {
      // Windows replaces a file with one that nothing else holds open: the new page is let go
      // for that instant, and ReplaceFileW holds it from then on.
      held_.Reset();
      QUORVANE_TRY_ASSIGN(const bool replaced, ReplaceOld());
      if (replaced) {
        return true;
      }
    }
    if (calls_.Move(temporary_.c_str(), page_.c_str(), MOVEFILE_WRITE_THROUGH)) {
      moved_ = true;
      return true;
    }
    const std::error_code error = LastError();
    return !last && IsNameTaken(error) ? Result<bool>(false) : Fail(Step::kWritePage, error);
  }

 private:
  Failure Fail(Step step, std::error_code error = {}) const {
    return Failure(step, page_path_, error);
  }

  // A device's name is refused as Linux refuses /dev/null, and a name that ends in a dot or a
  // space, which Windows takes off any name it is given, as the name Windows would not make.
  Result<> CheckName() const {
    const std::wstring_view name = std::wstring_view(page_).substr(folder_.size());
    if (IsDeviceName(name)) {
      return Fail(Step::kPageNotAFile);
    }
    if (name.empty() || name.back() == L'.' || name.back() == L' ') {
      return Fail(Step::kWritePage, WindowsError(ERROR_INVALID_NAME));
    }
    return {};
  }

  // The attributes of the file that has the page's name; none where no file has it.
  Result<std::optional<DWORD>> OldAttributes() const {
    const Handle old(calls_,
                     calls_.Open(page_.c_str(), FILE_READ_ATTRIBUTES, kAnyShare, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (!old.IsOpen()) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) {
        return std::optional<DWORD>();
      }
      return Fail(Step::kWritePage, LastError());
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!calls_.Information(old.Get(), &information)) {
      return Fail(Step::kWritePage, LastError());
    }
    QUORVANE_TRY(RefuseAnotherName(old.Get()));
    return std::optional<DWORD>(information.dwFileAttributes);
  }

  // Names that differ only in letter case find the same file on Windows: a file of the user's
  // under another spelling is not the page, and is not replaced.
  Result<> RefuseAnotherName(HANDLE old) const {
    QUORVANE_TRY_ASSIGN(const std::wstring name,
                        NameOnDisk(calls_, old, Step::kWritePage, page_path_));
    if (name != page_.substr(folder_.size())) {
      return Failure(Step::kPageNameClash, InFolder(name));
    }
    return {};
  }

  // Without a backup name, a replacement that fails half-way leaves no old page at all; with
  // one, the old page is put back from it, and it goes once the new page is in place. False
  // where the old page went since it was checked.
  Result<bool> ReplaceOld() {
    const std::wstring backup = folder_ + ToWide(TemporaryPageName());
    if (calls_.Replace(page_.c_str(), temporary_.c_str(), backup.c_str())) {
      moved_ = true;
      // Another run may have taken it for a leftover, and removed it already.
      if (!calls_.Delete(backup.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return Failure(Step::kOldPageLeft, InFolder(backup.substr(folder_.size())), LastError());
      }
      return true;
    }
    const std::error_code error = LastError();
    if (error.value() == ERROR_FILE_NOT_FOUND) {
      return false;
    }
    if (error.value() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
        !calls_.Move(backup.c_str(), page_.c_str(), MOVEFILE_WRITE_THROUGH)) {
      return Failure(Step::kOldPageLeft, InFolder(backup.substr(folder_.size())), LastError());
    }
    return Fail(Step::kWritePage, error);
  }

  // The path, as the user knows it, of `name` in the page's folder.
  std::string InFolder(std::wstring_view name) const {
    return page_path_.substr(0, page_path_.size() - name_size_) + ToUtf8(name);
  }

  const SystemCalls& calls_;
  std::wstring folder_;
  std::wstring page_;
  std::string page_path_;  // as the user named it, for the messages
  std::size_t name_size_;  // of the page's name at the end of page_path_
  Handle file_;
  Handle held_;             // the new page, open until it is placed or dropped
  std::wstring temporary_;  // the hidden name the new page has, once it has one
  DWORD old_attributes_ = 0;
  bool moved_ = false;  // whether the new page has left its hidden name
};

}  // namespace

Result<> CheckSystemPage(const SystemCalls& calls, const std::wstring& folder,
                         const std::string& folder_path, std::string_view name) {
  QUORVANE_TRY(WindowsReplaceSteps(calls, folder, folder_path, name).CheckOld());
  // Opening the folder to add a file to it, without adding one, is the system's own answer to
  // whether the user may put the new page there.
  const Handle writable(calls, calls.Open(folder.c_str(), FILE_ADD_FILE, kAnyShare, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS));
  if (!writable.IsOpen()) {
    return Failure(Step::kWritePage, folder_path + std::string(name), LastError());
  }
  return {};
}

Result<std::unique_ptr<PageOutput>> CreateSystemPage(const SystemCalls& calls,
                                                     const std::wstring& folder,
                                                     const std::string& folder_path,
                                                     std::string_view name) {
  return StartReplacing(std::make_unique<WindowsReplaceSteps>(calls, folder, folder_path, name));
}

}  // namespace quorvane::platform
