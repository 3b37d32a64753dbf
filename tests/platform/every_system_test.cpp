// What the platform does alike on every system, run on each: which entries a folder lists, the
// facts of its files, what is beside it, how a page takes the old one's place, how an old page is
// read and removed, and which changes a watch tells; and the paths of POSIX and of Windows alike,
// whichever is built.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/folder_watch.h"
#include "platform/path_separator.h"
#include "platform/system_file_system.h"
#include "platform/volumes.h"
#include "tests/support/failing_files.h"
#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/watch_reports.h"

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
using quorvane::testing::Told;
using quorvane::testing::WatchedTree;
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
  // Both in one reading, as a walk reads them.
  Names both_files;
  Names both_folders;
  EXPECT_TRUE(open->ReadNames(both_files, &both_folders));
  for (auto* list :
       {&files, &folders, &names.names, &sub_folders, &both_files.names, &both_folders.names}) {
    std::sort(list->begin(), list->end());
  }
  EXPECT_EQ(names.names, files);
  EXPECT_EQ(sub_folders, folders);
  EXPECT_EQ(both_files.names, files);
  EXPECT_EQ(both_folders.names, folders);
  EXPECT_EQ(open->Path(), folder.Path() + kPathSeparator);
}

// What a page with links to the pages around it asks of its folder.
TEST(FolderBehaviourTest, FindsFilesBesideItAndOpensItsParent) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  scratch.AddFolder("top/sub");
  scratch.AddFolder("top/sub/deeper");
  scratch.AddFile("top/page.html");
  scratch.AddFile("top/sub/page.html");
  const auto sub = Ok(SystemFileSystem().OpenFolder(scratch / "top/sub"));
  const struct {
    const char* path;
    bool found;
  } cases[] = {
      {"page.html", true}, {"../page.html", true},      {"deeper/../page.html", true},
      {"missing", false},  {"../missing", false},       {"deeper", false},
      {"../sub", false},   {"deeper/page.html", false}, {"page.html/x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sub->HasFile(c.path), c.found) << c.path;
  }
  const auto parent = Ok(sub->OpenParent());
  EXPECT_EQ(parent->Identity(), Ok(SystemFileSystem().OpenFolder(top))->Identity());
  EXPECT_EQ(parent->Path(), top + kPathSeparator);
  EXPECT_EQ(Ok(parent->OpenSubFolder("sub"))->Identity(), sub->Identity());
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

// An old page is read where it is, and removed only while its name still leads to the very file
// that was read, as it was read.
TEST(PageReaderTest, ReadsThePageInPlaceAndRemovesOnlyThatFile) {
  const TempFolder folder;
  const std::string path = folder / "page.html";
  const std::string text = "<html>\r\n" + std::string(70000, 'x') + "</html>\r\n";
  WriteFile(path, text);
  folder.AddFile("other.txt");
  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  EXPECT_EQ(Ok(open->ReadPage("missing.html")), nullptr);
  const auto page = Ok(open->ReadPage("page.html"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Size(), text.size());
  std::string read(text.size() + 10, '\0');
  std::size_t got = 0;
  for (std::size_t n; (n = Ok(page->ReadAt(got, read.data() + got, read.size() - got))) > 0;) {
    got += n;
  }
  EXPECT_EQ(read.substr(0, got), text);
  EXPECT_EQ(Ok(page->ReadAt(text.size() - 9, read.data(), 100)), 9u);
  EXPECT_EQ(Ok(page->ReadAt(text.size() + 5, read.data(), 100)), 0u);

  // Another file in its place since: kept, and so is the one read.
  ASSERT_TRUE(testing::Rename(path, folder / "moved.html"));
  WriteFile(path, "another page");
  EXPECT_EQ(FailureOf(page->Remove()),
            "The page " + path + " changed while it was checked; it was kept");
  EXPECT_EQ(ReadFile(path), "another page");
  EXPECT_EQ(ReadFile(folder / "moved.html"), text);
  // A note added to it since it was read: kept.
  {
    const auto noted = Ok(open->ReadPage("page.html"));
    std::ofstream(path, std::ios::app) << ", and a note";
    EXPECT_EQ(FailureOf(noted->Remove()),
              "The page " + path + " changed while it was checked; it was kept");
    EXPECT_EQ(ReadFile(path), "another page, and a note");
  }

  EXPECT_TRUE(Ok(open->ReadPage("page.html"))->Remove());
  EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"moved.html", "other.txt"}));
}

TEST(PageReaderTest, AFolderInThePagesPlaceIsNoPage) {
  const TempFolder folder;
  folder.AddFolder("page.html");
  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  const std::string words =
      "The page " + (folder / "page.html") + " is not a regular file; nothing was written";
  EXPECT_EQ(FailureOf(open->ReadPage("page.html")), words);
  // Refused before a dry run as before a page is written, in each system's words.
  EXPECT_NE(FailureOf(open->CheckPage("page.html")).find(folder / "page.html"), std::string::npos);
  EXPECT_EQ(FailureOf(open->CheckPage("new.html")), "");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"});
}

TEST(FolderPathsTest, RootsParentsAndTrailingSeparatorsOfBothSystems) {
  const struct {
    const char* path;
    std::size_t root;
    const char* without_trailing;
    const char* parent;
  } cases[] = {
      {"/", 1, "/", "/"},
      {"//", 1, "/", "/"},
      {"/home/ann/", 1, "/home/ann", "/home"},
      {"/a\\b", 1, "/a\\b", "/"},  // a backslash is part of a POSIX name
      {"relative/x", 0, "relative/x", "relative"},
      {"C:\\", 3, "C:\\", "C:\\"},
      {"c:\\photos\\", 3, "c:\\photos", "c:\\"},
      {"D:/pub/2002", 3, "D:/pub/2002", "D:/pub"},
      {"\\\\server\\share", 14, "\\\\server\\share\\", "\\\\server\\share\\"},
      {"\\\\server\\share\\", 15, "\\\\server\\share\\", "\\\\server\\share\\"},
      {"\\\\server\\share\\pub\\a", 15, "\\\\server\\share\\pub\\a", "\\\\server\\share\\pub"},
      {"\\\\server", 0, "\\\\server", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RootLength(c.path), c.root) << c.path;
    EXPECT_EQ(WithoutTrailingSeparator(c.path), c.without_trailing) << c.path;
    EXPECT_EQ(ParentFolder(WithoutTrailingSeparator(c.path)), c.parent) << c.path;
  }
}

TEST(FolderPathsTest, TheVolumeWithTheLongestMountPointAboveThePathHoldsIt) {
  const std::vector<Volume> posix = {
      {"/", "", "", ""}, {"/home", "", "", ""}, {"/media/usb", "", "", ""}};
  const std::vector<Volume> windows = {
      {"C:\\", "", "", ""}, {"D:\\", "", "", ""}, {"\\\\server\\share\\", "", "", ""}};
  const struct {
    const std::vector<Volume>& volumes;
    const char* path;
    std::size_t volume;
  } cases[] = {
      {posix, "/", 0},
      {posix, "/etc/x", 0},
      {posix, "/home", 1},
      {posix, "/home/me/a", 1},
      {posix, "/homework", 0},
      {posix, "/media/usb/DCIM", 2},
      {posix, "/media/usb2", 0},
      {posix, "/HOME/me", 0},
      {posix, "relative/path", 3},
      {posix, "", 3},
      {posix, "C:\\photos", 3},
      {windows, "C:\\", 0},
      {windows, "c:\\Photos", 0},
      {windows, "D:/pub", 1},
      {windows, "E:\\", 3},
      {windows, "\\\\server\\share\\pub", 2},
      {windows, "\\\\SERVER\\Share", 3},  // a share's root is written with its separator
      {windows, "\\\\server\\shared\\pub", 3},
      {windows, "/home", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VolumeHolding(c.volumes, c.path), c.volume) << c.path;
  }
}

TEST(FolderPathsTest, OnlyASystemWithOneRootGetsItAndAShareGetsAVolumeOfItsOwn) {
  std::vector<Volume> volumes = {{"C:\\", "", "", ""}};
  AddRootWhereMissing(volumes);
  for (const char* path : {"C:\\x", "\\\\server\\share\\pub\\a", "\\\\server\\share\\b",
                           "\\\\server\\other", "/home"}) {
    AddShareHolding(volumes, path);
  }
  std::vector<std::string> mount_points;
  for (const Volume& volume : volumes) {
    mount_points.push_back(volume.mount_point);
  }
  EXPECT_EQ(mount_points,
            (std::vector<std::string>{"C:\\", "\\\\server\\share\\", "\\\\server\\other\\"}));
}

}  // namespace
}  // namespace quorvane::platform

namespace quorvane::platform {
namespace {

TEST(FolderWatchTest, TellsEachFolderWhoseListingChangedAndNoOther) {
  using Change = std::function<void(const TempFolder&)>;
  const struct {
    const char* what;
    Change change;
    std::vector<const char*> changed;
    std::vector<const char*> unchanged;
  } cases[] = {
      {"a file added", [](const TempFolder& t) { t.AddFile("a/new.txt"); }, {"a"}, {"", "b"}},
      {"a file removed",
       [](const TempFolder& t) { EXPECT_TRUE(testing::RemoveFile(t / "a/old.txt")); },
       {"a"},
       {"", "b"}},
      {"a file moved to another folder",
       [](const TempFolder& t) { EXPECT_TRUE(testing::Rename(t / "a/old.txt", t / "b/old")); },
       {"a", "b"},
       {"", "a/deep"}},
      {"a file written",
       [](const TempFolder& t) { WriteFile(t / "b/kept.txt", "more"); },
       {"b"},
       {"", "a"}},
      {"a file's time changed",
       [](const TempFolder& t) {
         std::filesystem::last_write_time(t / "b/kept.txt", std::filesystem::file_time_type());
       },
       {"b"},
       {"", "a"}},
      {"a sub-tree added",
       [](const TempFolder& t) {
         t.AddFolder("b/new");
         t.AddFile("b/new/y.txt");
       },
       {"b"},
       {"", "a"}},
      {"a sub-tree removed",
       [](const TempFolder& t) { std::filesystem::remove_all(t / "a/deep"); },
       {"a"},
       {"", "b"}},
      {"a folder renamed",
       [](const TempFolder& t) { EXPECT_TRUE(testing::Rename(t / "a/deep", t / "a/moved")); },
       {"a"},
       {"", "b"}},
      {"the program's own pages written",
       [](const TempFolder& t) {
         for (const char* name : {"a", "a/deep", "b"}) {
           EXPECT_TRUE(
               testing::ReplacePage(SystemFileSystem(), t / name, "quorvane_index.html", "page"));
         }
       },
       {},
       {"", "a", "a/deep", "b"}},
  };
  for (const auto& c : cases) {
    WatchedTree tree;
    c.change(tree.scratch);
    const Told told = tree.ToldSoFar();
    for (const char* name : c.changed) {
      EXPECT_TRUE(told.changed.contains(tree.Path(name))) << c.what << ": " << name;
    }
    for (const char* name : c.unchanged) {
      EXPECT_FALSE(told.changed.contains(tree.Path(name))) << c.what << ": " << name;
    }
    EXPECT_FALSE(told.rescan) << c.what;
  }
}

TEST(FolderWatchTest, AWaitEndsWhenItsTimeRunsOutOrTheWatchIsStopped) {
  WatchedTree tree;
  EXPECT_TRUE(Ok(tree.watch->Wait(std::chrono::milliseconds(0))).Empty());
  // From another thread, before the wait or during it.
  std::jthread stopper([&] { tree.watch->Stop(); });
  EXPECT_TRUE(Ok(tree.watch->Wait(std::nullopt)).stopped);
  stopper.join();
  // Stopped once, the watch stays stopped, whatever changes.
  tree.watch->Stop();
  tree.scratch.AddFile("a/new.txt");
  EXPECT_TRUE(Ok(tree.watch->Wait(std::nullopt)).stopped);
}

}  // namespace
}  // namespace quorvane::platform
