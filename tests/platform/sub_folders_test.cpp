#include "platform/sub_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>  // symlink

#include <algorithm>  // std::sort, std::find
#include <string>
#include <vector>

#include "platform/failure.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SubFolderNamesTest, FoldersOnlyWithHiddenAndUndecodableNames) {
  const testing::TempFolder folder;
  folder.AddFolder("photos");
  folder.AddFolder(".config");
  folder.AddFolder("caf\xE9");
  folder.AddFolder("photos/2002");
  folder.AddFile("notes.txt");
  ASSERT_EQ(symlink("photos", (folder / "link-to-photos").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (folder / "dangling").c_str()), 0);

  EXPECT_EQ(Sorted(SubFolderNames(folder.Path())),
            (std::vector<std::string>{".config", "caf\xE9", "photos"}));
}

TEST(SubFolderNamesTest, MissingFolderFailsNamingIt) {
  const testing::TempFolder folder;
  const std::string gone = folder / "gone";
  try {
    SubFolderNames(gone);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(std::string(failure.what()), "No such file or directory: " + gone);
  }
}

// /proc is a file system of its own on every Linux machine, so the walk down from / stops there.
TEST(SubFolderNamesTest, OtherVolumesMountedBelowAreLeftOut) {
  const std::vector<std::string> names = SubFolderNames("/");
  EXPECT_EQ(std::find(names.begin(), names.end(), "proc"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "etc"), names.end());
}

}  // namespace
}  // namespace quorvane::platform
