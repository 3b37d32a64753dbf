#pragma once

#include "platform/clock.h"
#include "platform/regional.h"
#include "platform/services.h"
#include "platform/system_file_system.h"

namespace quorvane::platform {

// The machine's own clock, regional settings and file system, and the program's threads, kept
// together for a program's lifetime. Build it after the process locale is set (QApplication sets
// it), because the regional settings are read once, here.
class SystemServices {
 public:
  SystemServices();
  SystemServices(const SystemServices&) = delete;
  SystemServices& operator=(const SystemServices&) = delete;

  const Services& Get() const { return services_; }

 private:
  SystemClock clock_;
  Regional regional_;
  SystemFileSystem files_;
  Executor executor_;
  Services services_;
};

}  // namespace quorvane::platform
