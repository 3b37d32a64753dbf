#pragma once

#include <memory>       // std::unique_ptr
#include <stdexcept>    // std::runtime_error
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <thread>       // std::thread
#include <utility>      // std::move

#include "platform/clock.h"
#include "platform/executor.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "platform/services.h"

namespace quorvane::testing {

// The threads of a test program, bounded as a program's are: a thread a core, and as many reads
// in flight as a slow file system needs.
inline const platform::Executor& TestExecutor() {
  static const platform::Executor executor(std::thread::hardware_concurrency() + 64);
  return executor;
}

// The services of a test over `regional` and `files`: the system's clock and the test's threads.
// Named, not a temporary: what is given them keeps a reference.
class ServicesOver {
 public:
  ServicesOver(const platform::Regional& regional, const platform::FileSystem& files)
      : services_{clock_, regional, files, TestExecutor()} {}
  ServicesOver(const ServicesOver&) = delete;
  ServicesOver& operator=(const ServicesOver&) = delete;
  operator const platform::Services&() const { return services_; }

 private:
  platform::SystemClock clock_;
  platform::Services services_;
};

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
