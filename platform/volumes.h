#pragma once

#include <cstddef>      // std::size_t
#include <map>          // std::map
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace quorvane::platform {

// A mounted file system whose folders can be browsed.
struct Volume {
  std::string MountPoint;  // the file system's bytes; ends in "/" only when it is "/"
  std::string Source;      // what is mounted, as the system names it: /dev/sda1, server:/export
  std::string Type;        // ext4, vfat, nfs4...
  std::string Label;       // empty when the file system has none
};

// The volumes in `mountinfo`, the text of /proc/self/mountinfo, in mount order. Pseudo file
// systems (proc, sysfs, cgroup and the like) are left out, and so is whatever is mounted in the
// kernel's trees /proc, /sys and /dev. A mount point mounted over keeps only its later mount.
// Lines that cannot be parsed are skipped.
std::vector<Volume> ParseMountInfo(std::string_view mountinfo);

// The label of each device that has a link in `by_label_folder` (udev's /dev/disk/by-label),
// keyed by the device's path with symlinks resolved. Empty when the folder cannot be read.
std::map<std::string, std::string> LabelsByDevice(const std::string& by_label_folder);

// The machine's volumes whose mount points are folders, with their labels, sorted by mount
// point. The root is always among them, as a volume of its own where no mount holds it (in a
// chroot, or when the mount table cannot be read).
std::vector<Volume> MountedVolumes();

// The position in `volumes` of the one that holds `path`, an absolute path without symlinks:
// the one with the longest mount point that is `path` or a folder above it. volumes.size() when
// none holds it.
std::size_t VolumeHolding(const std::vector<Volume>& volumes, std::string_view path);

}  // namespace quorvane::platform
