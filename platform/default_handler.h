#pragma once

#include <string>  // std::string

namespace quorvane::platform {

// Hands a file to the desktop's default handler for its type; behind a seam, so that a window
// under test opens nothing.
class DefaultHandler {
 public:
  virtual ~DefaultHandler() = default;
  // Returns at once; whether a handler exists or the launch works is not reported, the way a
  // desktop shell's open request reports nothing.
  virtual void Open(const std::string& path) const = 0;
};

// The desktop's own, through xdg-open.
class SystemDefaultHandler final : public DefaultHandler {
 public:
  void Open(const std::string& path) const override;
};

// Hands the file at `path` to the desktop's default handler for its type (xdg-open), detached
// from this process, and returns at once without a word on how it went.
void OpenWithDefaultHandler(const std::string& path);

}  // namespace quorvane::platform
