#pragma once

#include <chrono>  // std::chrono::milliseconds
#include <string>  // std::string

#include "platform/failure.h"

namespace quorvane::platform {

// Hands a file to the desktop's default handler for its type; behind a seam, so that a window
// under test opens nothing.
class DefaultHandler {
 public:
  virtual ~DefaultHandler() = default;
  // Hands `path` over. Fails (kOpenPage) where the handler tells, in the time the opener waits
  // for it, that no program could open the file; a handler still at work by then is taken to
  // have opened it, since it may keep on until the program it started ends.
  virtual Result<> Open(const std::string& path) const = 0;
};

// The desktop's own: xdg-open, detached from this process, or the shell's open on Windows.
class SystemDefaultHandler final : public DefaultHandler {
 public:
  // Waits up to `answer_within` for the handler to tell; by default not at all, as a window
  // that shows nothing of it must not wait.
  explicit SystemDefaultHandler(std::chrono::milliseconds answer_within = {})
      : answer_within_(answer_within) {}
  Result<> Open(const std::string& path) const override;

 private:
  std::chrono::milliseconds answer_within_;
};

}  // namespace quorvane::platform
