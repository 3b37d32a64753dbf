// The page writer where POSIX file systems differ from others: names that differ only in case,
// characters Windows refuses in names, folders renamed while open, unnamed files.

#include "index/index_page_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <atomic>
#include <cstdio>
#include <thread>

#include "page_writer_test.h"
#include "tests/support/failing_calls.h"

namespace quorvane {
namespace {

using testing::Call;
using testing::Entries;
using testing::FailingCalls;
using testing::FakeClock;
using testing::FakeFileSystem;
using testing::LocalTime;
using testing::LocalTm;
using testing::ReadFile;

TEST_F(PageWriterTest, FolderPathIsTextInTheTitleAndTheHeader) {
  const std::string folder = folder_.AddFolder("Tom & Jerry <Best>");
  FakeFileSystem files;
  Show(folder, files);
  ASSERT_TRUE(Make(false, files).OutPath);
  const std::string page = ReadFile(folder + "/quorvane_index.html");
  const std::string above = folder_.Path() + "/";
  EXPECT_NE(page.find("<head><title>" + above + "Tom &amp; Jerry &lt;Best&gt;/</title></head>\r\n"),
            std::string::npos);
  EXPECT_NE(page.find("<b>" + regional_.Lower(above) + "tom &amp; jerry &lt;best&gt;/ :: "),
            std::string::npos);
}

TEST_F(PageWriterTest, ReRunOverwritesItsOwnPageWithoutListingIt) {
  folder_.AddFile("a.txt", 10, LocalTime(2002, 8, 21, 23, 25, 18));
  const std::string first = RefreshAndMake(false, system_files_);
  // The first page is now in the folder; only a page of exactly that name is left out.
  folder_.AddFile("QUORVANE_INDEX.HTML", 10, LocalTime(2002, 8, 21, 23, 25, 18));
  clock_ = FakeClock({LocalTm(2026, 12, 7, 9, 30, 0)}, {100.0, 101.25});
  Refresh(system_files_);
  const GenerationOutcome outcome = Make(false, system_files_);
  const std::string second = ReadFile(PagePath());

  EXPECT_EQ(second.find("href=\"quorvane_index.html\""), std::string::npos);
  EXPECT_NE(second.find("<p><a href=\"QUORVANE_INDEX.HTML\">QUORVANE_INDEX.HTML</a>"),
            std::string::npos);
  EXPECT_NE(second.find("<b>2 object(s) :: 2k</b>"), std::string::npos);
  EXPECT_EQ(second.size(), first.size() + second.find("<br>&nbsp;") - first.find("<br>&nbsp;"));
  // The selection and CurFile end on the last entry, the old page, though it got no entry.
  EXPECT_EQ(list_->Selected(), 2);
  EXPECT_EQ(outcome.CurFile, PagePath());
}

TEST_F(PageWriterTest, AFolderRenamedWhileItsPageIsMadeGetsItInItsNewPlace) {
  folder_.AddFile("a.txt");
  folder_.AddFile("b.txt");
  const std::string shown = folder_.AddFolder("shown");
  folder_.AddFile("shown/c.txt");
  Refresh(system_files_);
  Show(shown, system_files_);
  WhenSelected mover(0, [&] { rename(shown.c_str(), (folder_ / "moved").c_str()); });
  list_->SetObserver(&mover);
  EXPECT_TRUE(Make(false, system_files_).OutPath);
  list_->SetObserver(nullptr);
  EXPECT_NE(ReadFile(folder_ / "moved/quorvane_index.html").find("c.txt</a>"), std::string::npos);
}

// Pictures are told by their names alone, so a folder's path of any length shows them: here one
// longer than 16-bit positions reach, made name by name, as no call takes it whole.
TEST_F(PageWriterTest, AFolderPathOfAnyLengthShowsItsPictures) {
  const std::string deep = folder_.AddDeepFolder(32767 + 300, {"sea.jpg", "notes.txt"});
  Show(deep, system_files_);
  const GenerationOutcome outcome = Make(true, system_files_);
  ASSERT_EQ(testing::FailureOf(outcome.OutPath), "");
  const auto page =
      testing::Ok(testing::Ok(system_files_.OpenFolder(deep))->ReadPage(IndexFileName));
  ASSERT_NE(page, nullptr);
  std::string text(page->Size(), '\0');
  ASSERT_EQ(testing::Ok(page->ReadAt(0, text.data(), text.size())), text.size());
  EXPECT_NE(text.find("<b>2 object(s) :: 2k</b>"), std::string::npos);
  EXPECT_NE(text.find("<br><img src=\"sea.jpg\" border=1>\r\n"), std::string::npos);
  EXPECT_EQ(text.find("<img src=\"notes.txt\""), std::string::npos);
}

TEST_F(PageWriterTest, ConcurrentRunsEachEndWithOneWholePage) {
  for (int i = 0; i < 200; ++i) {
    folder_.AddFile("file " + std::to_string(i));
  }
  // Hidden names, as on a file system without unnamed files, so that runs could see each other's.
  FailingCalls calls;
  for (int n = 1; n <= 1000; ++n) {
    calls.Fail({Call::kOpenAt, EOPNOTSUPP, n, ".", O_TMPFILE});
  }
  const platform::SystemFileSystem files(calls);
  std::atomic<int> failed{0};
  std::vector<std::thread> runs;
  for (int run = 0; run < 4; ++run) {
    runs.emplace_back([&] {
      for (int again = 0; again < 10; ++again) {
        const platform::Services services{clock_, regional_, files, testing::TestExecutor()};
        FileList list(services);
        const std::string CurPath = folder_.Path() + "/";
        failed += MakeIndexPage(false, CurPath, list, services).OutPath ? 0 : 1;
      }
    });
  }
  for (std::thread& run : runs) {
    run.join();
  }
  EXPECT_EQ(failed, 0);
  const std::string page = ReadFile(PagePath());
  EXPECT_NE(page.find("<b>200 object(s) :: 200k</b>"), std::string::npos);
  EXPECT_EQ(page.find(".quorvane_index.html."), std::string::npos);
  EXPECT_EQ(Entries(folder_.Path()).size(), 201u);
}

}  // namespace
}  // namespace quorvane
