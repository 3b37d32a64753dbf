// Listing a folder: which entries are files and which sub-folders, their facts, and folders that
// cannot be opened or listed.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <climits>
#include <mutex>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/system_file_system.h"
#include "tests/support/failing_calls.h"
#include "tests/support/posix_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Call;
using quorvane::testing::Entries;
using quorvane::testing::FailingCalls;
using quorvane::testing::kNobody;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

TEST(FolderTest, ListsEveryEntryThatIsNotAFolderButItsOwnTemporaryNames) {
  const TempFolder folder;
  folder.AddFile("plain.txt");
  folder.AddFile(".hidden");
  folder.AddFile("\xFF\xFEnot-utf8");
  folder.AddFile(".quorvane_index.html.AbCd1234");  // a hidden page name: left out
  folder.AddFile(".quorvane_index.html.AbCd12");    // not one: listed
  folder.AddFolder("sub");
  folder.AddFolder(".hidden-folder");
  ASSERT_EQ(symlink("plain.txt", (folder / "to-file").c_str()), 0);
  ASSERT_EQ(symlink("sub", (folder / "to-folder").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (folder / "dangling").c_str()), 0);
  ASSERT_EQ(symlink("loop", (folder / "loop").c_str()), 0);
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0);
  MakeSocket(folder / "socket");

  const std::vector<std::string> expected = {".hidden",
                                             ".quorvane_index.html.AbCd12",
                                             "dangling",
                                             "fifo",
                                             "loop",
                                             "plain.txt",
                                             "socket",
                                             "to-file",
                                             "\xFF\xFEnot-utf8"};
  EXPECT_EQ(FileNamesOf(folder.Path()), expected);
}

TEST(FolderTest, SubFoldersAreFoldersOfTheSameVolumeWithoutSymlinks) {
  const TempFolder folder;
  folder.AddFolder("photos");
  folder.AddFolder(".config");
  folder.AddFolder("caf\xE9");
  folder.AddFolder("photos/2002");
  folder.AddFile("notes.txt");
  ASSERT_EQ(symlink("photos", (folder / "link-to-photos").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (folder / "dangling").c_str()), 0);
  std::vector<std::string> names = Ok(Open(folder.Path())->SubFolderNames());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".config", "caf\xE9", "photos"}));

  // /proc is a file system of its own on every Linux machine, so a walk down from / stops there.
  names = Ok(Open("/")->SubFolderNames());
  EXPECT_EQ(std::find(names.begin(), names.end(), "proc"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "etc"), names.end());
}

// The system's own calls, noting the flags of every status call.
class NotingStatusFlags final : public SystemCalls {
 public:
  int StatAt(int dir, const char* path, struct stat* st, int flags) const override {
    Note(flags);
    return SystemCalls::StatAt(dir, path, st, flags);
  }
  int StatxAt(int dir, const char* path, int flags, unsigned mask,
              struct statx* st) const override {
    Note(flags);
    return SystemCalls::StatxAt(dir, path, flags, mask, st);
  }
  std::vector<int> Flags() const {
    const std::lock_guard lock(mutex_);
    return flags_;
  }

 private:
  void Note(int flags) const {
    const std::lock_guard lock(mutex_);
    flags_.push_back(flags);
  }
  mutable std::mutex mutex_;
  mutable std::vector<int> flags_;
};

// Merely looking at a folder of automount points, as the walk and the window's folder tree do,
// must neither mount them nor wait for an unreachable server.
TEST(FolderTest, NoStatusCallTriggersAnAutomount) {
  const TempFolder folder;
  folder.AddFile("file");
  folder.AddFolder("sub");
  ASSERT_EQ(symlink("sub", (folder / "to-sub").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (folder / "dangling").c_str()), 0);
  const NotingStatusFlags calls;
  const auto open = Open(folder.Path(), calls);
  Names names;
  Names folders;
  EXPECT_TRUE(open->ReadNames(names, &folders));
  EXPECT_TRUE(open->ReadFileNames(names));
  EXPECT_EQ(Ok(open->SubFolderNames()), std::vector<std::string>{"sub"});
  EXPECT_TRUE(open->ReadFacts("file"));
  EXPECT_TRUE(open->ReadFacts("dangling"));
  EXPECT_FALSE(open->HasFile("sub/nothing"));
  EXPECT_EQ(Ok(Ok(open->OpenSubFolder("sub"))->OpenParent())->Mount(), open->Mount());
  const std::vector<int> flags = calls.Flags();
  EXPECT_GE(flags.size(), 8u);
  for (const int flag : flags) {
    EXPECT_NE(flag & AT_NO_AUTOMOUNT, 0) << flag;
  }
}

TEST(FolderTest, FactsFollowSymlinksUnlessTheyLeadNowhere) {
  const TempFolder folder;
  const std::time_t when = 1030000000;
  folder.AddFile("data", 5000, when);
  ASSERT_EQ(symlink("data", (folder / "link").c_str()), 0);
  ASSERT_EQ(symlink("no-such-target", (folder / "dangling").c_str()), 0);
  const auto open = Open(folder.Path());

  const FileFacts facts = Ok(open->ReadFacts("link"));
  EXPECT_EQ(facts.length, 5000);
  EXPECT_EQ(facts.modified, when);
  EXPECT_EQ(Ok(open->ReadFacts("dangling")).length, 14);  // the link's own: its target's name
  EXPECT_EQ(
      FailureOf(open->ReadFacts("vanished")),
      "Cannot read the file facts of " + (folder / "vanished") + ": No such file or directory");
}

TEST(FolderTest, WorksOnThroughTheOpenFolder) {
  const TempFolder scratch;
  // A path longer than the system takes in one call, of names that are each fine.
  const std::string deep = scratch.AddDeepFolder(PATH_MAX + 300, {"entry"});
  EXPECT_EQ(FileNamesOf(deep), std::vector<std::string>{"entry"});

  // A folder renamed while open is still the one written to.
  const std::string before = scratch.AddFolder("before");
  scratch.AddFile("before/a.txt", 7);
  const auto moved = Open(before);
  ASSERT_EQ(rename(before.c_str(), (scratch / "after").c_str()), 0);
  EXPECT_EQ(Ok(moved->ReadFacts("a.txt")).length, 7);
  const auto page = Ok(moved->CreatePage("page.html"));
  EXPECT_TRUE(page->Write("text") && page->Commit());
  EXPECT_EQ(ReadFile(scratch / "after/page.html"), "text");

  // Its parent is the folder it is in now, not the one its path named.
  scratch.AddFolder("elsewhere");
  ASSERT_EQ(rename((scratch / "after").c_str(), (scratch / "elsewhere/after").c_str()), 0);
  EXPECT_EQ(Ok(moved->OpenParent())->Identity(), Open(scratch / "elsewhere")->Identity());
}

TEST(FolderTest, FolderThatCannotBeOpenedFailsNamingIt) {
  const TempFolder scratch;
  const std::string file = scratch.AddFile("file");
  const struct {
    std::string path;
    std::string words;
  } cases[] = {
      {scratch / "gone",
       "Cannot read the folder " + (scratch / "gone/") + ": No such file or directory"},
      {file, "Cannot read the folder " + file + ": Not a directory"},  // no folder, so no "/"
      {file + "/", "Cannot read the folder " + file + ": Not a directory"},
      {"", "Cannot read the folder '': No such file or directory"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FailureOf(SystemFileSystem().OpenFolder(c.path)), c.words);
  }
}
}  // namespace
}  // namespace quorvane::platform
