#pragma once

#include <objbase.h>
#include <windows.h>

#include <memory>       // std::unique_ptr
#include <type_traits>  // std::remove_pointer_t

namespace quorvane::win32 {

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using ScopedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

struct ComReleaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ScopedComPtr = std::unique_ptr<Interface, ComReleaser>;

// COM on this thread, in the apartment the window's controls and the shell want, for as long as
// this lives.
class ScopedCom {
 public:
  ScopedCom() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ScopedCom() {
    if (initialized_) {
      CoUninitialize();
    }
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;

 private:
  bool initialized_;
};

}  // namespace quorvane::win32
