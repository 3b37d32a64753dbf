#pragma once

#include "platform/clock.h"
#include "platform/regional.h"
#include "platform/services.h"
#include "platform/system_file_system.h"

namespace quorvane::platform {

// The machine's own clock and file system, the program's threads and the regional settings it
// is given, kept together for a program's lifetime. Those are the process locale's
// (Regional::FromProcessLocale()), read once, after the locale is set (QApplication sets it).
class SystemServices {
 public:
  explicit SystemServices(Regional regional);
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
