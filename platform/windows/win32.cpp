#include "platform/windows/win32.h"

#include <vector>  // std::vector

#include "platform/windows/utf16.h"

namespace quorvane::platform {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

bool StartsWith(std::wstring_view text, std::wstring_view start) {
  return text.substr(0, start.size()) == start;
}

// How much of the full path `path` is its root: C:\, \\server\share\, \\?\C:\,
// \\?\UNC\server\share\.
std::size_t RootLength(std::wstring_view path) {
  std::size_t end = 0;
  int names = 1;  // of the root, after its prefix
  if (StartsWith(path, kExtendedUnc)) {
    end = kExtendedUnc.size();
    names = 2;
  } else if (StartsWith(path, kExtended) || StartsWith(path, L"\\\\.\\")) {
    end = kExtended.size();
  } else if (StartsWith(path, L"\\\\")) {
    end = 2;
    names = 2;
  }
  for (; names > 0; --names) {
    const std::size_t slash = path.find(L'\\', end);
    if (slash == std::wstring_view::npos) {
      return path.size();
    }
    end = slash + 1;
  }
  return end;
}

}  // namespace

Result<std::wstring> FullPath(std::string_view path) {
  const std::wstring wide = ToWide(path);
  if (wide.empty()) {
    return Failure(Step::kReadFolder, path, WindowsError(ERROR_PATH_NOT_FOUND));
  }
  if (StartsWith(wide, kExtended)) {
    return wide;
  }
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      return Failure(Step::kReadFolder, path, LastError());
    }
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

Result<std::wstring> ExtendedPath(std::string_view path) {
  QUORVANE_TRY_ASSIGN(std::wstring full, FullPath(path));
  if (StartsWith(full, kExtended) || StartsWith(full, L"\\\\.\\")) {
    return full;
  }
  if (StartsWith(full, L"\\\\")) {
    return std::wstring(kExtendedUnc) + full.substr(2);
  }
  return std::wstring(kExtended) + full;
}

std::wstring ParentOf(std::wstring_view path) {
  const std::size_t root = RootLength(path);
  if (path.size() <= root) {
    return {};
  }
  const std::size_t slash = path.rfind(L'\\', path.size() - 2);
  return std::wstring(path.substr(0, slash + 1));
}

Result<std::wstring> NameOnDisk(const SystemCalls& calls, HANDLE file, Step step,
                                std::string_view shown) {
  // Room for the longest path a volume holds.
  std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(DWORD));
  if (!calls.NameOf(file, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) {
    return Failure(step, shown, LastError());
  }
  const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
  const std::wstring_view path(info->FileName, info->FileNameLength / sizeof(wchar_t));
  return std::wstring(path.substr(path.rfind(L'\\') + 1));
}

std::time_t ToTimeT(const FILETIME& time) {
  constexpr long long kTicksPerSecond = 10'000'000;
  constexpr long long kTicksTo1970 = 116'444'736'000'000'000;
  const long long ticks =
      static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                             time.dwLowDateTime) -
      kTicksTo1970;
  const long long seconds = ticks / kTicksPerSecond;
  return static_cast<std::time_t>(ticks % kTicksPerSecond < 0 ? seconds - 1 : seconds);
}

}  // namespace quorvane::platform
