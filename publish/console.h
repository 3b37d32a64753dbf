#pragma once

#include <atomic>              // std::atomic
#include <chrono>              // std::chrono::milliseconds
#include <condition_variable>  // std::condition_variable
#include <cstdint>             // std::int64_t
#include <memory>              // std::unique_ptr
#include <mutex>               // std::mutex
#include <string>              // std::string
#include <string_view>         // std::string_view
#include <system_error>        // std::error_code

#include "platform/executor.h"
#include "platform/failure.h"
#include "platform/text_output.h"

namespace quorvane::tool {

// `text` as a terminal should show it: control characters (C0 and C1), bytes that are not UTF-8
// and the backslash itself written as escapes (\n, \t, \033, \377, \\), so that a name can
// neither move the cursor nor change colours, nor pass for another name. On Windows, where the
// backslash separates names and no name holds it or a control character, it stays as it is.
std::string ForTerminal(std::string_view text);

// The tool's standard output and standard error, shared by the threads that index folders.
// Paths written to a terminal are escaped; written elsewhere they are the file system's bytes.
class Console {
 public:
  Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console();

  // `text` as it is, on standard output.
  void Print(std::string_view text);
  // A page's path, a line on standard output.
  void PagePath(std::string_view path);
  // "quorvane-index: " and the words of `failure`, a line on standard error.
  void Report(const platform::Failure& failure);

  // Shows how far the run is on standard error, where that is a terminal, once the run has
  // taken `after`: a line redrawn as it goes, on a thread of `executor`, until Finish().
  void ShowProgress(const platform::Executor& executor,
                    std::chrono::milliseconds after = std::chrono::milliseconds(1000));
  // Whether the progress line is on the terminal now.
  bool ProgressShown();

  // How far the run is, for the progress line.
  void AddFiles(std::int64_t count) { files_total_ += count; }
  void FileWritten() { ++files_written_; }
  void FolderDone() { ++folders_done_; }

  // Clears the progress line and settles the output. Returns `status`, or 1 with a report when
  // standard output could not be written.
  int Finish(int status);

 private:
  void Write(platform::StandardStream stream, std::string_view text);
  void DrawProgress();
  void ClearProgress();
  void StopProgress();

  const bool out_is_terminal_;
  const bool err_is_terminal_;
  const bool out_shares_progress_;  // standard output shows on the progress line's terminal
  std::mutex mutex_;                // one line at a time, and the progress line around them
  std::error_code out_error_;
  bool progress_shown_ = false;

  std::atomic<std::int64_t> files_total_{0};
  std::atomic<std::int64_t> files_written_{0};
  std::atomic<std::int64_t> folders_done_{0};
  std::condition_variable stop_;
  bool stopping_ = false;
  std::unique_ptr<platform::TaskGroup> progress_;  // last, so that it ends first
};

}  // namespace quorvane::tool
