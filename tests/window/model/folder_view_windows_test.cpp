// CurPath on Windows, as the classic examples write it: C:\photos\ with one backslash at its
// end, and a drive's root as C:\.

#include <gtest/gtest.h>

#include "platform/system_file_system.h"
#include "tests/support/platform_probes.h"
#include "window/model/folder_view.h"

namespace quorvane {
namespace {

TEST(FolderViewTest, CurPathEndsInOneBackslashOnWindows) {
  const platform::Regional regional = testing::Ok(platform::Regional::FromProcessLocale());
  const platform::SystemFileSystem files;
  const struct {
    const char* FolderPath;
    const char* CurPath;
  } cases[] = {
      {"C:\\photos", "C:\\photos\\"},
      {"C:\\photos\\", "C:\\photos\\"},
      {"C:\\", "C:\\"},
  };
  for (const auto& c : cases) {
    const testing::ServicesOver services(regional, files);
    FileList list(services);
    EXPECT_EQ(RefreshFolderView(c.FolderPath, list).CurPath, c.CurPath);
    EXPECT_EQ(list.Folder(), c.CurPath);
  }
}

}  // namespace
}  // namespace quorvane
