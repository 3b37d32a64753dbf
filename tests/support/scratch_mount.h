#pragma once

#include <ostream>  // std::ostream
#include <string>   // std::string

#include "tests/support/temp_folder.h"

namespace quorvane::testing {

// A file system of its own for a test, mounted on a new folder in a mount namespace private to
// the test process (and the programs it starts), so that nothing of it shows outside and nothing
// stays mounted: tmpfs, or an image of exFAT (exfatprogs, exfat-fuse) or FAT (dosfstools,
// fusefat) through FUSE. Needs root, as CI is.
class ScratchMount {
 public:
  enum class Kind { kTmpfs, kExfat, kFat };

  explicit ScratchMount(Kind kind);
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;
  ~ScratchMount();

  // Why it could not be mounted (no FUSE, a package missing, no loop device); empty when it is.
  const std::string& Unavailable() const { return unavailable_; }
  // The mount point, without a trailing separator.
  const std::string& Path() const { return mount_point_; }

  static const char* Name(Kind kind);

 private:
  void Mount(Kind kind);
  bool Run(const std::string& command, const std::string& failure);

  TempFolder scratch_;  // the image and the mount point
  std::string mount_point_;
  std::string loop_device_;
  std::string unavailable_;
  bool mounted_ = false;
};

// For the names of tests over each kind.
inline void PrintTo(ScratchMount::Kind kind, std::ostream* out) {
  *out << ScratchMount::Name(kind);
}

}  // namespace quorvane::testing
