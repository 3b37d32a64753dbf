// Listing a folder: which entries are files and which sub-folders, their facts, and folders that
// cannot be opened or listed.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
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
using quorvane::testing::FailingCalls;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;

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

  // Only a target that cannot be reached makes the link's own facts the file's.
  for (const int error : {ENOENT, ENOTDIR, ELOOP, EACCES, EIO, ENOMEM}) {
    FailingCalls calls;
    calls.Fail({Call::kStatAt, error, 1, "link"});
    const Result<FileFacts> got = Open(folder.Path(), calls)->ReadFacts("link");
    if (error == EIO || error == ENOMEM) {
      EXPECT_EQ(FailureOf(got), Describe({Step::kReadFileFacts, folder / "link", error})) << error;
    } else {
      EXPECT_EQ(Ok(got).length, 4) << error;  // the link's own: "data"
    }
  }
}

// The system's own calls, but the listing gives no entry's type, as some file systems give none:
// each entry then costs a status call.
class NoEntryTypes final : public FailingCalls {
 public:
  ssize_t GetEntries(int fd, void* buffer, std::size_t size) const override {
    const ssize_t got = FailingCalls::GetEntries(fd, buffer, size);
    for (ssize_t at = 0; at < got;) {
      auto* entry = reinterpret_cast<dirent64*>(static_cast<char*>(buffer) + at);
      entry->d_type = DT_UNKNOWN;
      at += entry->d_reclen;
    }
    return got;
  }
};

// What reading the names of `folder` gives: "[files] [sub-folders]", each sorted, or what its
// failure says.
std::string ListingOf(const Folder& folder) {
  Names files;
  Names folders;
  if (const Result<> read = folder.ReadNames(files, &folders); !read) {
    return Describe(read.Error());
  }
  std::string text;
  for (std::vector<std::string>* names : {&files.names, &folders.names}) {
    std::sort(names->begin(), names->end());
    text += text.empty() ? "[" : " [";
    for (const std::string& name : *names) {
      text += (text.back() == '[' ? "" : " ") + name;
    }
    text += ']';
  }
  return text;
}

// Only an entry gone since the listing is passed over: any other error of its status call fails
// the listing and names it, rather than leave it off the page. A symlink whose target cannot be
// reached is a file.
TEST(FolderTest, AnEntryWhoseStatusCannotBeReadFailsTheListing) {
  const struct {
    const char* entry;  // the one whose status call fails
    Call call;
    int error;
    bool typed;          // whether the listing gives the entries' types
    const char* listed;  // nullptr where the listing fails naming the entry
  } cases[] = {
      {"sub", Call::kStatxAt, EIO, true, nullptr},
      {"sub", Call::kStatxAt, EACCES, true, nullptr},
      {"sub", Call::kStatxAt, ENOENT, true, "[file] []"},
      {"link", Call::kStatAt, EIO, true, nullptr},
      {"link", Call::kStatAt, EACCES, true, "[file link] [sub]"},
      {"link", Call::kStatAt, ELOOP, true, "[file link] [sub]"},
      {"file", Call::kStatxAt, EIO, false, nullptr},
      {"file", Call::kStatxAt, EACCES, false, nullptr},
      {"file", Call::kStatxAt, ENOENT, false, "[] [sub]"},
      {"link", Call::kStatAt, EIO, false, nullptr},
      {"link", Call::kStatAt, EACCES, false, "[file link] [sub]"},
  };
  const TempFolder folder;
  folder.AddFile("file");
  folder.AddFolder("sub");
  ASSERT_EQ(symlink("sub", (folder / "link").c_str()), 0);
  EXPECT_EQ(ListingOf(*Open(folder.Path())), "[file] [sub]");
  for (const auto& c : cases) {
    std::unique_ptr<FailingCalls> calls =
        c.typed ? std::make_unique<FailingCalls>() : std::make_unique<NoEntryTypes>();
    calls->Fail({c.call, c.error, 1, c.entry});
    const std::string words = c.listed != nullptr
                                  ? c.listed
                                  : Describe({Step::kReadFileFacts, folder / c.entry, c.error});
    EXPECT_EQ(ListingOf(*Open(folder.Path(), *calls)), words)
        << c.entry << (c.typed ? "" : " untyped") << ", " << std::strerror(c.error);
  }
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
