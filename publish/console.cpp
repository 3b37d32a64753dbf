#include "publish/console.h"

#include <algorithm>  // std::max
#include <chrono>     // std::chrono

#include "index/folder_listing.h"
#include "platform/text_output.h"
#include "text/utf8.h"

namespace quorvane::tool {
namespace {

using namespace std::chrono_literals;

// The progress line is redrawn this often.
constexpr auto kProgressEvery = 100ms;

void AppendOctal(std::string& out, unsigned char byte) {
  out += '\\';
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string ForTerminal(std::string_view text) {
  static constexpr char kNamed[] = "\a\b\t\n\v\f\r";
  static constexpr char kLetters[] = "abtnvfr";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\\' && kPathSeparator == '\\') {
      out += '\\';  // Windows' separator, which no name there holds
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte != 0 &&
               std::string_view(kNamed).find(static_cast<char>(byte)) != std::string_view::npos) {
      out += '\\';
      out += kLetters[std::string_view(kNamed).find(static_cast<char>(byte))];
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendOctal(out, byte);
    } else if (byte >= 0x80) {
      char32_t code = 0;
      const std::size_t length = text::Utf8SequenceLength(text.substr(i), code);
      // C1 controls are commands to a terminal too, in UTF-8 as much as in bytes.
      if (length == 0 || code < 0xA0) {
        for (std::size_t j = 0; j < std::max<std::size_t>(length, 1); ++j) {
          AppendOctal(out, static_cast<unsigned char>(text[i + j]));
        }
        i += std::max<std::size_t>(length, 1);
        continue;
      }
      out.append(text.substr(i, length));
      i += length;
      continue;
    } else {
      out += static_cast<char>(byte);
    }
    ++i;
  }
  return out;
}

using platform::StandardStream;

Console::Console()
    : out_is_terminal_(platform::IsTerminal(StandardStream::kOutput)),
      err_is_terminal_(platform::IsTerminal(StandardStream::kError)),
      out_shares_progress_(platform::OutputSharesErrorsTerminal()) {}

void Console::ShowProgress(const platform::Executor& executor, std::chrono::milliseconds after) {
  if (!err_is_terminal_ || progress_) {
    return;
  }
  progress_ = std::make_unique<platform::TaskGroup>(executor);
  // Without a thread to show it, the run goes on without a progress line.
  progress_->TryRun([this, after] {
    const auto started = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, kProgressEvery, [this] { return stopping_; })) {
      if (std::chrono::steady_clock::now() - started >= after) {
        DrawProgress();
      }
    }
  });
}

bool Console::ProgressShown() {
  const std::lock_guard lock(mutex_);
  return progress_shown_;
}

Console::~Console() { Finish(0); }

void Console::Write(StandardStream stream, std::string_view text) {
  const platform::Result<> written = platform::WriteText(stream, text);
  if (!written && stream == StandardStream::kOutput && !out_error_) {
    out_error_ = written.Error().error;
  }
}

void Console::Print(std::string_view text) {
  const std::lock_guard lock(mutex_);
  Write(StandardStream::kOutput, text);
}

void Console::PagePath(std::string_view path) {
  const std::lock_guard lock(mutex_);
  // A path that goes elsewhere leaves the progress line be, or the line would flicker.
  if (out_shares_progress_) {
    ClearProgress();
  }
  std::string line = out_is_terminal_ ? ForTerminal(path) : std::string(path);
  line += '\n';
  Write(StandardStream::kOutput, line);
}

void Console::Report(const platform::Failure& failure) {
  const std::string words = platform::Describe(failure);
  const std::lock_guard lock(mutex_);
  ClearProgress();
  std::string line = "quorvane-index: ";
  line += err_is_terminal_ ? ForTerminal(words) : words;
  line += '\n';
  Write(StandardStream::kError, line);
}

void Console::DrawProgress() {
  if (files_total_.load() == 0 && folders_done_.load() == 0) {
    return;  // still reading the first folder: nothing to count yet
  }
  std::string line = "\rquorvane-index: " + std::to_string(files_written_.load()) + " of " +
                     std::to_string(files_total_.load()) + " files";
  const std::int64_t folders = folders_done_.load();
  if (folders > 0) {
    line += ", " + std::to_string(folders) + (folders == 1 ? " folder" : " folders") + " done";
  }
  line += "\033[K";
  Write(StandardStream::kError, line);
  progress_shown_ = true;
}

void Console::ClearProgress() {
  if (progress_shown_) {
    Write(StandardStream::kError, "\r\033[K");
    progress_shown_ = false;
  }
}

void Console::StopProgress() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
}

int Console::Finish(int status) {
  if (progress_) {
    StopProgress();
    progress_->Wait();
  }
  const std::lock_guard lock(mutex_);
  ClearProgress();
  if (out_error_) {
    const std::string words =
        "quorvane-index: " +
        platform::Describe({platform::Step::kWriteOutput, "standard output", out_error_}) + "\n";
    Write(StandardStream::kError, words);
    out_error_.clear();
    return 1;
  }
  return status;
}

}  // namespace quorvane::tool
