// quorvane-index.exe --watch: a tree kept current as it changes, and Ctrl+C ending it.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "windows_tool_runs.h"

namespace quorvane::testing {
namespace {

// Gives this process a console of its own, which the tools it starts share, so that Ctrl+C can
// be sent to them; this process takes no notice of it.
void ShareAConsole() {
  static const bool shared = [] {
    FreeConsole();
    return AllocConsole() && SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
  }();
  ASSERT_TRUE(shared) << "no console to share: " << GetLastError();
}

// The tool started to keep a tree current (--watch) on the console this process shares, what it
// prints and its errors read as they come.
class WatchingTool {
 public:
  WatchingTool(const std::string& folder, const std::vector<std::string>& arguments) {
    ShareAConsole();
    std::wstring command = Quoted(ToolPath());
    for (const std::string& argument : arguments) {
      command += L" " + Quoted(ToWide(argument));
    }
    HANDLE out[2];
    HANDLE err[2];
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&out[0], &out[1], &inherit, 0) || !CreatePipe(&err[0], &err[1], &inherit, 0)) {
      ADD_FAILURE() << "CreatePipe: " << GetLastError();
      return;
    }
    SetHandleInformation(out[0], HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err[0], HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out[1];
    startup.hStdError = err[1];
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        ToWide(folder).c_str(), &startup, &process_)) {
      ADD_FAILURE() << "cannot start " << ToUtf8(command) << ": " << GetLastError();
    }
    CloseHandle(out[1]);
    CloseHandle(err[1]);
    readers_.emplace_back([this, pipe = out[0]] { Read(pipe, out_); });
    readers_.emplace_back([this, pipe = err[0]] { Read(pipe, err_); });
  }
  WatchingTool(const WatchingTool&) = delete;
  WatchingTool& operator=(const WatchingTool&) = delete;
  ~WatchingTool() {
    if (process_.hProcess != nullptr) {
      TerminateProcess(process_.hProcess, 1);
      End();
    }
  }

  // Waits until each of `lines` has been printed, failing the test after 30 s; gives every line
  // printed until then.
  std::vector<std::string> Printed(const std::set<std::string>& lines) {
    std::set<std::string> missing = lines;
    std::vector<std::string> read;
    std::unique_lock lock(mutex_);
    while (!missing.empty()) {
      if (const std::size_t end = out_.find('\n'); end != std::string::npos) {
        read.push_back(out_.substr(0, end));
        out_.erase(0, end + 1);
        missing.erase(read.back());
      } else if (!came_.wait_for(lock, std::chrono::seconds(30),
                                 [&] { return out_.find('\n') != std::string::npos; })) {
        ADD_FAILURE() << "nothing more printed; still waiting for " << *missing.begin()
                      << "\nerrors: " << err_;
        break;
      }
    }
    return read;
  }

  // Sends Ctrl+C, then waits for the tool to end: its status, the rest of what it printed, and
  // all it wrote as errors.
  ToolResult Stop() {
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "still running 30 s after Ctrl+C";
      TerminateProcess(process_.hProcess, 1);
    }
    ToolResult result;
    GetExitCodeProcess(process_.hProcess, &result.status);
    End();
    result.out = out_;
    result.err = err_;
    return result;
  }

 private:
  void Read(HANDLE pipe, std::string& into) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      const std::lock_guard lock(mutex_);
      into.append(buffer, got);
      came_.notify_all();
    }
    CloseHandle(pipe);
  }

  // Waits for the tool and its streams to end.
  void End() {
    WaitForSingleObject(process_.hProcess, INFINITE);
    for (std::thread& reader : readers_) {
      reader.join();
    }
    readers_.clear();
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_.hProcess = nullptr;
  }

  PROCESS_INFORMATION process_{};
  std::mutex mutex_;
  std::condition_variable came_;
  std::string out_;
  std::string err_;
  std::vector<std::thread> readers_;  // last, so that they end first
};

TEST(WindowsWatchTest, ChangedFoldersGetThePagesARunOfTheirOwnWouldWrite) {
  CheckWatchKeepsPagesCurrent(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return std::make_unique<WatchingTool>(folder, arguments);
      },
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool(folder, arguments);
      },
      [](const std::string& root) { return PagesUnder(root); }, Stamp);
}

}  // namespace
}  // namespace quorvane::testing
