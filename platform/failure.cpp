#include "platform/failure.h"

#include <system_error>  // std::generic_category

namespace quorvane::platform {

std::string SystemDescription(int errnum, std::string_view path) {
  std::string text = std::generic_category().message(errnum);
  if (!path.empty()) {
    text.append(": ").append(path);
  }
  return text;
}

void ThrowSystemFailure(int errnum, std::string_view path) {
  throw Failure(SystemDescription(errnum, path));
}

}  // namespace quorvane::platform
