#include "platform/system_services.h"

namespace quorvane::platform {

SystemServices::SystemServices()
    : regional_(Regional::FromProcessLocale()), services_{clock_, regional_, files_} {}

}  // namespace quorvane::platform
