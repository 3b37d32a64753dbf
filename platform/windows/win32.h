#pragma once

#include <windows.h>

#include <ctime>         // std::time_t
#include <string>        // std::wstring
#include <string_view>   // std::string_view, std::wstring_view
#include <system_error>  // std::error_code
#include <utility>       // std::exchange

#include "platform/failure.h"
#include "platform/windows/system_calls.h"

namespace quorvane::platform {

// A Windows error code as a system error, described in the system's own words.
inline std::error_code WindowsError(DWORD code) {
  return std::error_code(static_cast<int>(code), std::system_category());
}

// The calling thread's last error.
inline std::error_code LastError() { return WindowsError(GetLastError()); }

// An open handle, closed through its seam when this goes, whatever way the scope ends. Moved,
// the new owner closes it.
class Handle {
 public:
  Handle() = default;
  // Takes `handle`; INVALID_HANDLE_VALUE for none.
  Handle(const SystemCalls& calls, HANDLE handle) : calls_(&calls), handle_(handle) {}
  Handle(Handle&& other) noexcept
      : calls_(other.calls_), handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Drop();
      calls_ = other.calls_;
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  ~Handle() { Drop(); }

  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes it now and takes `handle` instead; false, with the reason in GetLastError(), where
  // the close fails.
  bool Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    const HANDLE old = std::exchange(handle_, handle);
    return old == INVALID_HANDLE_VALUE || calls_->Close(old);
  }

 private:
  // Closes it, leaving the last error as it was for the caller that reads it after the scope.
  void Drop() {
    const DWORD error = GetLastError();
    Reset();
    SetLastError(error);
  }

  const SystemCalls* calls_ = nullptr;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// `path`'s full form as a user reads it: C:\photos, \\server\share\photos. Fails (kReadFolder)
// naming `path` where it has none.
Result<std::wstring> FullPath(std::string_view path);

// `path` (UTF-8, relative or absolute, / or \ between names) as the full \\?\ path that the wide
// API takes whatever its length. Fails as FullPath() does.
Result<std::wstring> ExtendedPath(std::string_view path);

// The folder that the folder at `path` (a full path, with \\?\ or without, ending in \) is in,
// ending in \; empty for the root of a drive or a share, which is in none.
std::wstring ParentOf(std::wstring_view path);

// The name the open file `file` has in its folder, spelt as it is there, which may differ in
// letter case from the name it was opened by. Fails with `step` naming `shown` where it cannot be
// told.
Result<std::wstring> NameOnDisk(const SystemCalls& calls, HANDLE file, Step step,
                                std::string_view shown);

// A file time (100 ns since 1601, UTC) in seconds since 1970, rounded down.
std::time_t ToTimeT(const FILETIME& time);

}  // namespace quorvane::platform
