#pragma once

#include <sys/types.h>  // dev_t
#include <cstdint>      // std::uint64_t
#include <string_view>  // std::string_view

#include "platform/failure.h"

namespace quorvane::platform {

class SystemCalls;

// Where a folder lies: its mount, where the system tells it, else its device.
struct Place {
  bool is_folder = false;
  bool is_link = false;
  bool is_automount = false;  // a trigger that would mount another file system if entered
  bool has_mount_id = false;
  std::uint64_t mount_id = 0;
  dev_t device = 0;
  std::uint64_t inode = 0;
};

// The place of `name` in the folder `dir_fd` ("" with AT_EMPTY_PATH in `flags`: the folder's
// own), without following a symlink or triggering an automount. Fails with `step`, naming
// `folder_path` followed by `name`.
Result<Place> PlaceOf(const SystemCalls& calls, int dir_fd, const char* name, int flags, Step step,
                      std::string_view folder_path);

// Whether two places are on the same mount.
bool SameVolume(const Place& a, const Place& b);

// A number for the place's mount, equal for places on the same one.
std::uint64_t MountOf(const Place& place);

}  // namespace quorvane::platform
