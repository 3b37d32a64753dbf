#include "platform/sub_folders.h"

#include <dirent.h>         // fdopendir, readdir
#include <fcntl.h>          // open, AT_SYMLINK_NOFOLLOW
#include <sys/stat.h>       // statx
#include <sys/sysmacros.h>  // makedev
#include <unistd.h>         // close
#include <cerrno>           // errno
#include <cstdint>          // std::uint64_t
#include <string_view>      // std::string_view

#include "platform/failure.h"
#include "platform/folder_entries.h"

namespace quorvane::platform {
namespace {

// Where a folder lies: its mount, where the system tells it, else its device.
struct Place {
  bool is_folder = false;
  bool has_mount_id = false;
  std::uint64_t mount_id = 0;
  dev_t device = 0;
};

Place PlaceOf(int dir_fd, const char* name, int flags) {
  struct statx st {};
  Place place;
  if (statx(dir_fd, name, flags, STATX_TYPE | STATX_MNT_ID, &st) != 0) {
    return place;
  }
  place.is_folder = S_ISDIR(st.stx_mode);
  place.has_mount_id = (st.stx_mask & STATX_MNT_ID) != 0;
  place.mount_id = st.stx_mnt_id;
  place.device = makedev(st.stx_dev_major, st.stx_dev_minor);
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

}  // namespace

std::vector<std::string> SubFolderNames(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    ThrowSystemFailure(errno, folder);
  }
  const OpenFolder dir(fdopendir(fd));
  if (!dir) {
    const int error = errno;
    close(fd);
    ThrowSystemFailure(error, folder);
  }
  const Place own = PlaceOf(fd, "", AT_EMPTY_PATH);
  std::vector<std::string> names;
  ForEachEntry(dir.get(), folder, [&](const dirent& entry) {
    if (entry.d_type != DT_DIR && entry.d_type != DT_UNKNOWN) {
      return;
    }
    // A folder removed since the listing fails here and is simply not shown.
    const Place place = PlaceOf(fd, entry.d_name, AT_SYMLINK_NOFOLLOW);
    if (place.is_folder && SameVolume(place, own)) {
      names.emplace_back(entry.d_name);
    }
  });
  return names;
}

}  // namespace quorvane::platform
