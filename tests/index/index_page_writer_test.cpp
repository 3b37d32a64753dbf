#include "index/index_page_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stop_token>
#include <system_error>

#include "page_writer_test.h"
#include "tests/support/failing_files.h"

namespace quorvane {
namespace {

using testing::Entries;
using testing::FailingFileSystem;
using testing::FakeClock;
using testing::FakeFileSystem;
using testing::LocalTime;
using testing::LocalTm;
using testing::ReadFile;
using testing::RemoveFile;
using testing::Stage;

TEST_F(PageWriterTest, WritesTheWholePage) {
  folder_.AddFile("sea.jpg", 153600, LocalTime(2002, 8, 21, 23, 25, 18));
  folder_.AddFile("a&b #1.txt", 0, LocalTime(2002, 8, 21, 0, 0, 0));
  folder_.AddFile("PHOTO.JPG", 2048, LocalTime(2002, 8, 21, 23, 25, 18));
  folder_.AddFile("quorvane_index.html", 10);
  folder_.AddFolder("sub");
  // What a run killed outright left: never listed, and removed by the next; a folder of such a
  // name is the user's.
  folder_.AddFile(".quorvane_index.html.Killed12");
  folder_.AddFolder(".quorvane_index.html.Folder12");

  const std::string page = RefreshAndMake(true, system_files_);
  const std::vector<std::string> names = Entries(folder_.Path());
  EXPECT_EQ(std::count(names.begin(), names.end(), ".quorvane_index.html.Killed12"), 0);
  EXPECT_EQ(names.size(), 6u);
  const std::string path = folder_.Path() + kPathSeparator;
  const std::string expected =
      "<html>\r\n"
      "<head><title>" +
      path +
      "</title></head>\r\n"
      "<body>\r\n"
      "<hr>\r\n"
      "<b>" +
      regional_.Lower(path) +
      " :: 12/7/2026 9:30:00 AM</b>\r\n"
      "<hr>\r\n"
      "<p><a href=\"a%26b %231.txt\">a&amp;b #1.txt</a> (8/21/2002, 1k)\r\n"
      "<p><a href=\"PHOTO.JPG\">PHOTO.JPG</a> (8/21/2002 11:25:18 PM, 2k)\r\n"
      "<p><a href=\"sea.jpg\">sea.jpg</a> (8/21/2002 11:25:18 PM, 150k)\r\n"
      "<br><img src=\"sea.jpg\" border=1>\r\n"
      "<br>&nbsp;\r\n"
      "<hr>\r\n"
      "<b>3 object(s) :: 153k</b>\r\n"
      "<hr>\r\n"
      "<font size=1>\r\n" +
      Footer("1.25") +
      "\r\n"
      "</font>\r\n"
      "<hr>\r\n"
      "</body>\r\n"
      "</html>\r\n";
  EXPECT_EQ(page, expected);
}

TEST_F(PageWriterTest, KilobytesRoundDownWithAFloorOfOneAndTotalsAddThem) {
  FakeFileSystem files;
  const struct {
    const char* name;
    std::int64_t length;
    const char* us;
    const char* italian;
  } cases[] = {
      {"empty", 0, "1k)", "1k)"},
      {"b1023", 1023, "1k)", "1k)"},
      {"b1024", 1024, "1k)", "1k)"},
      {"b2047", 2047, "1k)", "1k)"},
      {"b2048", 2048, "2k)", "2k)"},
      {"c100", 100, "1k)", "1k)"},
      {"d100", 100, "1k)", "1k)"},
      {"e100", 100, "1k)", "1k)"},
      {"huge", std::int64_t{1234567} * 1024 + 1023, "1,234,567k)", "1.234.567k)"},
  };
  for (const auto& c : cases) {
    files.Add(c.name, c.length);
  }
  platform::RegionalSettings italian = testing::UsEnglish();
  italian.group_separator = ".";
  italian.decimal_separator = ",";
  for (const bool is_italian : {false, true}) {
    regional_ = testing::RegionalOf(is_italian ? italian : testing::UsEnglish());
    const std::string page = RefreshAndMake(false, files);
    for (const auto& c : cases) {
      const std::string ending = std::string(c.name) + "</a> (8/22/2002 9:06:40 AM, " +
                                 (is_italian ? c.italian : c.us) + "\r\n";
      EXPECT_NE(page.find(ending), std::string::npos) << c.name << (is_italian ? " it" : " us");
    }
    // Each small file counts as one kilobyte: 1 + 1 + 1 + 1 + 2 + 1 + 1 + 1 + 1,234,567.
    EXPECT_NE(page.find(is_italian ? "<b>9 object(s) :: 1.234.576k</b>\r\n"
                                   : "<b>9 object(s) :: 1,234,576k</b>\r\n"),
              std::string::npos);
  }
}

TEST_F(PageWriterTest, ImageLinesOnlyForTheSevenExtensionsInLowerCase) {
  const struct {
    const char* name;
    bool image;
  } cases[] = {
      {"photo.jpeg", true}, {"a.tiff", true},          {"b.png", true}, {"c.gif", true},
      {"d.bmp", true},      {"e.tif", true},           {"f.jpg", true}, {"PHOTO.JPG", false},
      {"c.jpe", false},     {"archive.tar.gz", false}, {"jpg", false},  {"x.jpg.txt", false},
      {"g h.png", true},
  };
  FakeFileSystem files;
  for (const auto& c : cases) {
    files.Add(c.name, 10);
  }
  const std::string with_images = RefreshAndMake(true, files);
  for (const auto& c : cases) {
    // Each name here links as it is: no byte of them needs encoding.
    const std::string line = "\">" + std::string(c.name) +
                             "</a> (8/22/2002 9:06:40 AM, 1k)\r\n<br><img src=\"" + c.name +
                             "\" border=1>\r\n";
    EXPECT_EQ(with_images.find(line) != std::string::npos, c.image) << c.name;
  }
  EXPECT_EQ(RefreshAndMake(false, files).find("<img"), std::string::npos);
}

TEST_F(PageWriterTest, FolderEmptiedSinceTheRefreshGivesAnEmptyPage) {
  const std::string file = folder_.AddFile("a.txt");
  Refresh(system_files_);
  ASSERT_EQ(list_->Count(), 1);
  ASSERT_TRUE(RemoveFile(file));

  ASSERT_TRUE(Make(false, system_files_).OutPath);
  const std::string page = ReadFile(PagePath());
  EXPECT_EQ(page.find("<p>"), std::string::npos);
  EXPECT_NE(page.find("<hr>\r\n<br>&nbsp;\r\n<hr>\r\n<b>0 object(s) :: 0k</b>\r\n"),
            std::string::npos);
}

TEST_F(PageWriterTest, ListsFarMoreThanASixteenBitCountOfFiles) {
  FakeFileSystem files;
  for (int i = 0; i < 40000; ++i) {
    files.Add("f" + std::to_string(i), 1);
  }
  const std::string page = RefreshAndMake(false, files);
  EXPECT_NE(page.find("<b>40000 object(s) :: 40,000k</b>"), std::string::npos);
  EXPECT_EQ(list_->Selected(), 39999);
}

TEST_F(PageWriterTest, ElapsedTimeDoesNotGoNegativeAcrossMidnight) {
  folder_.AddFile("a.txt");
  clock_ =
      FakeClock({LocalTm(2026, 12, 7, 23, 59, 59), LocalTm(2026, 12, 8, 0, 0, 2)}, {500.0, 502.5});
  const std::string page = RefreshAndMake(false, system_files_);
  EXPECT_NE(page.find(Footer("2.50")), std::string::npos) << page;
}

TEST_F(PageWriterTest, FailuresEndTheRunAndKeepThePreviousPage) {
  folder_.AddFile("a.txt");
  folder_.AddFile("b.txt");
  ASSERT_NE(RefreshAndMake(false, system_files_).find("<html>"), std::string::npos);
  const std::string previous = ReadFile(PagePath());
  const std::vector<std::string> entries = Entries(folder_.Path());

  // A file that vanishes after it was listed, while the run is under way.
  Refresh(system_files_);
  WhenSelected remover(1, [&] { RemoveFile(folder_ / "b.txt"); });
  list_->SetObserver(&remover);
  GenerationOutcome outcome = Make(false, system_files_);
  list_->SetObserver(nullptr);
  EXPECT_EQ(testing::FailureOf(outcome.OutPath), "Cannot read the file facts of " +
                                                     (folder_ / "b.txt") + ": " +
                                                     testing::NoSuchFile().message());
  EXPECT_EQ(list_->Selected(), 1);
  EXPECT_EQ(outcome.CurFile, folder_ / "b.txt");
  EXPECT_EQ(ReadFile(PagePath()), previous);
  EXPECT_EQ(Entries(folder_.Path()).size(), entries.size() - 1);

  // Sums too large to count, and a name too long for the splitter.
  FakeFileSystem huge;
  for (int i = 0; i < 1100; ++i) {
    huge.Add("h" + std::to_string(i), std::numeric_limits<std::int64_t>::max());
  }
  FakeFileSystem long_name;
  long_name.Add(std::string(33000, 'n') + ".png", 1);
  // Each counts 2^53 - 1 kilobytes: the 1,025th (at position 1,024) goes past 2^63 - 1.
  const std::string overflowed = RefreshAndMake(false, huge);
  EXPECT_EQ(overflowed, "failed: The total size overflows at " + (folder_ / list_->Name(1024)));
  EXPECT_EQ(RefreshAndMake(true, long_name).substr(0, 60),
            ("failed: The file name is too long to split at " + folder_.Path()).substr(0, 60));
  EXPECT_EQ(ReadFile(PagePath()), previous);
  EXPECT_EQ(Entries(folder_.Path()).size(), entries.size() - 1);
  // Without images the splitter is never asked.
  EXPECT_NE(RefreshAndMake(false, long_name).find("1 object(s)"), std::string::npos);
}

TEST_F(PageWriterTest, AStopEndsTheRunAndKeepsThePreviousPage) {
  for (int i = 0; i < 3000; ++i) {
    folder_.AddFile("file " + std::to_string(i));
  }
  folder_.AddFile("quorvane_index.html", 5);
  const std::vector<std::string> entries = Entries(folder_.Path());
  const struct {
    const char* when;
    std::int64_t at;  // the entry the stop comes at; -1 for before the run
  } cases[] = {{"before the run", -1},
               {"at the first entry", 0},
               {"half way", 1500},
               {"at the last entry", 3000}};
  for (const auto& c : cases) {
    Refresh(system_files_);
    std::stop_source stop;
    WhenSelected stopper(c.at, [&] { stop.request_stop(); });
    list_->SetObserver(&stopper);
    if (c.at < 0) {
      stop.request_stop();
    }
    const GenerationOutcome outcome = Make(false, system_files_, stop.get_token());
    list_->SetObserver(nullptr);
    EXPECT_EQ(testing::FailureOf(outcome.OutPath),
              "Stopped before the page of " + CurPath_ + " was complete; nothing was written");
    EXPECT_EQ(outcome.CurFile, c.at < 0 ? "" : CurPath_ + std::string(list_->Name(c.at)));
    EXPECT_EQ(list_->Selected(), c.at) << c.when;
    EXPECT_EQ(ReadFile(folder_ / "quorvane_index.html"), std::string(5, '\0')) << c.when;
    EXPECT_EQ(Entries(folder_.Path()), entries) << c.when;
  }
}

TEST_F(PageWriterTest, AFailingSystemCallEndsTheRunWithItsWords) {
  for (int i = 0; i < 300; ++i) {
    folder_.AddFile("file number " + std::to_string(i) + ".txt");
  }
  const std::string page = folder_.AddFile("quorvane_index.html", 3);
  const struct {
    Stage stage;
    std::string words;
  } cases[] = {
      {Stage::kListFolder, "Cannot read the folder " + folder_.Path() + kPathSeparator},
      {Stage::kReadFacts, "Cannot read the file facts of " + (folder_ / "file number 123.txt")},
      {Stage::kWritePage, "Cannot write the page " + page},
      {Stage::kPlacePage, "Cannot write the page " + page},
  };
  for (const auto& c : cases) {
    const FailingFileSystem files(c.stage, "file number 123.txt");
    NewList(files);
    CurPath_ = folder_.Path() + kPathSeparator;
    const GenerationOutcome outcome = Make(false, files);
    EXPECT_EQ(testing::FailureOf(outcome.OutPath), c.words + ": " + files.Error().message());
    EXPECT_EQ(ReadFile(page), std::string(3, '\0'));
    EXPECT_EQ(Entries(folder_.Path()).size(), 301u);
  }
}

TEST_F(PageWriterTest, AnotherFolderNowAtThePathShownGetsNoPage) {
  const std::string shown = folder_.AddFolder("shown");
  folder_.AddFile("shown/c.txt");
  // A volume unmounted, a folder replaced: the folder at the path is not the one listed.
  Show(shown, system_files_);
  ASSERT_TRUE(testing::Rename(shown, folder_ / "elsewhere"));
  folder_.AddFolder("shown");
  const GenerationOutcome outcome = Make(false, system_files_);
  // The window tells this failure by its step, to offer the refresh.
  ASSERT_FALSE(outcome.OutPath);
  EXPECT_EQ(outcome.OutPath.Error().step, platform::Step::kFolderChanged);
  EXPECT_EQ(platform::Describe(outcome.OutPath.Error()),
            "The folder " + (folder_ / "shown/") + " is no longer the one shown; refresh the list");
  EXPECT_EQ(Entries(folder_ / "shown"), std::vector<std::string>{});
}

}  // namespace
}  // namespace quorvane
