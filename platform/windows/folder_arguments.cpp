#include "platform/folder_arguments.h"

#include <windows.h>

#include <utility>  // std::move

#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

// `path` without the separators that end it, but for a drive's root (C:\) or a share's.
std::wstring WithoutEndingSeparators(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/') &&
         path[path.size() - 2] != L':') {
    path.pop_back();
  }
  return path;
}

// A path the system gives with \\?\ in front, as a user writes it.
std::wstring WithoutExtendedPrefix(std::wstring path) {
  if (path.rfind(kExtendedUnc, 0) == 0) {
    return L"\\\\" + path.substr(kExtendedUnc.size());
  }
  if (path.rfind(kExtended, 0) == 0) {
    return path.substr(kExtended.size());
  }
  return path;
}

}  // namespace

Result<std::string> WorkingFolder(std::string_view asked) {
  std::wstring folder(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0) {
      return Failure(Step::kReadFolder, asked, LastError());
    }
    if (length < folder.size()) {
      folder.resize(length);
      return ToUtf8(WithoutEndingSeparators(folder));
    }
    folder.resize(length);
  }
}

// Windows takes ".." by the names before it, not by where they lead, so the full path is the
// folder the system opens.
Result<std::string> AbsoluteFolder(std::string_view given) {
  QUORVANE_TRY_ASSIGN(std::wstring full, FullPath(given));
  return ToUtf8(WithoutEndingSeparators(std::move(full)));
}

Result<std::string> ResolvedFolder(std::string_view given) {
  QUORVANE_TRY_ASSIGN(std::string absolute, AbsoluteFolder(given));
  const Result<std::wstring> extended = ExtendedPath(absolute);
  if (!extended) {
    return absolute;
  }
  const SystemCalls& calls = SystemCalls::Real();
  const Handle folder(calls, calls.Open(extended->c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  if (!folder.IsOpen()) {
    return absolute;
  }
  std::wstring resolved(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(folder.Get(), resolved.data(),
                                           static_cast<DWORD>(resolved.size()), 0);
  if (length >= resolved.size()) {
    resolved.resize(length);
    length = GetFinalPathNameByHandleW(folder.Get(), resolved.data(),
                                       static_cast<DWORD>(resolved.size()), 0);
  }
  if (length == 0 || length >= resolved.size()) {
    return absolute;
  }
  resolved.resize(length);
  return ToUtf8(WithoutEndingSeparators(WithoutExtendedPrefix(resolved)));
}

}  // namespace quorvane::platform
