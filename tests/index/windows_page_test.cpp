// The page on Windows, where the classic examples live: C:\photos\ with its backslash, a drive
// root as C:\, and dates in a US-English locale as 8/21/2002 11:25:18 PM.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "platform/system_file_system.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace quorvane {
namespace {

using testing::LocalTime;
using testing::LocalTm;
using testing::ReadFile;

// Whether the tests may write at the root of drive C: (Wine's drive C: is the test run's own).
bool OwnDriveC() { return std::getenv("QUORVANE_TESTS_OWN_DRIVE_C") != nullptr; }

class WindowsPageTest : public ::testing::Test {
 protected:
  // Makes the page of `folder` with the machine's own settings and files.
  std::string MakePage(const std::string& folder) {
    FileList list(regional_, files_);
    const std::string CurPath = RefreshFolderView(folder, list).CurPath;
    const platform::Services services{clock_, regional_, files_};
    const GenerationOutcome outcome = MakeIndexPage(false, CurPath, list, services);
    EXPECT_TRUE(outcome.completed) << (outcome.failure ? outcome.failure->what() : "");
    EXPECT_EQ(outcome.OutPath, CurPath + "quorvane_index.html");
    return ReadFile(outcome.OutPath);
  }

  const platform::Regional regional_ = platform::Regional::FromProcessLocale();
  const platform::SystemFileSystem files_;
  testing::FakeClock clock_{{LocalTm(2026, 12, 7, 9, 30, 0)}, {100.0, 101.25}};
};

TEST_F(WindowsPageTest, CurPathEndsInOneBackslash) {
  const struct {
    const char* FolderPath;
    const char* CurPath;
  } cases[] = {
      {"C:\\photos", "C:\\photos\\"},
      {"C:\\photos\\", "C:\\photos\\"},
      {"C:\\", "C:\\"},
  };
  for (const auto& c : cases) {
    FileList list(regional_, files_);
    EXPECT_EQ(RefreshFolderView(c.FolderPath, list).CurPath, c.CurPath);
    EXPECT_EQ(list.Folder(), c.CurPath);
  }
}

TEST_F(WindowsPageTest, TheWorkedExampleInAUsEnglishLocale) {
  if (regional_.Settings().locale_name != "en-US") {
    GTEST_SKIP() << "the user's locale is " << regional_.Settings().locale_name
                 << ", not en-US (wine-run sets it)";
  }
  const testing::TempFolder folder;
  folder.AddFile("sea.jpg", 153600, LocalTime(2002, 8, 21, 23, 25, 18));
  folder.AddFile("midnight.txt", 10, LocalTime(2002, 8, 21, 0, 0, 0));
  folder.AddFile("big.zip", 1234 * 1024, LocalTime(2003, 1, 15, 12, 0, 0));
  folder.AddFile("a#b 100% caf\xC3\xA9.txt", 2048, LocalTime(2002, 8, 21, 23, 25, 18));
  const std::string page = MakePage(folder.Path());
  const std::string path = folder.Path() + "\\";
  const std::string expected_start = "<html>\r\n<head><title>" + path +
                                     "</title></head>\r\n<body>\r\n<hr>\r\n<b>" +
                                     regional_.Lower(path) + " :: 12/7/2026 9:30:00 AM</b>\r\n";
  EXPECT_EQ(page.substr(0, expected_start.size()), expected_start);
  for (const char* line : {
           "<p><a href=\"a%23b 100%25 caf%C3%A9.txt\">a#b 100% caf\xC3\xA9.txt</a> "
           "(8/21/2002 11:25:18 PM, 2k)\r\n",
           "<p><a href=\"big.zip\">big.zip</a> (1/15/2003 12:00:00 PM, 1,234k)\r\n",
           "<p><a href=\"midnight.txt\">midnight.txt</a> (8/21/2002, 1k)\r\n",
           "<p><a href=\"sea.jpg\">sea.jpg</a> (8/21/2002 11:25:18 PM, 150k)\r\n",
           "<b>4 object(s) :: 1,387k</b>\r\n",
       }) {
    EXPECT_NE(page.find(line), std::string::npos) << line;
  }
}

TEST_F(WindowsPageTest, ADriveRootAndAFolderOnItAsTheClassicExamplesShowThem) {
  if (!OwnDriveC()) {
    GTEST_SKIP() << "pages at the root of drive C: are written only where the tests own it "
                    "(QUORVANE_TESTS_OWN_DRIVE_C, as under wine-run)";
  }
  ASSERT_FALSE(testing::Exists("C:\\quorvane_index.html"));
  ASSERT_FALSE(testing::Exists("C:\\photos"));
  const std::string root = MakePage("C:\\");
  testing::RemoveFile("C:\\quorvane_index.html");
  EXPECT_NE(root.find("<head><title>C:\\</title></head>\r\n"), std::string::npos);
  EXPECT_NE(root.find("<b>c:\\ :: 12/7/2026 9:30:00 AM</b>\r\n"), std::string::npos);

  ASSERT_TRUE(CreateDirectoryW(L"C:\\photos", nullptr));
  const std::string photos = MakePage("C:\\photos");
  testing::RemoveFile("C:\\photos\\quorvane_index.html");
  RemoveDirectoryW(L"C:\\photos");
  EXPECT_NE(photos.find("<head><title>C:\\photos\\</title></head>\r\n"), std::string::npos);
  EXPECT_NE(photos.find("<b>c:\\photos\\ :: 12/7/2026 9:30:00 AM</b>\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quorvane
