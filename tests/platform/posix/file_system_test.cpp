#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <algorithm>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "platform/temporary_names.h"
#include "tests/support/failing_calls.h"
#include "tests/support/in_child.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Call;
using quorvane::testing::Entries;
using quorvane::testing::FailingCalls;
using quorvane::testing::FailureOf;
using quorvane::testing::Names;
using quorvane::testing::Ok;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

using quorvane::testing::kNobody;
constexpr char kAcl[] = "system.posix_acl_access";

// The folder at `path`, every call going through `calls`.
std::unique_ptr<Folder> Open(const std::string& path,
                             const SystemCalls& calls = SystemCalls::Real()) {
  return Ok(SystemFileSystem(calls).OpenFolder(path));
}

std::vector<std::string> FileNamesOf(const std::string& path) {
  Names sink;
  EXPECT_TRUE(Open(path)->ReadFileNames(sink));
  std::sort(sink.names.begin(), sink.names.end());
  return sink.names;
}

// Replaces `name` in `folder` with a page holding `text`, every call going through `calls`;
// when `sealed`, in the three steps that let many pages wait for the disk once. Returns what
// its failure says, "" for none.
std::string Replace(const std::string& folder, const std::string& name, const std::string& text,
                    const SystemCalls& calls = SystemCalls::Real(), bool sealed = false) {
  return FailureOf(testing::ReplacePage(SystemFileSystem(calls), folder, name, text, sealed));
}

// An attribute's value, or "(none)".
std::string Attribute(const std::string& path, const char* name) {
  char value[4096];
  const ssize_t size = lgetxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0);
  return st.st_mode;
}

void MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// Runs `run` in a child process as the user and group nobody (CI runs as root, where permission
// bits stop nothing), and returns what it returned.
std::string AsNobody(const std::function<std::string()>& run) {
  return quorvane::testing::InChild(
      [&] { return quorvane::testing::BecomeNobody() ? run() : "cannot become nobody"; });
}

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

// How the old page is before a run of the table below: its owner, mode and ACL, or the folder's.
enum class OldPage {
  kPlain,             // the runner's, 0644
  kNobodys,           // nobody's, 0600: its group has no rights
  kNobodysForGroup,   // nobody's, 0640
  kGivesGroupMore,    // 0604: the new page (0644) gives its group more
  kGivesGroupLess,    // 0666: the new page (0644) gives its group less
  kWithAcl,           // an ACL giving nobody reading
  kFolderDefaultAcl,  // no ACL, in a folder whose default ACL gives nobody reading
};

void Prepare(OldPage old, const TempFolder& folder, const std::string& path) {
  if (old == OldPage::kNobodys || old == OldPage::kNobodysForGroup) {
    ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
  }
  const mode_t modes[] = {0644, 0600, 0640, 0604, 0666, 0644, 0644};
  ASSERT_EQ(chmod(path.c_str(), modes[static_cast<int>(old)]), 0);
  if (old == OldPage::kWithAcl) {
    Shell("setfacl -m u:nobody:r " + path);
  } else if (old == OldPage::kFolderDefaultAcl) {
    Shell("setfacl -d -m u:nobody:r " + folder.Path());
  }
}

// Each step failing with each error: the old page stays and no name is left. Where the file
// system does not support a thing (ENOSYS, EOPNOTSUPP), it is nothing to carry over, as long as
// access to the new page is no wider than to the old one.
TEST(PageOutputTest, EveryFailingStepKeepsTheOldPageAndLeavesNoName) {
  using Rule = FailingCalls::Rule;
  const Rule no_unnamed{Call::kOpenAt, EOPNOTSUPP, 1, ".", O_TMPFILE};
  const std::vector<int> unsupported = {ENOSYS, EOPNOTSUPP};
  const struct {
    const char* step;
    std::vector<Rule> (*rules)(int error, const Rule& no_unnamed);
    OldPage old;
    Step words;
    std::vector<int> succeeds_with;
    bool sealed = false;
  } steps[] = {
      {"create",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kOpenAt, e, 1, ".", O_TMPFILE}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {EOPNOTSUPP}},  // then under a hidden name
      {"create named",
       [](int e, const Rule& n) {
         return std::vector<Rule>{n, {Call::kOpenAt, e, 1, "", O_CREAT | O_EXCL}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"write",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kWrite, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"write named",
       [](int e, const Rule& n) {
         return std::vector<Rule>{n, {Call::kWrite, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"sync",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kSync, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"link",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kLinkAt, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"close",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kClose, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"rename",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kRenameAt, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"rename named",
       [](int e, const Rule& n) {
         return std::vector<Rule>{n, {Call::kRenameAt, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {}},
      {"owner",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kChangeOwner, e}};
       },
       OldPage::kNobodys, Step::kKeepPermissions, unsupported},
      {"owner and group, the group with rights",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kChangeOwner, e}, {Call::kChangeOwner, e}};  // both calls
       },
       OldPage::kNobodysForGroup,
       Step::kKeepPermissions,
       {}},
      {"mode, the new one wider",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kChangeMode, e}};
       },
       OldPage::kGivesGroupMore,
       Step::kKeepPermissions,
       {}},
      {"mode, the new one narrower",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kChangeMode, e}};
       },
       OldPage::kGivesGroupLess, Step::kKeepPermissions, unsupported},
      {"no ACL",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kRemoveAttribute, e}};
       },
       OldPage::kFolderDefaultAcl,
       Step::kKeepPermissions,
       {}},
      {"ACL",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kSetAttribute, e, 1, kAcl}};
       },
       OldPage::kWithAcl,
       Step::kKeepPermissions,
       {}},
      {"attributes",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kListAttributes, e}};
       },
       OldPage::kPlain, Step::kKeepAttributes, unsupported},
      {"sync the file system",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kSyncFileSystem, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {},
       true},
      {"rename sealed",
       [](int e, const Rule&) {
         return std::vector<Rule>{{Call::kRenameAt, e}};
       },
       OldPage::kPlain,
       Step::kWritePage,
       {},
       true},
  };
  const mode_t previous = umask(022);
  for (const auto& step : steps) {
    for (const int error : {ENOSPC, EDQUOT, EIO, EACCES, ENOSYS, EOPNOTSUPP}) {
      const TempFolder folder;
      const std::string path = folder / "page.html";
      const std::string old_page(5022, 'o');
      WriteFile(path, old_page);
      Prepare(step.old, folder, path);
      const mode_t old_mode = ModeOf(path);
      FailingCalls calls;
      for (const auto& rule : step.rules(error, no_unnamed)) {
        calls.Fail(rule);
      }
      const std::string new_page(9000, 'n');
      const std::string failure = Replace(folder.Path(), "page.html", new_page, calls, step.sealed);
      const bool succeeds = std::count(step.succeeds_with.begin(), step.succeeds_with.end(), error);
      const std::string said = step.step + std::string(", ") + std::strerror(error);
      EXPECT_EQ(failure, succeeds ? "" : Describe({step.words, path, error})) << said;
      EXPECT_TRUE(ReadFile(path) == (succeeds ? new_page : old_page)) << said;
      EXPECT_EQ(ModeOf(path) & ~old_mode & 07777, 0u) << said;
      EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << said;
    }
  }
  umask(previous);
}

TEST(PageOutputTest, SymlinkedPagesAreWrittenThroughOnlyWhenAllIsTheUsers) {
  const struct {
    const char* name;
    std::function<void(const TempFolder&)> make;  // makes "page.html" in the folder
    bool written;
  } cases[] = {
      {"own link to own file",
       [](const TempFolder& f) {
         WriteFile(f / "real.html", "old");
         symlink("real.html", (f / "page.html").c_str());
       },
       true},
      {"own link into another folder",
       [](const TempFolder& f) {
         f.AddFolder("site");
         WriteFile(f / "site/real.html", "old");
         symlink((f / "site/real.html").c_str(), (f / "page.html").c_str());
       },
       true},
      {"link of another user",
       [](const TempFolder& f) {
         WriteFile(f / "real.html", "old");
         symlink("real.html", (f / "page.html").c_str());
         lchown((f / "page.html").c_str(), kNobody, kNobody);
       },
       false},
      {"link to another user's file",
       [](const TempFolder& f) {
         WriteFile(f / "real.html", "old");
         chown((f / "real.html").c_str(), kNobody, kNobody);
         symlink("real.html", (f / "page.html").c_str());
       },
       false},
      {"dangling link",
       [](const TempFolder& f) { symlink("real.html", (f / "page.html").c_str()); }, false},
      {"link to a folder",
       [](const TempFolder& f) {
         f.AddFolder("real.html");
         symlink("real.html", (f / "page.html").c_str());
       },
       false},
      {"link to a link",
       [](const TempFolder& f) {
         WriteFile(f / "file.html", "old");
         symlink("file.html", (f / "real.html").c_str());
         symlink("real.html", (f / "page.html").c_str());
       },
       false},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    c.make(folder);
    const std::vector<std::string> names = Entries(folder.Path());
    const std::string failure = Replace(folder.Path(), "page.html", "new");
    EXPECT_TRUE(S_ISLNK(ModeOf(folder / "page.html"))) << c.name;
    if (c.written) {
      EXPECT_EQ(failure, "") << c.name;
      EXPECT_EQ(ReadFile(folder / "page.html"), "new") << c.name;
    } else {
      EXPECT_EQ(failure, "The page " + (folder / "page.html") +
                             " is a symbolic link that does not lead to an existing file of yours "
                             "through a link of yours; nothing was written")
          << c.name;
      EXPECT_NE(ReadFile(folder / "page.html"), "new") << c.name;
      EXPECT_FALSE(quorvane::testing::Exists(folder / "real.html") &&
                   ReadFile(folder / "real.html") == "new")
          << c.name;
    }
    EXPECT_EQ(Entries(folder.Path()), names) << c.name;
  }
}

TEST(PageOutputTest, OtherKindsOfPageAreReplacedOrRefused) {
  const TempFolder folder;
  // A page with other hard links is replaced by the rename: the other names keep the old text.
  WriteFile(folder / "page.html", "old");
  ASSERT_EQ(link((folder / "page.html").c_str(), (folder / "other.html").c_str()), 0);
  EXPECT_EQ(Replace(folder.Path(), "page.html", "new"), "");
  EXPECT_EQ(ReadFile(folder / "page.html"), "new");
  EXPECT_EQ(ReadFile(folder / "other.html"), "old");

  folder.AddFolder("folder.html");
  ASSERT_EQ(mkfifo((folder / "fifo.html").c_str(), 0644), 0);
  EXPECT_EQ(Replace(folder.Path(), "folder.html", "new"),
            "Cannot write the page " + (folder / "folder.html") + ": Is a directory");
  EXPECT_EQ(Replace(folder.Path(), "fifo.html", "new"),
            "The page " + (folder / "fifo.html") + " is not a regular file; nothing was written");
  EXPECT_TRUE(S_ISFIFO(ModeOf(folder / "fifo.html")));
}

TEST(PageOutputTest, NewPageTakesTheOldPagesPermissionsAndNeverWiderAccess) {
  const TempFolder folder;
  const std::string page = folder / "page.html";
  WriteFile(page, "old");
  ASSERT_EQ(chown(page.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod(page.c_str(), 0604), 0);
  Shell("setfacl -m u:daemon:rw,m::r " + page);
  ASSERT_EQ(setxattr(page.c_str(), "user.note", "kept", 4, 0), 0);
  const std::string acl = Attribute(page, kAcl);
  const mode_t mode = ModeOf(page);
  EXPECT_EQ(Replace(folder.Path(), "page.html", "new"), "");
  struct stat st {};
  ASSERT_EQ(stat(page.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(st.st_mode, mode);
  EXPECT_EQ(Attribute(page, kAcl), acl);
  EXPECT_EQ(Attribute(page, "user.note"), "kept");

  // In a folder whose default ACL opens new files to another user, an old page without an ACL
  // stays without one, while a first page gets what any new file gets.
  const mode_t previous = umask(022);
  Shell("setfacl -d -m u:daemon:rw " + folder.Path());
  WriteFile(folder / "plain.html", "old");
  ASSERT_EQ(chmod((folder / "plain.html").c_str(), 0600), 0);
  Shell("setfacl -b " + (folder / "plain.html"));
  EXPECT_EQ(Replace(folder.Path(), "plain.html", "new"), "");
  EXPECT_EQ(Replace(folder.Path(), "first.html", "new"), "");
  umask(previous);
  EXPECT_EQ(Attribute(folder / "plain.html", kAcl), "(none)");
  EXPECT_EQ(ModeOf(folder / "plain.html") & 07777, 0600u);
  EXPECT_NE(Attribute(folder / "first.html", kAcl), "(none)");
}

TEST(PageOutputTest, PagesTheUserMayNotWriteStay) {
  const struct {
    const char* name;
    mode_t folder_mode;
    uid_t page_owner;
    mode_t page_mode;
  } cases[] = {
      {"another user's page in an open folder", 0777, 0, 0644},
      {"own read-only page", 0777, kNobody, 0444},
      {"writable page in a folder the user cannot write", 0755, 0, 0666},
  };
  for (const auto& c : cases) {
    const TempFolder scratch;
    const std::string folder = scratch.AddFolder("pub");
    const std::string page = folder + "/page.html";
    WriteFile(page, "old");
    ASSERT_EQ(chown(page.c_str(), c.page_owner, c.page_owner), 0);
    ASSERT_EQ(chmod(page.c_str(), c.page_mode), 0);
    ASSERT_EQ(chmod(folder.c_str(), c.folder_mode), 0);
    ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
    const std::string failure = AsNobody([&] { return Replace(folder, "page.html", "new"); });
    EXPECT_EQ(failure, "Cannot write the page " + page + ": Permission denied") << c.name;
    EXPECT_EQ(ReadFile(page), "old") << c.name;
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"page.html"}) << c.name;
  }
}

// Calls that make the new page under a hidden name, then stop in the middle of writing it until
// the process is ended.
class StopMidWrite final : public SystemCalls {
 public:
  explicit StopMidWrite(int tell_fd) : tell_fd_(tell_fd) {}
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    return SystemCalls::OpenAt(dir, path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, std::size_t size) const override {
    const ssize_t written = SystemCalls::Write(fd, data, size);
    if (::write(tell_fd_, "w", 1) == 1) {
      pause();
    }
    return written;
  }

 private:
  int tell_fd_;
};

// A signal ends a run with no hidden name left. One ignored when the run started (under nohup)
// stays ignored: a SIGTERM sent after it is the one that ends the run, as the earlier signal
// would be taken first had it been handled.
TEST(PageOutputTest, SignalsLeaveNoHiddenNameBehind) {
  const struct {
    int signal_number;
    bool ignored_at_start;
  } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
  for (const auto& c : cases) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old");
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    if (child == 0) {
      if (c.ignored_at_start) {
        signal(c.signal_number, SIG_IGN);
      }
      RemoveTemporaryNamesOnSignals();
      const StopMidWrite calls(pipe_fds[1]);
      Replace(folder.Path(), "page.html", "new", calls);
      _exit(0);
    }
    char told = 0;
    ASSERT_EQ(read(pipe_fds[0], &told, 1), 1);
    EXPECT_EQ(Entries(folder.Path()).size(), 2u);  // the page and the new one's hidden name
    kill(child, c.signal_number);
    if (c.ignored_at_start) {
      kill(child, SIGTERM);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    const int ended_by = c.ignored_at_start ? SIGTERM : c.signal_number;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == ended_by) << c.signal_number;
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << c.signal_number;
    EXPECT_EQ(ReadFile(folder / "page.html"), "old");
  }
}

// Calls under which another run holds the first hidden name tried, and a signal comes right after
// the attempt to take it fails.
class SignalAfterNameTaken final : public SystemCalls {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    if ((flags & O_EXCL) == 0) {
      return SystemCalls::OpenAt(dir, path, flags, mode);
    }
    const int others = SystemCalls::OpenAt(dir, path, flags, mode);  // the other run's
    close(others);
    const int fd = SystemCalls::OpenAt(dir, path, flags, mode);
    raise(SIGTERM);
    return fd;
  }
};

TEST(PageOutputTest, SignalNeverRemovesAnotherRunsHiddenName) {
  const TempFolder folder;
  WriteFile(folder / "page.html", "old");
  const pid_t child = fork();
  if (child == 0) {
    RemoveTemporaryNamesOnSignals();
    Replace(folder.Path(), "page.html", "new", SignalAfterNameTaken());
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  const std::vector<std::string> names = Entries(folder.Path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(IsTemporaryPageName(names[0])) << names[0];  // the other run's, still there
  EXPECT_EQ(ReadFile(folder / "page.html"), "old");
}

}  // namespace
}  // namespace quorvane::platform
