#include "window/model/folder_navigator.h"

#include <gtest/gtest.h>

#include <filesystem>  // std::filesystem::remove_all, rename
#include <ostream>     // std::ostream
#include <string>
#include <vector>

#include "platform/system_file_system.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane {

void PrintTo(const Place& place, std::ostream* out) {
  *out << "{" << place.volume << ", " << place.folder << "}";
}

namespace {

using testing::TempFolder;

std::vector<std::string> MountPoints(const FolderNavigator& navigator) {
  std::vector<std::string> mount_points;
  for (const platform::Volume& volume : navigator.Volumes()) {
    mount_points.push_back(volume.mount_point);
  }
  return mount_points;
}

TEST(FolderNavigatorVolumesTest, TheRootIsAlwaysAVolume) {
  const platform::SystemFileSystem files;
  const struct {
    std::vector<std::string> given;
    std::vector<std::string> kept;
  } cases[] = {
      {{}, {"/"}},
      {{"/media/usb", "/srv"}, {"/media/usb", "/srv", "/"}},
      {{"/", "/home"}, {"/", "/home"}},
  };
  for (const auto& c : cases) {
    std::vector<platform::Volume> volumes;
    for (const std::string& mount_point : c.given) {
      volumes.push_back({mount_point, "/dev/sda1", "ext4", ""});
    }
    EXPECT_EQ(MountPoints(FolderNavigator(files, volumes)), c.kept);
  }
}

// Two volumes, `first` (with sub/deeper) and `second` (with x), and the root after them.
class FolderNavigatorTest : public ::testing::Test {
 protected:
  FolderNavigatorTest() : navigator_(files_, {Volume(first_), Volume(second_)}) {
    first_.AddFolder("sub");
    first_.AddFolder("sub/deeper");
    second_.AddFolder("x");
  }

  static platform::Volume Volume(const TempFolder& folder) {
    return {folder.Path(), "/dev/test", "ext4", ""};
  }
  // `path` with $1 and $2 standing for the two volumes' mount points.
  std::string At(std::string path) const {
    for (const auto& [token, folder] : {std::pair{"$1", &first_}, std::pair{"$2", &second_}}) {
      if (const std::size_t at = path.find(token); at != std::string::npos) {
        path.replace(at, 2, folder->Path());
      }
    }
    return path;
  }

  const TempFolder first_;
  const TempFolder second_;
  const platform::SystemFileSystem files_;
  FolderNavigator navigator_;
};

TEST_F(FolderNavigatorTest, StartsOnTheFolderAskedForOrTheWorkingFoldersVolume) {
  const struct {
    const char* working;
    const char* asked;
    Place place;
    const char* error;
  } cases[] = {
      {"$2/x", "", {1, "$2"}, ""},
      {"$1", "", {0, "$1"}, ""},
      {"/", "", {2, "/"}, ""},
      {"$2", "$1/sub/deeper", {0, "$1/sub/deeper"}, ""},
      {"$2", "$1/sub/", {0, "$1/sub"}, ""},
      {"$2", "/", {2, "/"}, ""},
      {"$2",
       "$1/missing",
       {1, "$2"},
       "Cannot read the folder $1/missing/: No such file or directory"},
      {"$1/sub", "$2/file", {0, "$1"}, "Cannot read the folder $2/file: Not a directory"},
  };
  second_.AddFile("file");
  for (const auto& c : cases) {
    const StartPlace start = navigator_.Start({At(c.working), At(c.asked)});
    EXPECT_EQ(start.place, (Place{c.place.volume, At(c.place.folder)})) << c.working << c.asked;
    EXPECT_EQ(testing::FailureOf(start.asked), At(c.error)) << c.working << c.asked;
  }
  // A folder asked for that has no path at all, such as one relative to a removed working folder.
  const platform::Failure no_path(platform::Step::kReadFolder, ".", ENOENT);
  const StartPlace start = navigator_.Start({At("$2/x"), no_path});
  EXPECT_EQ(start.place, (Place{1, At("$2")}));
  EXPECT_EQ(testing::FailureOf(start.asked), "Cannot read the folder .: No such file or directory");
}

TEST_F(FolderNavigatorTest, EachVolumeGoesBackToItsLastFolder) {
  EXPECT_EQ(navigator_.VolumeChosen(0), (Place{0, At("$1")}));
  navigator_.Shown({0, At("$1/sub/deeper")});
  navigator_.Shown({1, At("$2/x")});
  EXPECT_EQ(navigator_.VolumeChosen(0), (Place{0, At("$1/sub/deeper")}));
  EXPECT_EQ(navigator_.VolumeChosen(1), (Place{1, At("$2/x")}));
  EXPECT_EQ(navigator_.VolumeChosen(2), (Place{2, "/"}));
}

TEST_F(FolderNavigatorTest, ARememberedFolderRemovedGivesWayToTheNearestAbove) {
  navigator_.Shown({0, At("$1/sub/deeper")});
  navigator_.Shown({1, At("$2/x")});
  std::filesystem::remove_all(At("$1/sub"));
  std::filesystem::remove_all(At("$2"));
  EXPECT_EQ(navigator_.VolumeChosen(0), (Place{0, At("$1")}));
  // Nothing on the volume can be read: its root, whose showing says why.
  EXPECT_EQ(navigator_.VolumeChosen(1), (Place{1, At("$2")}));
}

TEST_F(FolderNavigatorTest, AFailureGoesBackToTheLastPlaceShown) {
  navigator_.Shown({0, At("$1/sub")});
  std::filesystem::remove_all(At("$2"));
  EXPECT_EQ(navigator_.AfterFailure({1, At("$2")}), (Place{0, At("$1/sub")}));
  EXPECT_EQ(navigator_.AfterFailure({0, At("$1/gone")}), (Place{0, At("$1/sub")}));
}

TEST_F(FolderNavigatorTest, AFolderRemovedWhileShownGivesWayToTheNearestAboveThatCanBeRead) {
  navigator_.Shown({0, At("$1/sub/deeper")});
  std::filesystem::remove_all(At("$1/sub"));
  EXPECT_EQ(navigator_.AfterFailure({0, At("$1/sub/deeper")}), (Place{0, At("$1")}));

  // A whole volume gone from its mount point: the folder above it, on the volume that holds it.
  navigator_.Shown({1, At("$2/x")});
  std::filesystem::remove_all(At("$2"));
  const std::string above = std::filesystem::path(At("$2")).parent_path().native();
  EXPECT_EQ(navigator_.AfterFailure({1, At("$2/x")}), (Place{2, above}));
}

TEST_F(FolderNavigatorTest, AFailureBeforeAnythingWasShownGoesAboveTheFailedFolder) {
  EXPECT_EQ(navigator_.AfterFailure({0, At("$1/sub/missing")}), (Place{0, At("$1/sub")}));
}

}  // namespace
}  // namespace quorvane
