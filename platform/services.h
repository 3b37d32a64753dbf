#pragma once

#include "platform/clock.h"
#include "platform/executor.h"
#include "platform/file_system.h"
#include "platform/regional.h"

namespace quorvane::platform {

// The platform services the engine works through, gathered so that tests can pass their own.
struct Services {
  const Clock& clock;
  const Regional& regional;
  const FileSystem& files;
  const Executor& executor;  // the process's threads
};

}  // namespace quorvane::platform
