#pragma once

#include <oleacc.h>

#include <string>  // std::wstring

#include "window/win32/form_controls.h"
#include "window/win32/scoped.h"

namespace quorvane::win32 {

// The names a screen reader gives the three lists, which have no caption of their own to be
// named by: "Drive", "Folders" and "Files"; and the count, read with its unit ("3 files"). The
// buttons and boxes are named by their captions.
class AccessibleNames {
 public:
  // Names the lists of `controls`; where the system has no annotations, they stay unnamed.
  explicit AccessibleNames(const FormControls& controls);
  // Takes the names back, as annotations must be before their windows go.
  ~AccessibleNames();
  AccessibleNames(const AccessibleNames&) = delete;
  AccessibleNames& operator=(const AccessibleNames&) = delete;

  // Names lblFCount by `spoken`, the count with its unit.
  void NameCount(const std::wstring& spoken) const;

 private:
  ScopedComPtr<IAccPropServices> services_;
  const FormControls& controls_;
};

}  // namespace quorvane::win32
