// Replacing a page, and removing one: each step failing with each error, files that take the
// page's name meanwhile, symlinked pages and other kinds of file in the page's place.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
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

// Each step of removing a page failing with each error: the page stays as it was, under its name,
// and no other name is left.
TEST(PageReaderTest, EveryFailingStepOfARemovalKeepsThePage) {
  using Rule = FailingCalls::Rule;
  const struct {
    Rule rule;
    bool checked;  // by a dry run too
  } steps[] = {
      {{Call::kOpenAt, 0, 1, "page.html", O_WRONLY}, true},  // whether the user may write it
      {{Call::kAccessAt, 0}, true},                          // and take it out of its folder
      {{Call::kRenameNoReplace, 0}, false},                  // taking it aside
      {{Call::kUnlinkAt, 0}, false},                         // removing it, once aside
  };
  for (const auto& step : steps) {
    for (const int error : {EACCES, EPERM, EROFS, EIO}) {
      const TempFolder folder;
      WriteFile(folder / "page.html", "our page");
      const std::string words = Describe({Step::kRemovePage, folder / "page.html", error});
      for (const bool dry_run : {true, false}) {
        FailingCalls calls;
        Rule failing = step.rule;
        failing.error = error;
        calls.Fail(failing);
        const auto open = Open(folder.Path(), calls);
        const auto page = Ok(open->ReadPage("page.html"));
        EXPECT_EQ(FailureOf(dry_run ? page->CheckRemoval() : page->Remove()),
                  dry_run && !step.checked ? "" : words)
            << words << dry_run;
        EXPECT_EQ(ReadFile(folder / "page.html"), "our page") << words;
        EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << words;
      }
    }
  }
}

// Calls under which something happens to the folder just before the page is taken aside, and
// just after.
class RaceAtRemoval final : public FailingCalls {
 public:
  RaceAtRemoval(std::function<void()> before, std::function<void()> after)
      : before_(std::move(before)), after_(std::move(after)) {}
  int RenameNoReplace(int from_dir, const char* from, int to_dir, const char* to) const override {
    const bool aside = IsTemporaryPageName(to);
    if (aside) {
      std::exchange(before_, nullptr)();
    }
    const int moved = FailingCalls::RenameNoReplace(from_dir, from, to_dir, to);
    if (aside && after_) {
      std::exchange(after_, nullptr)();
    }
    return moved;
  }

 private:
  mutable std::function<void()> before_;
  mutable std::function<void()> after_;
};

// What takes the page's name while it is removed, or is written to it, is the user's: kept.
TEST(PageReaderTest, WhatTakesThePagesPlaceMeanwhileIsKept) {
  const TempFolder folder;
  const std::string page = folder / "page.html";
  const std::string changed = "The page " + page + " changed while it was checked; it was kept";
  const struct {
    const char* what;
    std::function<void()> before;  // the page is taken aside
    std::function<void()> after;
    std::string text;  // the page's afterwards
    std::string words;
  } cases[] = {
      {"saved over",
       [&] {
         WriteFile(folder / "saved", "saved");
         ASSERT_TRUE(testing::Rename(folder / "saved", page));
       },
       nullptr, "saved", changed},
      {"a note added", [&] { WriteFile(page, "our page, and a note"); }, nullptr,
       "our page, and a note", changed},
      {"saved beside", [] {}, [&] { WriteFile(page, "new"); }, "new", ""},
  };
  for (const auto& c : cases) {
    WriteFile(page, "our page");
    const RaceAtRemoval calls(c.before, c.after);
    const auto open = Open(folder.Path(), calls);
    EXPECT_EQ(FailureOf(Ok(open->ReadPage("page.html"))->Remove()), c.words) << c.what;
    EXPECT_EQ(ReadFile(page), c.text) << c.what;
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << c.what;
  }
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

// Calls under which the page goes (another run's --clean, a user's rm) once it has been looked at,
// just before it is opened to be replaced.
class PageGoesMeanwhile final : public SystemCalls {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if (std::string_view(path) == "page.html" && (flags & O_WRONLY) != 0 && !gone_) {
      gone_ = true;
      unlinkat(dir, path, 0);
    }
    return SystemCalls::OpenAt(dir, path, flags, mode);
  }

 private:
  mutable bool gone_ = false;
};

TEST(PageOutputTest, APageGoneMeanwhileIsWrittenAsAFirstPage) {
  const TempFolder folder;
  WriteFile(folder / "page.html", "old");
  EXPECT_EQ(Replace(folder.Path(), "page.html", "new", PageGoesMeanwhile()), "");
  EXPECT_EQ(ReadFile(folder / "page.html"), "new");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"});
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

}  // namespace
}  // namespace quorvane::platform
