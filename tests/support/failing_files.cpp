#include "tests/support/failing_files.h"

#include <cerrno>  // E*

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "tests/support/failing_calls.h"

namespace quorvane::testing {

FailingFileSystem::FailingFileSystem(Stage stage, std::string name) {
  const FailingCalls::Rule rules[] = {
      {Call::kGetEntries, EIO},
      {Call::kStatAt, EOVERFLOW, 1, name},
      {Call::kWrite, EFBIG},
      {Call::kRenameAt, EXDEV},
  };
  const FailingCalls::Rule& rule = rules[static_cast<int>(stage)];
  auto calls = std::make_shared<FailingCalls>();
  calls->Fail(rule);
  error_ = platform::ErrnoError(rule.error);
  files_ = std::make_unique<platform::SystemFileSystem>(*calls);
  calls_ = std::move(calls);
}

}  // namespace quorvane::testing
