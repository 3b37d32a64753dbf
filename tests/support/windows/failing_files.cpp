#include "tests/support/failing_files.h"

#include "platform/system_file_system.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"
#include "tests/support/windows/failing_calls.h"

namespace quorvane::testing {

FailingFileSystem::FailingFileSystem(Stage stage, std::string name) {
  const FailingCalls::Rule rules[] = {
      {Call::kReadFolder, ERROR_IO_DEVICE},
      {Call::kAttributes, ERROR_SHARING_VIOLATION, 1, platform::ToWide(name)},
      {Call::kWrite, ERROR_DISK_FULL},
      {Call::kReplace, ERROR_ACCESS_DENIED},
  };
  const FailingCalls::Rule& rule = rules[static_cast<int>(stage)];
  auto calls = std::make_shared<FailingCalls>();
  calls->Fail(rule);
  // A first page is moved into place rather than replacing one.
  if (stage == Stage::kPlacePage) {
    calls->Fail({Call::kMove, rule.error});
  }
  error_ = platform::WindowsError(rule.error);
  files_ = std::make_unique<platform::SystemFileSystem>(*calls);
  calls_ = std::move(calls);
}

}  // namespace quorvane::testing
