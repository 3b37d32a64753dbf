#pragma once

// Runs the built quorvane-index.exe as a Windows user would: wide arguments, Windows paths,
// standard output and error in files.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/windows/utf16.h"
#include "publishing_cases.h"
#include "tests/support/temp_folder.h"

namespace quorvane::testing {

using platform::ToUtf8;
using platform::ToWide;

struct ToolResult {
  DWORD status = 0;
  std::string out;
  std::string err;
};

// `argument` quoted so that CommandLineToArgvW gives it back whole.
inline std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

inline std::wstring ToolPath() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.rfind(L'\\') + 1) + ToWide(QUORVANE_INDEX_TOOL_FROM_TESTS);
}

inline HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(ToWide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs the tool in `folder` with `arguments`, standard output and error going to files; with
// `readonly_out`, standard output is a file opened only for reading.
inline ToolResult RunTool(const std::string& folder, const std::vector<std::string>& arguments,
                          bool readonly_out = false) {
  const TempFolder capture;
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";
  if (readonly_out) {
    WriteFile(out_path, "");
  }
  const HANDLE out = Inheritable(out_path, readonly_out ? GENERIC_READ : GENERIC_WRITE,
                                 readonly_out ? OPEN_EXISTING : CREATE_ALWAYS);
  const HANDLE err = Inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  std::wstring command = Quoted(ToolPath());
  for (const std::string& argument : arguments) {
    command += L" " + Quoted(ToWide(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  ToolResult result;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     ToWide(folder).c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    ADD_FAILURE() << "cannot start " << ToUtf8(command) << ": " << GetLastError();
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = readonly_out ? "" : ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

inline bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The pages under `root`, by their paths from it with "/" between names, sorted; links to
// folders are not followed.
inline std::vector<std::string> PagesUnder(const std::string& root, const std::string& from = "") {
  std::vector<std::string> pages;
  for (const std::string& name : Entries(root)) {
    const std::string path = root + "\\" + name;
    const bool link =
        (GetFileAttributesW(ToWide(path).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!IsFolder(path)) {
      if (name == "quorvane_index.html") {
        pages.push_back(from + name);
      }
    } else if (!link) {
      for (std::string& page : PagesUnder(path, from + name + "/")) {
        pages.push_back(std::move(page));
      }
    }
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

// Which file or folder is at `path`, and when it was last written.
inline std::tuple<DWORD, DWORD, DWORD, DWORD, DWORD> Stamp(const std::string& path) {
  const HANDLE file = CreateFileW(ToWide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION information{};
  EXPECT_TRUE(file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &information))
      << path;
  CloseHandle(file);
  return {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow,
          information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime};
}

}  // namespace quorvane::testing
