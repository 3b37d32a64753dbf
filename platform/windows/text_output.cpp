#include "platform/text_output.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>  // CommandLineToArgvW

#include <algorithm>  // std::min

#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"

namespace quorvane::platform {
namespace {

constexpr std::size_t kConsoleChunk = 8192;  // wide characters to a console in one call

HANDLE StreamHandle(StandardStream stream) {
  return GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

Result<> WriteToConsole(HANDLE console, StandardStream stream, std::string_view text) {
  const std::wstring wide = ToWide(text);
  for (std::wstring_view left = wide; !left.empty();) {
    std::size_t size = std::min(left.size(), kConsoleChunk);
    // Never half a surrogate pair at the end of a call.
    if (size < left.size() && left[size - 1] >= 0xD800 && left[size - 1] <= 0xDBFF) {
      --size;
    }
    DWORD written = 0;
    if (!WriteConsoleW(console, left.data(), static_cast<DWORD>(size), &written, nullptr)) {
      return Failure(Step::kWriteOutput, StreamName(stream), LastError());
    }
    left.remove_prefix(written);
  }
  return {};
}

}  // namespace

void PrepareTextOutput() {
  for (const StandardStream stream : {StandardStream::kOutput, StandardStream::kError}) {
    const HANDLE handle = StreamHandle(stream);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
      // Where the console cannot take them, the progress line shows the sequences as text.
      SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
  }
}

bool IsTerminal(StandardStream stream) { return IsConsole(StreamHandle(stream)); }

// A process has one console at most: both streams on consoles are on the same.
bool OutputSharesErrorsTerminal() {
  return IsTerminal(StandardStream::kOutput) && IsTerminal(StandardStream::kError);
}

Result<> WriteText(StandardStream stream, std::string_view text) {
  const HANDLE handle = StreamHandle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    // The stream was not given to the program.
    return Failure(Step::kWriteOutput, StreamName(stream), WindowsError(ERROR_INVALID_HANDLE));
  }
  if (IsConsole(handle)) {
    return WriteToConsole(handle, stream, text);
  }
  while (!text.empty()) {
    const auto size = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1 << 30));
    DWORD written = 0;
    if (!WriteFile(handle, text.data(), size, &written, nullptr)) {
      return Failure(Step::kWriteOutput, StreamName(stream), LastError());
    }
    text.remove_prefix(written);
  }
  return {};
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(ToUtf8(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace quorvane::platform
