#pragma once

#include "platform/file_system.h"

namespace quorvane::platform {

// A folder open as a descriptor of the system's, through which what is done to the folder
// itself (a watch) reaches the very folder listed, whatever its path leads to by now.
class DescriptorFolder : public ListingFolder {
 public:
  virtual int Fd() const = 0;
};

}  // namespace quorvane::platform
