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

// The desktop's own: xdg-open, detached from this process.
class SystemDefaultHandler final : public DefaultHandler {
 public:
  void Open(const std::string& path) const override;
};

}  // namespace quorvane::platform
