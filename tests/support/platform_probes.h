#pragma once

#include <memory>       // std::unique_ptr
#include <stdexcept>    // std::runtime_error
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "platform/executor.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::testing {

// The threads of a test program, bounded as a program's are.
inline const platform::Executor& TestExecutor() {
  static const platform::Executor executor(8);
  return executor;
}

// Keeps the names a folder listing gives, in the order given.
using Names = platform::NameVector;

// What the failure of `result` says, or "" when it succeeded.
template <typename T>
std::string FailureOf(const platform::Result<T>& result) {
  return result ? std::string() : platform::Describe(result.Error());
}

// The value of `result`, which a test expects to be there; a failure ends the test with its
// words.
template <typename T>
T Ok(platform::Result<T> result) {
  if (!result) {
    throw std::runtime_error(platform::Describe(result.Error()));
  }
  return std::move(*result);
}

// Replaces the page `name` of the folder at `folder` with one holding `text`, through `files`;
// with `sealed`, in the three steps that let many pages wait for the disk once.
inline platform::Result<> ReplacePage(const platform::FileSystem& files, const std::string& folder,
                                      std::string_view name, std::string_view text,
                                      bool sealed = false) {
  const platform::Result<std::unique_ptr<platform::Folder>> open = files.OpenFolder(folder);
  if (!open) {
    return open.Error();
  }
  const platform::Result<std::unique_ptr<platform::PageOutput>> page = (*open)->CreatePage(name);
  if (!page) {
    return page.Error();
  }
  platform::Result<> done = (*page)->Write(text);
  if (done && !sealed) {
    return (*page)->Commit();
  }
  for (auto step : {&platform::PageOutput::Seal, &platform::PageOutput::SyncVolume,
                    &platform::PageOutput::Place}) {
    if (done) {
      done = ((**page).*step)();
    }
  }
  return done;
}

}  // namespace quorvane::testing
