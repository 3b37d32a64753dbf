#include "window/model/folder_view.h"

#include <gtest/gtest.h>

#include <stop_token>
#include <string>

#include "platform/system_file_system.h"
#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane {
namespace {

using testing::TempFolder;

TEST(FolderViewTest, RefreshEndsThePathWithOneSeparatorAndCountsFiles) {
  const TempFolder folder;
  const std::string empty = folder.AddFolder("empty");
  const std::string only_folders = folder.AddFolder("only-folders");
  folder.AddFolder("only-folders/inner");
  const std::string two = folder.AddFolder("two");
  folder.AddFile("two/.hidden");
  folder.AddFile("two/quorvane_index.html");
  const struct {
    std::string FolderPath;
    std::string CurPath;
    std::int64_t count;
  } cases[] = {
      {empty, empty + kPathSeparator, 0},
      {empty + kPathSeparator, empty + kPathSeparator, 0},
      {only_folders, only_folders + kPathSeparator, 0},
      {two, two + kPathSeparator, 2},
      {testing::kRootFolder, testing::kRootFolder, -1},
  };
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  const platform::SystemFileSystem files;
  for (const auto& c : cases) {
    const testing::ServicesOver services(regional, files);
    FileList list(services);
    const FolderViewState state = RefreshFolderView(c.FolderPath, list);
    EXPECT_EQ(state.CurPath, c.CurPath);
    EXPECT_TRUE(state.listed);
    EXPECT_EQ(list.Folder(), c.CurPath);
    if (c.count >= 0) {  // the root's files are the machine's
      EXPECT_EQ(state.count, c.count);
      EXPECT_EQ(state.generation_enabled, c.count != 0);
    }
  }
}

TEST(FolderViewTest, UnreadableFolderGivesAnEmptyListAndTheReason) {
  const TempFolder folder;
  folder.AddFile("a.txt");
  const platform::Regional regional = testing::RegionalOf(testing::UsEnglish());
  const platform::SystemFileSystem files;
  const testing::ServicesOver services(regional, files);
  FileList list(services);
  ASSERT_EQ(RefreshFolderView(folder.Path(), list).count, 1);

  const FolderViewState state = RefreshFolderView(folder / "gone", list);
  EXPECT_EQ(testing::FailureOf(state.listed), "Cannot read the folder " + (folder / "gone/") +
                                                  ": " + testing::NoSuchFile().message());
  EXPECT_EQ(state.CurPath, folder / "gone/");
  EXPECT_EQ(state.count, 0);
  EXPECT_FALSE(state.generation_enabled);
  EXPECT_EQ(list.Count(), 0);

  // A reading stopped half way (a choice made since) ends the same way.
  for (int i = 0; i < 5000; ++i) {
    folder.AddFile("f" + std::to_string(i));
  }
  std::stop_source stop;
  stop.request_stop();
  const FolderViewState stopped = RefreshFolderView(folder.Path(), list, stop.get_token());
  EXPECT_EQ(testing::FailureOf(stopped.listed), "Stopped before the page of " + folder.Path() +
                                                    kPathSeparator +
                                                    " was complete; nothing was written");
  EXPECT_EQ(stopped.count, 0);
  EXPECT_FALSE(list.Identity());
}

}  // namespace
}  // namespace quorvane
