#pragma once

#include <windows.h>

#include <string>  // std::string

#include "platform/default_handler.h"

namespace quorvane::win32 {

// Opens a page with the program Windows opens it with, from the window, with C:\ as the working
// folder whatever drive the page is on; what comes of it is not looked at.
class ShellOpener final : public platform::DefaultHandler {
 public:
  void SetWindow(HWND window) { window_ = window; }
  platform::Result<> Open(const std::string& path) const override;

 private:
  HWND window_ = nullptr;
};

}  // namespace quorvane::win32
