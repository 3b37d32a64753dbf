// The navigator on Windows' drives and shares, through a file system that knows the folders
// named, so that it runs on every system alike.

#include <gtest/gtest.h>

#include <memory>  // std::unique_ptr
#include <set>
#include <string>
#include <utility>  // std::move
#include <vector>

#include "window/model/folder_navigator.h"

namespace quorvane {
namespace {

// The folders named can be opened, whatever separators end the path; each is empty.
class NamedFolders final : public platform::FileSystem {
 public:
  explicit NamedFolders(std::set<std::string> folders) : folders_(std::move(folders)) {}

  platform::Result<std::unique_ptr<platform::Folder>> OpenFolder(
      std::string_view path) const override {
    if (folders_.count(platform::WithoutTrailingSeparator(path)) == 0) {
      return platform::Failure(platform::Step::kReadFolder, path, ENOENT);
    }
    return std::unique_ptr<platform::Folder>(std::make_unique<Empty>(std::string(path)));
  }

  std::set<std::string> folders_;

 private:
  struct Empty final : platform::ListingFolder {
    explicit Empty(std::string path) : path(std::move(path)) {}
    const std::string& Path() const override { return path; }
    platform::FolderIdentity Identity() const override { return {}; }
    platform::Result<platform::FileFacts> ReadFacts(const char* name) const override {
      return platform::Failure(platform::Step::kReadFileFacts, name, ENOENT);
    }
    platform::Result<std::unique_ptr<platform::Folder>> OpenSubFolder(
        std::string_view name) const override {
      return platform::Failure(platform::Step::kReadFolder, name, ENOENT);
    }
    platform::Result<std::unique_ptr<platform::PageOutput>> CreatePage(
        std::string_view name) const override {
      return platform::Failure(platform::Step::kWritePage, name, EROFS);
    }
    platform::Result<> List(platform::NameSink*, platform::NameSink*) const override { return {}; }
    void RemoveIfLeftOver(const std::string& /*name*/) const override {}
    std::string path;
  };
};

TEST(NavigatorOnDrivesTest, StartsFallsBackAndRemembersWithinEachDriveOrShare) {
  NamedFolders files({"C:\\", "C:\\photos", "C:\\photos\\2002", "D:\\", "D:\\pub",
                      "\\\\server\\share\\", "\\\\server\\share\\pub",
                      "\\\\server\\share\\pub\\a"});
  std::vector<platform::Volume> volumes = {{"C:\\", "", "NTFS", "System"}, {"D:\\", "", "", ""}};
  platform::AddShareHolding(volumes, "\\\\server\\share\\pub\\a");
  FolderNavigator navigator(files, volumes);
  ASSERT_EQ(navigator.Volumes().size(), 3u);  // no "/" beside the drives

  EXPECT_EQ(navigator.Start({"D:\\pub", "C:\\photos\\2002\\"}).place,
            (Place{0, "C:\\photos\\2002"}));
  EXPECT_EQ(navigator.Start({"D:\\pub", ""}).place, (Place{1, "D:\\"}));
  EXPECT_EQ(navigator.Start({"\\\\server\\share\\pub", ""}).place,
            (Place{2, "\\\\server\\share\\"}));
  const StartPlace missing = navigator.Start({"C:\\photos", "D:\\gone"});
  EXPECT_EQ(missing.place, (Place{0, "C:\\"}));
  EXPECT_FALSE(missing.asked);

  navigator.Shown({2, "\\\\server\\share\\pub\\a"});
  navigator.Shown({0, "C:\\photos\\2002"});
  files.folders_.erase("C:\\photos\\2002");
  files.folders_.erase("\\\\server\\share\\pub\\a");
  EXPECT_EQ(navigator.VolumeChosen(0), (Place{0, "C:\\photos"}));
  EXPECT_EQ(navigator.VolumeChosen(2), (Place{2, "\\\\server\\share\\pub"}));
  EXPECT_EQ(navigator.AfterFailure({1, "D:\\pub"}), (Place{0, "C:\\photos"}));
  files.folders_.erase("C:\\photos");
  EXPECT_EQ(navigator.AfterFailure({0, "C:\\photos\\2002"}), (Place{0, "C:\\"}));
  files.folders_.erase("C:\\");  // a drive that is gone: nothing above its root is tried
  EXPECT_EQ(navigator.AfterFailure({0, "C:\\photos\\2002"}), (Place{0, "C:\\photos\\2002"}));
}

}  // namespace
}  // namespace quorvane
