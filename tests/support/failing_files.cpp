#include "tests/support/failing_files.h"

#include <cerrno>  // E*

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "tests/support/failing_calls.h"

namespace quorvane::testing {

struct FailingFileSystem::Calls {
  FailingCalls calls;
};

FailingFileSystem::FailingFileSystem(Stage stage, std::string name)
    : calls_(std::make_unique<Calls>()) {
  const FailingCalls::Rule rules[] = {
      {Call::kGetEntries, EIO},
      {Call::kStatAt, EOVERFLOW, 1, name},
      {Call::kWrite, EFBIG},
      {Call::kRenameAt, EXDEV},
  };
  const FailingCalls::Rule& rule = rules[static_cast<int>(stage)];
  calls_->calls.Fail(rule);
  error_ = platform::ErrnoError(rule.error);
  files_ = std::make_unique<platform::SystemFileSystem>(calls_->calls);
}

FailingFileSystem::~FailingFileSystem() = default;

std::unique_ptr<platform::Folder> FailingFileSystem::OpenFolder(std::string_view path) const {
  return files_->OpenFolder(path);
}

}  // namespace quorvane::testing
