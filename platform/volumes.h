#pragma once

#include <cstddef>      // std::size_t
#include <map>          // std::map
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace quorvane::platform {

// A mounted file system whose folders can be browsed.
struct Volume {
  std::string mount_point;  // the file system's bytes; ends in a separator only when a root
  std::string source;       // what is mounted, as the system names it: /dev/sda1, server:/export
  std::string type;         // ext4, vfat, nfs4...
  std::string label;        // empty when the file system has none
};

// What the system tells of its mounts, behind one seam so that tests give their own.
class VolumeSource {
 public:
  virtual ~VolumeSource() = default;
  // The mount table in the format of /proc/self/mountinfo; empty when it cannot be read.
  virtual std::string MountInfo() const = 0;
  // Whether `path` is a folder, following symlinks: files bound over files are mounts too.
  virtual bool IsFolder(const std::string& path) const = 0;
  // The label of the file system on the device at `device` (/dev/sda1, or a link to it); empty
  // when it has none.
  virtual std::string Label(const std::string& device) const = 0;
};

// The machine's own: the mount table at `mountinfo` and udev's labels in `by_label_folder`.
class SystemVolumeSource final : public VolumeSource {
 public:
  explicit SystemVolumeSource(std::string mountinfo = "/proc/self/mountinfo",
                              std::string by_label_folder = "/dev/disk/by-label");

  std::string MountInfo() const override;
  bool IsFolder(const std::string& path) const override;
  std::string Label(const std::string& device) const override;

 private:
  std::string mountinfo_;
  std::string by_label_folder_;
  mutable std::optional<std::map<std::string, std::string>> labels_;
};

// The volumes in `mountinfo`, the text of /proc/self/mountinfo, in mount order. Pseudo file
// systems (proc, sysfs, cgroup and the like) are left out, and so is whatever is mounted in the
// kernel's trees /proc, /sys and /dev. A mount point mounted over keeps only its later mount.
// Lines that cannot be parsed are skipped.
std::vector<Volume> ParseMountInfo(std::string_view mountinfo);

// The label of each device that has a link in `by_label_folder` (udev's /dev/disk/by-label),
// keyed by the device's path with symlinks resolved. Empty when the folder cannot be read.
std::map<std::string, std::string> LabelsByDevice(const std::string& by_label_folder);

// The volumes of `source` whose mount points are folders, with their labels, sorted by mount
// point. The root is always among them, as a volume of its own where no mount holds it (in a
// chroot, or when the mount table cannot be read).
std::vector<Volume> MountedVolumes(const VolumeSource& source);

// The volumes to browse on this machine: on Windows its drives (C:\ and the like, each with its
// label, file system and volume name), elsewhere MountedVolumes() of the system's mount table.
std::vector<Volume> SystemVolumes();

// Adds the root at the end of `volumes` where none of them is mounted at "/": in a chroot, or
// when the mount table cannot be read, the root is still there to browse. Windows' drives are
// each a root of their own, and get none.
void AddRootWhereMissing(std::vector<Volume>& volumes);

// Adds the share that holds `path` (\\server\share\, which has no drive letter) as a volume of
// its own, where `path` is on a share and no volume holds it.
void AddShareHolding(std::vector<Volume>& volumes, std::string_view path);

// Paths here are absolute and without symlinks, as the system names them: "/home/ann" or, on
// Windows, "C:\photos" and "\\server\share\photos", where "/" separates names too and the case of
// ASCII letters makes no difference.

// The length of the root `path` starts with: 1 for "/", 3 for "C:\", all of
// "\\server\share\" for a share; 0 for a relative path.
std::size_t RootLength(std::string_view path);

// `path` without the separators that end it, but for a root, which ends in one.
std::string WithoutTrailingSeparator(std::string_view path);

// The folder above `folder`, given without a trailing separator; a root for a root.
std::string ParentFolder(std::string_view folder);

// Whether the folder `folder` is `path` or a folder above it; both without a trailing separator
// but for a root.
bool Holds(std::string_view folder, std::string_view path);

// The position in `volumes` of the one that holds `path`:
// the one with the longest mount point that is `path` or a folder above it. volumes.size() when
// none holds it.
std::size_t VolumeHolding(const std::vector<Volume>& volumes, std::string_view path);

}  // namespace quorvane::platform
