#include "platform/windows/win32.h"

#include "platform/windows/utf16.h"

namespace quorvane::platform {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

bool StartsWith(std::wstring_view text, std::wstring_view start) {
  return text.substr(0, start.size()) == start;
}

}  // namespace

std::wstring FullPath(std::string_view path) {
  const std::wstring wide = ToWide(path);
  if (wide.empty() || StartsWith(wide, kExtended)) {
    SetLastError(wide.empty() ? ERROR_PATH_NOT_FOUND : ERROR_SUCCESS);
    return wide;
  }
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      return {};
    }
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

std::wstring ExtendedPath(std::string_view path) {
  std::wstring full = FullPath(path);
  if (full.empty() || StartsWith(full, kExtended) || StartsWith(full, L"\\\\.\\")) {
    return full;
  }
  if (StartsWith(full, L"\\\\")) {
    return std::wstring(kExtendedUnc) + full.substr(2);
  }
  return std::wstring(kExtended) + full;
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
