#pragma once

#include <string>  // std::string

namespace quorvane::platform {

// Hands the file at `path` to the desktop's default handler for its type (xdg-open), detached
// from this process. Returns at once; whether a handler exists or the launch works is not
// reported, the way a desktop shell's open request reports nothing.
void OpenWithDefaultHandler(const std::string& path);

}  // namespace quorvane::platform
