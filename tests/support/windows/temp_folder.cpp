#include "tests/support/temp_folder.h"

#include <windows.h>

#include <algorithm>  // std::sort
#include <random>     // std::random_device
#include <stdexcept>  // std::runtime_error
#include <system_error>

#include "platform/windows/utf16.h"

namespace quorvane::testing {
namespace {

using platform::ToUtf8;
using platform::ToWide;

[[noreturn]] void Throw(const std::string& what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

// The full \\?\ form of `path`, so that long paths work in the tests as in the program.
std::wstring Long(const std::string& path) {
  const std::wstring wide = ToWide(path);
  return wide.rfind(L"\\\\?\\", 0) == 0 ? wide : L"\\\\?\\" + wide;
}

FILETIME ToFileTime(std::time_t t) {
  const auto ticks = static_cast<unsigned long long>((t + 11'644'473'600LL) * 10'000'000);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Removes the file or folder at `path` with all it holds, read-only files too.
void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (!DeleteFileW(path.c_str())) {
      RemoveDirectoryW(path.c_str());
    }
    return;
  }
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") {
        RemoveTree(path + L"\\" + name);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) {
    Throw("cannot find the folder for temporary files");
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        ToUtf8(std::wstring(temp, length)) + "quorvane-test-" + std::to_string(random());
    if (CreateDirectoryW(ToWide(path).c_str(), nullptr)) {
      path_ = path;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      Throw("cannot create " + path);
    }
  }
  Throw("cannot create a temporary folder");
}

TempFolder::~TempFolder() { RemoveTree(Long(path_)); }

std::string TempFolder::operator/(std::string_view name) const {
  std::string path = path_ + "\\" + std::string(name);
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(path_.size()), path.end(), '/', '\\');
  return path;
}

std::string TempFolder::AddFile(std::string_view name, std::int64_t size,
                                std::time_t modified) const {
  const std::string path = *this / name;
  const HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Throw("cannot create " + path);
  }
  LARGE_INTEGER end{};
  end.QuadPart = size;
  const FILETIME time = ToFileTime(modified);
  const bool done = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
                    (modified == 0 || SetFileTime(file, nullptr, nullptr, &time));
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!done) {
    SetLastError(error);
    Throw("cannot size or date " + path);
  }
  return path;
}

std::string TempFolder::AddFolder(std::string_view name) const {
  const std::string path = *this / name;
  if (!CreateDirectoryW(Long(path).c_str(), nullptr)) {
    Throw("cannot create " + path);
  }
  return path;
}

std::string ReadFile(const std::string& path) {
  std::string text;
  const HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return text;
  }
  char buffer[65536];
  for (DWORD got = 0; ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0;) {
    text.append(buffer, got);
  }
  CloseHandle(file);
  return text;
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Entries(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((Long(path) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    const std::string name = ToUtf8(found.cFileName);
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFile(const std::string& path, const std::string& text) {
  const HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool done =
      file != INVALID_HANDLE_VALUE &&
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
  }
  if (!done) {
    throw std::runtime_error("cannot write " + path);
  }
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Long(path).c_str()) != 0; }

bool Rename(const std::string& from, const std::string& to) {
  return MoveFileExW(Long(from).c_str(), Long(to).c_str(), 0) != 0;
}

}  // namespace quorvane::testing
