#include "platform/volumes.h"

#include <gtest/gtest.h>
#include <unistd.h>  // symlink

#include <map>
#include <ostream>  // std::ostream
#include <set>
#include <string>
#include <utility>  // std::move
#include <vector>

#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

// Each volume as "mount point|type|source".
std::vector<std::string> Described(const std::vector<Volume>& volumes) {
  std::vector<std::string> described;
  for (const Volume& volume : volumes) {
    described.push_back(volume.mount_point + "|" + volume.type + "|" + volume.source);
  }
  return described;
}

struct MountInfoCase {
  const char* name;
  const char* mountinfo;
  std::vector<std::string> volumes;

  friend void PrintTo(const MountInfoCase& c, std::ostream* out) { *out << c.name; }
};

class ParseMountInfoTest : public ::testing::TestWithParam<MountInfoCase> {};

TEST_P(ParseMountInfoTest, KeepsTheBrowsableVolumes) {
  EXPECT_EQ(Described(ParseMountInfo(GetParam().mountinfo)), GetParam().volumes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseMountInfoTest,
    ::testing::Values(
        MountInfoCase{"DisksAndTmp",
                      "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
                      "40 27 8:17 / /media/me/USB rw shared:60 master:2 - vfat /dev/sdb1 rw\n"
                      "41 27 0:40 / /tmp rw - tmpfs tmpfs rw\n",
                      {"/|ext4|/dev/vda1", "/media/me/USB|vfat|/dev/sdb1", "/tmp|tmpfs|tmpfs"}},
        MountInfoCase{"PseudoFileSystemsLeftOut",
                      "22 27 0:21 / /proc rw - proc proc rw\n"
                      "23 27 0:22 / /sys rw - sysfs sysfs rw\n"
                      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                      "41 27 0:38 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n"
                      "42 27 0:39 / /mnt/cg rw - cgroup cgroup rw,cpu\n"
                      "43 27 0:40 / /boot/efi/vars rw - efivarfs efivarfs rw\n",
                      {"/|ext4|/dev/vda"}},
        MountInfoCase{"KernelTreesLeftOutWhateverTheirType",
                      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                      "24 27 0:6 / /dev rw - tmpfs tmpfs rw\n"
                      "25 24 0:23 / /dev/shm rw - tmpfs shm rw\n"
                      "26 22 0:5 /null /proc/kcore rw - tmpfs tmpfs rw\n"
                      "44 27 0:41 / /procedures rw - ext4 /dev/vdb rw\n",
                      {"/|ext4|/dev/vda", "/procedures|ext4|/dev/vdb"}},
        MountInfoCase{"EscapedFieldsDecoded",
                      "50 27 8:33 / /media/me/My\\040Disk rw - vfat /dev/sdc1 rw\n"
                      "51 27 8:34 / /mnt/back\\134slash\\011tab rw - ext4 /dev/sdc2 rw\n",
                      {"/media/me/My Disk|vfat|/dev/sdc1", "/mnt/back\\slash\ttab|ext4|/dev/sdc2"}},
        MountInfoCase{"MountedOverKeepsTheLaterMount",
                      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                      "60 27 8:1 / /srv rw - ext4 /dev/sda1 rw\n"
                      "61 27 8:2 / /data rw - ext4 /dev/sda2 rw\n"
                      "62 60 8:3 / /srv rw - xfs /dev/sda3 rw\n",
                      {"/|ext4|/dev/vda", "/data|ext4|/dev/sda2", "/srv|xfs|/dev/sda3"}},
        MountInfoCase{"MalformedLinesSkipped",
                      "\n"
                      "27 1 254:0 / / rw\n"
                      "28 1 254:0 / relative rw - ext4 /dev/vda rw\n"
                      "29 1 254:0 / /ok rw - ext4 /dev/vda rw\n"
                      "30 1 254:0 / /no-type rw -\n",
                      {"/ok|ext4|/dev/vda"}}),
    [](const auto& info) { return info.param.name; });

TEST(SystemVolumeSourceTest, ReadsTheTableAndTheLabelsFromTheirFiles) {
  const testing::TempFolder devices;
  const std::string disk = devices.AddFile("sdb1");
  const std::string other = devices.AddFile("sdc1");
  const std::string by_label = devices.AddFolder("by-label");
  ASSERT_EQ(symlink("../sdb1", (by_label + "/My\\x20Stick").c_str()), 0);
  ASSERT_EQ(symlink(other.c_str(), (by_label + "/BACKUP").c_str()), 0);
  ASSERT_EQ(symlink(disk.c_str(), (devices / "alias").c_str()), 0);
  const std::string table = "27 1 254:0 / / rw - ext4 /dev/vda1 rw\n";
  testing::WriteFile(devices / "mountinfo", table);

  const SystemVolumeSource source(devices / "mountinfo", by_label);
  EXPECT_EQ(source.MountInfo(), table);
  EXPECT_EQ(source.Label(disk), "My Stick");
  EXPECT_EQ(source.Label(devices / "alias"), "My Stick");
  EXPECT_EQ(source.Label(other), "BACKUP");
  EXPECT_EQ(source.Label(devices / "sdd1"), "");
  EXPECT_TRUE(source.IsFolder(by_label));
  EXPECT_FALSE(source.IsFolder(disk));
  EXPECT_EQ(SystemVolumeSource(devices / "missing", devices / "missing").MountInfo(), "");
}

// A mount table given as text, with the folders and labels a test names.
class FakeVolumeSource final : public VolumeSource {
 public:
  FakeVolumeSource(std::string mountinfo, std::set<std::string> folders,
                   std::map<std::string, std::string> labels)
      : mountinfo_(std::move(mountinfo)),
        folders_(std::move(folders)),
        labels_(std::move(labels)) {}

  std::string MountInfo() const override { return mountinfo_; }
  bool IsFolder(const std::string& path) const override { return folders_.count(path) > 0; }
  std::string Label(const std::string& device) const override {
    const auto found = labels_.find(device);
    return found != labels_.end() ? found->second : std::string();
  }

 private:
  std::string mountinfo_;
  std::set<std::string> folders_;
  std::map<std::string, std::string> labels_;
};

// Each volume as "mount point|label".
std::vector<std::string> Labelled(const std::vector<Volume>& volumes) {
  std::vector<std::string> labelled;
  for (const Volume& volume : volumes) {
    labelled.push_back(volume.mount_point + "|" + volume.label);
  }
  return labelled;
}

TEST(MountedVolumesTest, FoldersOnlyLabelledSortedAndTheRootAlwaysThere) {
  const std::string table =
      "40 27 8:17 / /media/me/USB rw - vfat /dev/sdb1 rw\n"
      "27 1 254:0 / / rw - ext4 /dev/vda1 rw\n"
      "45 27 0:50 / /etc/hosts rw - ext4 /dev/vda1 rw\n"
      "46 27 0:51 / /srv/share rw - nfs4 server:/export rw\n"
      "47 27 0:52 / /data rw - ext4 /dev/sdc1 rw\n";
  const struct {
    const char* name;
    std::string mountinfo;
    std::vector<std::string> volumes;
  } cases[] = {
      {"a file bound over a file is left out; a label only where the device has one",
       table,
       {"/|root", "/data|", "/media/me/USB|My Stick", "/srv/share|"}},
      {"the root is added where no mount holds it",
       "40 27 8:17 / /media/me/USB rw - vfat /dev/sdb1 rw\n",
       {"/|", "/media/me/USB|My Stick"}},
      {"an unreadable table leaves the root", "", {"/|"}},
  };
  const std::set<std::string> folders = {"/", "/media/me/USB", "/srv/share", "/data"};
  for (const auto& c : cases) {
    const FakeVolumeSource source(
        c.mountinfo, folders,
        {{"/dev/sdb1", "My Stick"}, {"/dev/vda1", "root"}, {"server:/export", "never asked"}});
    EXPECT_EQ(Labelled(MountedVolumes(source)), c.volumes) << c.name;
  }
}
}  // namespace
}  // namespace quorvane::platform
