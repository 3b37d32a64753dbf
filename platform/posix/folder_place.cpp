#include "platform/posix/folder_place.h"

#include <fcntl.h>  // AT_*
#include <sys/stat.h>
#include <sys/sysmacros.h>  // makedev
#include <cerrno>           // errno
#include <string>           // std::string

#include "platform/posix/system_calls.h"

namespace quorvane::platform {

// A folder's place, without following a symlink or triggering an automount: merely looking at a
// folder of automount points must neither mount them nor wait for an unreachable server.
Result<Place> PlaceOf(const SystemCalls& calls, int dir_fd, const char* name, int flags, Step step,
                      std::string_view folder_path) {
  struct statx st {};
  const unsigned mask = STATX_TYPE | STATX_INO | STATX_MNT_ID;
  if (calls.StatxAt(dir_fd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &st) != 0) {
    return Failure(step, std::string(folder_path) + name, errno);
  }
  Place place;
  place.is_folder = S_ISDIR(st.stx_mode);
  place.is_link = S_ISLNK(st.stx_mode);
  place.is_automount = (st.stx_attributes & st.stx_attributes_mask & STATX_ATTR_AUTOMOUNT) != 0;
  place.has_mount_id = (st.stx_mask & STATX_MNT_ID) != 0;
  place.mount_id = st.stx_mnt_id;
  place.device = makedev(st.stx_dev_major, st.stx_dev_minor);
  place.inode = st.stx_ino;
  return place;
}

// Mount ids tell a bind mount of the same device apart; where they are missing the device has
// to do.
bool SameVolume(const Place& a, const Place& b) {
  if (a.has_mount_id && b.has_mount_id) {
    return a.mount_id == b.mount_id;
  }
  return a.device == b.device;
}

// A mount id, or a device number where the system gives none, kept apart by the top bit.
std::uint64_t MountOf(const Place& place) {
  return place.has_mount_id ? place.mount_id
                            : (std::uint64_t{1} << 63) | static_cast<std::uint64_t>(place.device);
}

}  // namespace quorvane::platform
