#include "index/index_page_writer.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "index/html_text.h"
#include "index/program_version.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::FakeFileSystem;
using testing::LocalTime;
using testing::LocalTm;
using testing::ReadFile;
using testing::TempFolder;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Footer(const std::string& seconds) {
  return "page printed in " + seconds + " seconds by quorvane 1.0.6 from <a href=\"" +
         std::string(kPublisherUrl) + "\">" + kPublisherName + "</a>";
}

class PageWriterTest : public ::testing::Test {
 protected:
  // Points a new file list over `files` at the test folder and refreshes it, as the window does.
  void Refresh(const platform::FileSystem& files) {
    list_ = std::make_unique<FileList>(regional_, files);
    RefreshFolderView(folder_.Path(), CurPath_, *list_);
  }

  GenerationOutcome Make(bool ShowImages, const platform::FileSystem& files) {
    const platform::Services services{clock_, regional_, files};
    return MakeIndexPage(ShowImages, CurPath_, CurFile_, *list_, services);
  }

  // Refreshes over `files` and makes the page; returns the page, or the failure's description.
  std::string RefreshAndMake(bool ShowImages, const platform::FileSystem& files) {
    Refresh(files);
    const GenerationOutcome outcome = Make(ShowImages, files);
    if (!outcome.Completed) {
      return "failed: " + outcome.Description;
    }
    EXPECT_EQ(outcome.OutPath, CurPath_ + "quorvane_index.html");
    return ReadFile(outcome.OutPath);
  }

  std::string PagePath() const { return folder_ / "quorvane_index.html"; }

  TempFolder folder_;
  platform::Regional regional_{testing::UsEnglish()};
  FakeClock clock_{{LocalTm(2026, 12, 7, 9, 30, 0)}, {100.0, 101.25}};
  platform::SystemFileSystem system_files_;
  std::unique_ptr<FileList> list_;
  std::string CurPath_;
  std::string CurFile_;
};

TEST_F(PageWriterTest, WritesTheWholePage) {
  folder_.AddFile("sea.jpg", 153600, LocalTime(2002, 8, 21, 23, 25, 18));
  folder_.AddFile("a&b #1.txt", 0, LocalTime(2002, 8, 21, 0, 0, 0));
  folder_.AddFile("PHOTO.JPG", 2048, LocalTime(2002, 8, 21, 23, 25, 18));
  folder_.AddFile("quorvane_index.html", 10);
  folder_.AddFolder("sub");

  const std::string page = RefreshAndMake(true, system_files_);
  const std::string path = folder_.Path() + "/";
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
  italian.GroupSeparator = ".";
  italian.DecimalSeparator = ",";
  for (const bool is_italian : {false, true}) {
    regional_ = platform::Regional(is_italian ? italian : testing::UsEnglish());
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
    std::string line;
    AppendLinkTarget(line, c.name);
    line = "\">" + std::string(c.name) + "</a> (8/22/2002 9:06:40 AM, 1k)\r\n<br><img src=\"" +
           line + "\" border=1>\r\n";
    EXPECT_EQ(with_images.find(line) != std::string::npos, c.image) << c.name;
  }
  EXPECT_EQ(RefreshAndMake(false, files).find("<img"), std::string::npos);
}

TEST_F(PageWriterTest, ReRunOverwritesItsOwnPageWithoutListingIt) {
  folder_.AddFile("a.txt", 10, LocalTime(2002, 8, 21, 23, 25, 18));
  const std::string first = RefreshAndMake(false, system_files_);
  // The first page is now in the folder; only a page of exactly that name is left out.
  folder_.AddFile("QUORVANE_INDEX.HTML", 10, LocalTime(2002, 8, 21, 23, 25, 18));
  clock_ = FakeClock({LocalTm(2026, 12, 7, 9, 30, 0)}, {100.0, 101.25});
  const std::string second = RefreshAndMake(false, system_files_);

  EXPECT_EQ(second.find("href=\"quorvane_index.html\""), std::string::npos);
  EXPECT_NE(second.find("<p><a href=\"QUORVANE_INDEX.HTML\">QUORVANE_INDEX.HTML</a>"),
            std::string::npos);
  EXPECT_NE(second.find("<b>2 object(s) :: 2k</b>"), std::string::npos);
  EXPECT_EQ(second.size(), first.size() + second.find("<br>&nbsp;") - first.find("<br>&nbsp;"));
  // The selection and CurFile stay on the last entry, the old page, though it got no entry.
  EXPECT_EQ(list_->Selected(), 2);
  EXPECT_EQ(CurFile_, PagePath());
}

TEST_F(PageWriterTest, FolderEmptiedSinceTheRefreshGivesAnEmptyPage) {
  const std::string file = folder_.AddFile("a.txt");
  Refresh(system_files_);
  ASSERT_EQ(list_->Count(), 1);
  ASSERT_EQ(unlink(file.c_str()), 0);

  ASSERT_TRUE(Make(false, system_files_).Completed);
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

// Removes `path` when the list selects the entry at `position`.
struct RemoveOnSelection final : FileListObserver {
  std::int64_t position;
  std::string path;
  RemoveOnSelection(std::int64_t at, std::string what) : position(at), path(std::move(what)) {}
  void SelectionChanged(std::int64_t selected) override {
    if (selected == position) {
      unlink(path.c_str());
    }
  }
};

TEST_F(PageWriterTest, FailuresEndTheRunAndKeepThePreviousPage) {
  folder_.AddFile("a.txt");
  folder_.AddFile("b.txt");
  ASSERT_NE(RefreshAndMake(false, system_files_).find("<html>"), std::string::npos);
  const std::string previous = ReadFile(PagePath());
  const std::vector<std::string> entries = Entries(folder_.Path());

  // A file that vanishes after it was listed, while the run is under way.
  Refresh(system_files_);
  RemoveOnSelection remover(1, folder_ / "b.txt");
  list_->SetObserver(&remover);
  GenerationOutcome outcome = Make(false, system_files_);
  list_->SetObserver(nullptr);
  EXPECT_FALSE(outcome.Completed);
  EXPECT_EQ(outcome.Description, "No such file or directory: " + (folder_ / "b.txt"));
  EXPECT_EQ(outcome.OutPath, "");
  EXPECT_EQ(list_->Selected(), 1);
  EXPECT_EQ(ReadFile(PagePath()), previous);
  EXPECT_EQ(Entries(folder_.Path()).size(), entries.size() - 1);

  // Sums too large to count, and a name too long for the splitter.
  FakeFileSystem huge;
  for (int i = 0; i < 1100; ++i) {
    huge.Add("h" + std::to_string(i), std::numeric_limits<std::int64_t>::max());
  }
  FakeFileSystem long_name;
  long_name.Add(std::string(33000, 'n') + ".png", 1);
  EXPECT_EQ(RefreshAndMake(false, huge), "failed: Overflow");
  EXPECT_EQ(RefreshAndMake(true, long_name), "failed: Overflow");
  EXPECT_EQ(ReadFile(PagePath()), previous);
  EXPECT_EQ(Entries(folder_.Path()).size(), entries.size() - 1);
  // Without images the splitter is never asked.
  EXPECT_NE(RefreshAndMake(false, long_name).find("1 object(s)"), std::string::npos);
}

TEST_F(PageWriterTest, PageThatCannotBeCreatedIsAFailureNamingIt) {
  folder_.AddFile("a.txt");
  const std::string page_folder = folder_.AddFolder("quorvane_index.html");
  EXPECT_EQ(RefreshAndMake(false, system_files_), "failed: Is a directory: " + page_folder);

  const std::string gone = folder_.AddFolder("gone");
  folder_.AddFile("gone/x.txt");
  list_ = std::make_unique<FileList>(regional_, system_files_);
  RefreshFolderView(gone, CurPath_, *list_);
  std::filesystem::remove_all(gone);
  const GenerationOutcome outcome = Make(false, system_files_);
  EXPECT_FALSE(outcome.Completed);
  EXPECT_EQ(outcome.Description, "No such file or directory: " + gone + "/");
}

// Makes the page of `folder` under a 4 kB file-size limit, which stops writes even for root;
// prints the failure and exits with 3, or exits with 0 if there was none.
[[noreturn]] void MakeUnderSizeLimit(const std::string& folder) {
  std::signal(SIGXFSZ, SIG_IGN);  // so that the write fails instead of the process dying
  const rlimit limit{4096, 4096};
  setrlimit(RLIMIT_FSIZE, &limit);
  const platform::Regional regional(testing::UsEnglish());
  const platform::SystemClock clock;
  const platform::SystemFileSystem files;
  FileList list(regional, files);
  std::string CurPath;
  std::string CurFile;
  RefreshFolderView(folder, CurPath, list);
  const GenerationOutcome outcome =
      MakeIndexPage(false, CurPath, CurFile, list, {clock, regional, files});
  std::fprintf(stderr, "%s\n", outcome.Description.c_str());
  std::_Exit(outcome.Completed ? 0 : 3);
}

TEST(PageWriterDeathTest, WriteFailureKeepsThePreviousPage) {
  const TempFolder folder;
  for (int i = 0; i < 200; ++i) {
    folder.AddFile("file number " + std::to_string(i) + ".txt");
  }
  const std::string page = folder.AddFile("quorvane_index.html", 3);
  EXPECT_EXIT(MakeUnderSizeLimit(folder.Path()), ::testing::ExitedWithCode(3),
              "File too large: " + page);
  EXPECT_EQ(ReadFile(page), std::string(3, '\0'));
  EXPECT_EQ(Entries(folder.Path()).size(), 201u);
}

}  // namespace
}  // namespace quorvane
