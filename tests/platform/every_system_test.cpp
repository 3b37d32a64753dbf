// What the platform does alike on every system, run on each: which entries a folder lists, the
// facts of its files, and how a page takes the old one's place.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/path_separator.h"
#include "platform/system_file_system.h"
#include "tests/support/failing_files.h"
#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Entries;
using quorvane::testing::FailingFileSystem;
using quorvane::testing::FailureOf;
using quorvane::testing::LocalTime;
using quorvane::testing::Names;
using quorvane::testing::Ok;
using quorvane::testing::ReadFile;
using quorvane::testing::Stage;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

TEST(FolderBehaviourTest, ListsEveryFileButFoldersAndItsOwnHiddenPageNames) {
  const TempFolder folder;
  const struct {
    const char* name;
    bool is_folder;
    bool listed;
  } entries[] = {
      {"plain.txt", false, true},
      {".hidden", false, true},
      {"a&b #1 100%.txt", false, true},
      {" edge spaces ", false, true},
      {"caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC.jpg", false, true},
      {"\xF0\x9F\x93\xB7.png", false, true},  // beyond the 16-bit plane: a surrogate pair
      {"quorvane_index.html", false, true},
      {".quorvane_index.html.AbCd1234", false, false},  // a hidden page name
      {".quorvane_index.html.AbCd12", false, true},     // too short to be one
      {"sub", true, false},
      {".hidden-folder", true, false},
      {"caf\xC3\xA9", true, false},
  };
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (const auto& entry : entries) {
    if (entry.is_folder) {
      folder.AddFolder(entry.name);
      folders.emplace_back(entry.name);
    } else {
      folder.AddFile(entry.name);
    }
    if (entry.listed) {
      files.emplace_back(entry.name);
    }
  }
  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  Names names;
  EXPECT_TRUE(open->ReadFileNames(names));
  std::vector<std::string> sub_folders = Ok(open->SubFolderNames());
  for (auto* list : {&files, &folders, &names.names, &sub_folders}) {
    std::sort(list->begin(), list->end());
  }
  EXPECT_EQ(names.names, files);
  EXPECT_EQ(sub_folders, folders);
  EXPECT_EQ(open->Path(), folder.Path() + kPathSeparator);
}

TEST(FolderBehaviourTest, FactsAreTheLengthAndTheLastChange) {
  const TempFolder folder;
  const struct {
    const char* name;
    std::int64_t length;
    std::time_t modified;
  } files[] = {
      {"empty", 0, LocalTime(2002, 8, 21, 23, 25, 18)},
      {"midnight", 1023, LocalTime(2002, 8, 21, 0, 0, 0)},
      {"winter", 1024, LocalTime(2003, 1, 15, 12, 0, 0)},
      {"before 1970", 2047, LocalTime(1965, 3, 4, 5, 6, 7)},
      {"after 2038", 2048, LocalTime(2040, 6, 1, 8, 9, 10)},
      {"five gigabytes", std::int64_t{5} << 30, LocalTime(2020, 2, 29, 23, 59, 59)},
  };
  for (const auto& file : files) {
    folder.AddFile(file.name, file.length, file.modified);
  }
  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  for (const auto& file : files) {
    const FileFacts facts = Ok(open->ReadFacts(file.name));
    EXPECT_EQ(facts.length, file.length) << file.name;
    EXPECT_EQ(facts.modified, file.modified) << file.name;
  }
  EXPECT_EQ(FailureOf(open->ReadFacts("vanished")), "Cannot read the file facts of " +
                                                        (folder / "vanished") + ": " +
                                                        testing::NoSuchFile().message());
}

TEST(FolderBehaviourTest, AFolderThatCannotBeOpenedFailsNamingIt) {
  const TempFolder scratch;
  const std::string no_such = ": " + testing::NoSuchFile().message();
  EXPECT_EQ(FailureOf(SystemFileSystem().OpenFolder(scratch / "gone")),
            "Cannot read the folder " + (scratch / "gone/") + no_such);
  EXPECT_NE(FailureOf(SystemFileSystem().OpenFolder("")), "");
  scratch.AddFolder("sub");
  const auto open = Ok(SystemFileSystem().OpenFolder(scratch.Path()));
  EXPECT_EQ(Ok(open->OpenSubFolder("sub"))->Path(), scratch / "sub/");
  EXPECT_EQ(FailureOf(open->OpenSubFolder("x")),
            "Cannot read the folder " + (scratch / "x/") + no_such);
}

TEST(PageOutputTest, ReplacesOnlyWhenCommittedAndLeavesNoTraceWhenDropped) {
  const TempFolder folder;
  const std::string path = folder / "page.html";
  WriteFile(path, "old page");
  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  {
    const auto page = Ok(open->CreatePage("page.html"));
    EXPECT_TRUE(page->Write(std::string(200000, 'x')));
    EXPECT_EQ(ReadFile(path), "old page");
    Names names;
    EXPECT_TRUE(open->ReadFileNames(names));
    EXPECT_EQ(names.names, std::vector<std::string>{"page.html"});
  }
  EXPECT_EQ(ReadFile(path), "old page");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"});
  const auto page = Ok(open->CreatePage("page.html"));
  EXPECT_TRUE(page->Write("new page") && page->Commit());
  EXPECT_EQ(ReadFile(path), "new page");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"});
  // A first page goes in place the same way.
  const auto first = Ok(open->CreatePage("first.html"));
  EXPECT_TRUE(first->Write("first"));
  EXPECT_FALSE(testing::Exists(folder / "first.html"));
  EXPECT_TRUE(first->Commit());
  EXPECT_EQ(ReadFile(folder / "first.html"), "first");
  // Sealed and on disk, a page still shows nowhere until placed.
  const auto sealed = Ok(open->CreatePage("page.html"));
  EXPECT_TRUE(sealed->Write("sealed page") && sealed->Seal() && sealed->SyncVolume());
  EXPECT_EQ(ReadFile(path), "new page");
  EXPECT_TRUE(sealed->Place());
  EXPECT_EQ(ReadFile(path), "sealed page");
  EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"first.html", "page.html"}));
}

TEST(PageOutputTest, AFailingWriteOrPlacingKeepsTheOldPageAndLeavesNoName) {
  for (const Stage stage : {Stage::kWritePage, Stage::kPlacePage}) {
    for (const bool has_old_page : {true, false}) {
      const TempFolder folder;
      const std::string path = folder / "page.html";
      if (has_old_page) {
        WriteFile(path, "old page");
      }
      const std::vector<std::string> before = Entries(folder.Path());
      const FailingFileSystem files(stage);
      const std::string failure = [&] {
        const auto page = Ok(Ok(files.OpenFolder(folder.Path()))->CreatePage("page.html"));
        const Result<> written = page->Write("new page");
        return FailureOf(written ? page->Commit() : written);
      }();  // the page dropped, as a run that fails drops it
      EXPECT_EQ(failure, "Cannot write the page " + path + ": " + files.Error().message());
      EXPECT_EQ(Entries(folder.Path()), before);
      EXPECT_EQ(ReadFile(path), has_old_page ? "old page" : "");
    }
  }
}

}  // namespace
}  // namespace quorvane::platform
