#include <gtest/gtest.h>

#include <algorithm>

#include "platform/volumes.h"

namespace quorvane::platform {
namespace {

TEST(WindowsVolumesTest, TheDrivesWithTheirRootsFileSystemsAndNames) {
  const std::vector<Volume> volumes = SystemVolumes();
  ASSERT_FALSE(volumes.empty());
  for (const Volume& volume : volumes) {
    const std::string& root = volume.mount_point;
    EXPECT_TRUE(root.size() == 3 && root[0] >= 'A' && root[0] <= 'Z' && root.substr(1) == ":\\")
        << root;
  }
  const auto c = std::find_if(volumes.begin(), volumes.end(),
                              [](const Volume& volume) { return volume.mount_point == "C:\\"; });
  ASSERT_NE(c, volumes.end());
  EXPECT_NE(c->type, "");
}

}  // namespace
}  // namespace quorvane::platform
