// Pages on Windows: what may be replaced or removed (read-only pages, links, junctions, names that
// differ in case, files that appear meanwhile), replacements that fail half-way, the hidden name
// and the console's events.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/system_file_system.h"
#include "platform/temporary_names.h"
#include "platform/windows/win32.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/windows/failing_calls.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Call;
using quorvane::testing::Entries;
using quorvane::testing::FailingCalls;
using quorvane::testing::FailureOf;
using quorvane::testing::Ok;
using quorvane::testing::ReadFile;
using quorvane::testing::ReplacePage;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

// Reads the first byte of the page "page.html" of `folder`, then removes it.
Result<> ReadAndRemove(const Folder& folder) {
  Result<std::unique_ptr<PageReader>> page = folder.ReadPage("page.html");
  if (!page) {
    return page.Error();
  }
  char byte = 0;
  Result<std::size_t> read = (*page)->ReadAt(0, &byte, 1);
  return read ? (*page)->Remove() : read.Error();
}

DWORD AttributesOf(const std::string& path) {
  return GetFileAttributesW(Ok(ExtendedPath(path)).c_str());
}

// Windows' own calls, but `make` puts something in the page's place just before a first page
// moves in.
class AppearsMeanwhile final : public FailingCalls {
 public:
  explicit AppearsMeanwhile(std::function<void()> make) : make_(std::move(make)) {}
  BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) const override {
    if (make_) {
      std::exchange(make_, nullptr)();
    }
    return FailingCalls::Move(from, to, flags);
  }

 private:
  mutable std::function<void()> make_;
};

// What is in the page's place is checked as an old page, whether it was there from the start or
// took the name while a first page was written; only a file the user may write is replaced.
TEST(WindowsPageTest, PagesThatMayNotBeReplacedAreRefusedAndKept) {
  const struct {
    const char* name;  // what is in the page's place
    std::function<void(const std::string&)> make;
    std::string words;  // "" where it is replaced
  } cases[] = {
      {"page.html",
       [](const std::string& path) {
         WriteFile(path, "kept");
         SetFileAttributesW(Ok(ExtendedPath(path)).c_str(), FILE_ATTRIBUTE_READONLY);
       },
       "Cannot write the page %: " + WindowsError(ERROR_ACCESS_DENIED).message()},
      {"page.html",
       [&](const std::string& path) { CreateDirectoryW(Ok(ExtendedPath(path)).c_str(), nullptr); },
       "The page % is not a regular file; nothing was written"},
      {"PAGE.HTML", [](const std::string& path) { WriteFile(path, "kept"); },
       "The page would replace %, whose name differs from the page's only in letter case, which "
       "this file system does not tell apart; nothing was written"},
      {"page.html", [](const std::string& path) { WriteFile(path, "theirs"); }, ""},
  };
  for (const bool meanwhile : {false, true}) {
    for (const auto& c : cases) {
      const TempFolder scratch;
      const std::string path = scratch / c.name;
      const AppearsMeanwhile calls(meanwhile ? std::function<void()>([&] { c.make(path); })
                                             : nullptr);
      if (!meanwhile) {
        c.make(path);
      }
      std::string words = c.words;
      if (!words.empty()) {
        words.replace(words.find('%'), 1, path);
      }
      EXPECT_EQ(FailureOf(ReplacePage(SystemFileSystem(calls), scratch.Path(), "page.html", "new")),
                words)
          << meanwhile;
      EXPECT_EQ(Entries(scratch.Path()), std::vector<std::string>{c.name}) << words;
      const bool folder = (AttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
      EXPECT_EQ(ReadFile(path), words.empty() ? "new" : folder ? "" : "kept") << words;
      SetFileAttributesW(Ok(ExtendedPath(path)).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
}

// Windows' own calls, but the page shows as a reparse point, as a symbolic link or a junction
// does (Wine makes neither).
class ReparsePointPage final : public FailingCalls {
 public:
  BOOL Information(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) const override {
    const BOOL done = SystemCalls::Information(file, information);
    information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return done;
  }
};

TEST(WindowsPageTest, APageThatIsALinkOrJunctionIsRefusedAndKept) {
  const TempFolder folder;
  WriteFile(folder / "page.html", "old page");
  const ReparsePointPage calls;
  const SystemFileSystem files(calls);
  EXPECT_EQ(FailureOf(ReplacePage(files, folder.Path(), "page.html", "new")),
            "The page " + (folder / "page.html") +
                " is a symbolic link or junction; nothing was written");
  EXPECT_EQ(ReadFile(folder / "page.html"), "old page");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"});
}

TEST(WindowsPageTest, ARealSymbolicLinkInThePagesPlaceIsRefused) {
  const TempFolder folder;
  WriteFile(folder / "target.html", "target");
  const TempFolder linked;
  const DWORD made = CreateSymbolicLinkW(Ok(ExtendedPath(linked / "page.html")).c_str(),
                                         Ok(ExtendedPath(folder / "target.html")).c_str(), 0)
                         ? AttributesOf(linked / "page.html")
                         : INVALID_FILE_ATTRIBUTES;
  if (made == INVALID_FILE_ATTRIBUTES || (made & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    GTEST_SKIP() << "this system makes no symbolic links here (Wine does not; Windows needs the "
                    "privilege or developer mode)";
  }
  EXPECT_EQ(FailureOf(ReplacePage(SystemFileSystem(), linked.Path(), "page.html", "new")),
            "The page " + (linked / "page.html") +
                " is a symbolic link or junction; nothing was written");
  EXPECT_EQ(ReadFile(folder / "target.html"), "target");
}

// A page is removed by the rules it is replaced by; anything else in its place is kept.
TEST(WindowsPageTest, PagesThatMayNotBeRemovedAreKept) {
  const struct {
    const char* name;  // of the file in the page's place
    bool read_only;
    std::function<std::unique_ptr<FailingCalls>()> calls;
    std::string words;
  } cases[] = {
      {"page.html", true, [] { return std::make_unique<FailingCalls>(); },
       "Cannot remove the page %: " + WindowsError(ERROR_ACCESS_DENIED).message()},
      {"page.html", false, [] { return std::make_unique<ReparsePointPage>(); },
       "The page % is a symbolic link or junction; nothing was written"},
      {"Page.HTML", false, [] { return std::make_unique<FailingCalls>(); },
       "The file % is not a page quorvane wrote; it was kept"},
      {"page.html", false,
       [] {
         auto calls = std::make_unique<FailingCalls>();
         calls->Fail({Call::kMarkForDeletion, ERROR_SHARING_VIOLATION});
         return calls;
       },
       "Cannot remove the page %: " + WindowsError(ERROR_SHARING_VIOLATION).message()},
      {"page.html", false,
       [] {
         auto calls = std::make_unique<FailingCalls>();
         calls->Fail({Call::kRead, ERROR_IO_DEVICE});
         return calls;
       },
       "Cannot read the page %: " + WindowsError(ERROR_IO_DEVICE).message()},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    const std::string path = folder / c.name;
    WriteFile(path, "kept");
    if (c.read_only) {
      SetFileAttributesW(Ok(ExtendedPath(path)).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    const auto calls = c.calls();
    const auto open = Ok(SystemFileSystem(*calls).OpenFolder(folder.Path()));
    std::string words = c.words;
    words.replace(words.find('%'), 1, path);
    EXPECT_EQ(FailureOf(ReadAndRemove(*open)), words);
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{c.name});
    EXPECT_EQ(ReadFile(path), "kept") << words;
    SetFileAttributesW(Ok(ExtendedPath(path)).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// Windows' own calls, but ReplaceFileW stops half-way where asked: the old page moved to the
// backup name, the new one not moved in, as it does when something holds the page's name.
class HalfWayReplace final : public FailingCalls {
 public:
  explicit HalfWayReplace(bool half_way) : half_way_(half_way) {}
  BOOL Replace(const wchar_t* replaced, const wchar_t* replacement,
               const wchar_t* backup) const override {
    if (!half_way_) {
      return FailingCalls::Replace(replaced, replacement, backup);
    }
    MoveFileExW(replaced, backup, 0);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
  }

 private:
  bool half_way_;
};

// The old page, moved aside under a hidden name on the way, is put back where the replacement
// stops half-way, and removed once the new page is in place; where neither can be done, the
// failure says where the old page now is.
TEST(WindowsPageTest, AnOldPageMovedAsideIsPutBackOrRemovedOrSaidWhereItIs) {
  const struct {
    bool half_way;
    Call fails;  // with ERROR_ACCESS_DENIED, where it is not kRead
    const char* page;
  } cases[] = {
      {true, Call::kRead, "old page"},
      {true, Call::kMove, nullptr},  // putting it back
      {false, Call::kDelete, "new"},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old page");
    HalfWayReplace calls(c.half_way);
    if (c.fails != Call::kRead) {
      calls.Fail({c.fails, ERROR_ACCESS_DENIED});
    }
    const std::string words =
        FailureOf(ReplacePage(SystemFileSystem(calls), folder.Path(), "page.html", "new"));
    std::vector<std::string> names = Entries(folder.Path());
    if (c.fails == Call::kRead) {
      EXPECT_EQ(words, "Cannot write the page " + (folder / "page.html") + ": " +
                           WindowsError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2).message());
    } else {
      ASSERT_TRUE(!names.empty() && IsTemporaryPageName(names[0])) << words;
      EXPECT_EQ(words, Describe({Step::kOldPageLeft, folder / names[0],
                                 WindowsError(ERROR_ACCESS_DENIED)}));
      EXPECT_EQ(ReadFile(folder / names[0]), "old page");
      names.erase(names.begin());
    }
    EXPECT_EQ(names, c.page != nullptr ? std::vector<std::string>{"page.html"}
                                       : std::vector<std::string>{})
        << words;
    EXPECT_EQ(ReadFile(folder / "page.html"), c.page != nullptr ? c.page : "") << words;
  }
}

// Windows' own calls, noting the order of those that end a page and put it in place.
class NotingOrder final : public FailingCalls {
 public:
  BOOL Flush(HANDLE file) const override {
    order += " flush";
    return FailingCalls::Flush(file);
  }
  BOOL Replace(const wchar_t* replaced, const wchar_t* replacement,
               const wchar_t* backup) const override {
    order += " replace";
    return FailingCalls::Replace(replaced, replacement, backup);
  }
  BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) const override {
    order += " move";
    return FailingCalls::Move(from, to, flags);
  }
  mutable std::string order;
};

// Or a crash could leave an empty page in its place.
TEST(WindowsPageTest, ThePageIsOnTheDiskBeforeItTakesThePagesName) {
  for (const bool sealed : {false, true}) {
    const TempFolder folder;
    for (const char* expected : {" flush move", " flush replace"}) {
      const NotingOrder calls;
      EXPECT_TRUE(ReplacePage(SystemFileSystem(calls), folder.Path(), "page.html", "new", sealed));
      EXPECT_EQ(calls.order, expected) << sealed;
    }
  }
}

TEST(WindowsPageTest, TheNewPageIsHiddenUntilItTakesThePlaceOfTheOld) {
  const TempFolder folder;
  const std::string page = folder / "page.html";
  ASSERT_TRUE(ReplacePage(SystemFileSystem(), folder.Path(), "page.html", "first"));
  EXPECT_EQ(AttributesOf(page) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);

  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  const auto output = Ok(open->CreatePage("page.html"));
  ASSERT_TRUE(output->Write("second"));
  const std::vector<std::string> names = Entries(folder.Path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(IsTemporaryPageName(names[0])) << names[0];
  EXPECT_NE(AttributesOf(folder / names[0]) & FILE_ATTRIBUTE_HIDDEN, 0u);
  ASSERT_TRUE(output->Commit());
  EXPECT_EQ(ReadFile(page), "second");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"});
}

TEST(WindowsPageTest, APageTheUserHidStaysHidden) {
  const TempFolder folder;
  const std::string page = folder / "page.html";
  WriteFile(page, "first");
  if (!SetFileAttributesW(Ok(ExtendedPath(page)).c_str(), FILE_ATTRIBUTE_HIDDEN) ||
      (AttributesOf(page) & FILE_ATTRIBUTE_HIDDEN) == 0) {
    GTEST_SKIP() << "this file system keeps no hidden attribute (Wine keeps it in an extended "
                    "attribute, which not every file system has)";
  }
  ASSERT_TRUE(ReplacePage(SystemFileSystem(), folder.Path(), "page.html", "second"));
  EXPECT_EQ(ReadFile(page), "second");
  EXPECT_NE(AttributesOf(page) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

// What Ctrl+C, Ctrl+Break and closing the console do before the program ends, while the page is
// written or, sealed, waits to be placed.
TEST(WindowsPageTest, ConsoleEventsLeaveNoHiddenNameBehind) {
  for (const bool sealed : {false, true}) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old page");
    auto page = Ok(Ok(SystemFileSystem().OpenFolder(folder.Path()))->CreatePage("page.html"));
    ASSERT_TRUE(page->Write("half a page"));
    ASSERT_TRUE(!sealed || page->Seal());
    ASSERT_EQ(Entries(folder.Path()).size(), 2u);
    RemoveHeldNames();
    page.reset();
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << sealed;
    EXPECT_EQ(ReadFile(folder / "page.html"), "old page");
  }
}

// What a run killed outright left is removed by the next run over the folder; what a live run
// holds, written or sealed, and whatever else has such a name, stays.
TEST(WindowsPageTest, TheNextRunRemovesOnlyWhatAKilledRunLeft) {
  const TempFolder folder;
  WriteFile(folder / "page.html", "old page");
  WriteFile(folder / ".quorvane_index.html.Killed12", "left");
  folder.AddFolder(".quorvane_index.html.Folder12");
  const auto open = Ok(SystemFileSystem().OpenFolder(folder.Path()));
  auto writing = Ok(open->CreatePage("page.html"));
  ASSERT_TRUE(writing->Write("writing"));
  auto sealed = Ok(open->CreatePage("page.html"));
  ASSERT_TRUE(sealed->Write("sealed") && sealed->Seal());
  ASSERT_EQ(Entries(folder.Path()).size(), 5u);
  // Unlisted, the folder is listed for it first.
  Ok(SystemFileSystem().OpenFolder(folder.Path()))->RemoveLeftovers();
  std::vector<std::string> names = Entries(folder.Path());
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".quorvane_index.html.Killed12"), 0);
  EXPECT_TRUE(sealed->Place());
  EXPECT_TRUE(writing->Commit());
  EXPECT_EQ(ReadFile(folder / "page.html"), "writing");
  EXPECT_EQ(Entries(folder.Path()),
            (std::vector<std::string>{".quorvane_index.html.Folder12", "page.html"}));
}

// Windows' own calls, but another run holds the first hidden name tried, and a console event
// comes right after the attempt to take it fails.
class EventAfterNameTaken final : public FailingCalls {
 public:
  HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
              DWORD flags) const override {
    if (disposition != CREATE_NEW || taken_) {
      return FailingCalls::Open(path, access, share, disposition, flags);
    }
    taken_ = true;
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const HANDLE file = FailingCalls::Open(path, access, share, disposition, flags);
    const DWORD error = GetLastError();
    RemoveHeldNames();
    SetLastError(error);
    return file;
  }

 private:
  mutable bool taken_ = false;
};

TEST(WindowsPageTest, AConsoleEventNeverRemovesAnotherRunsHiddenName) {
  const TempFolder folder;
  WriteFile(folder / "page.html", "old page");
  const EventAfterNameTaken calls;
  EXPECT_TRUE(ReplacePage(SystemFileSystem(calls), folder.Path(), "page.html", "new"));
  const std::vector<std::string> names = Entries(folder.Path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(IsTemporaryPageName(names[0])) << names[0];  // the other run's, still there
  EXPECT_EQ(ReadFile(folder / "page.html"), "new");
}

TEST(WindowsPageTest, EveryFailingCallKeepsTheOldPageAndLeavesNoName) {
  const struct {
    FailingCalls::Rule rule;
  } cases[] = {
      {{Call::kOpen, ERROR_SHARING_VIOLATION, 1, L"page.html"}},
      {{Call::kInformation, ERROR_IO_DEVICE, 2}},
      {{Call::kOpen, ERROR_ACCESS_DENIED, 2, L"page.html"}},
      {{Call::kWrite, ERROR_DISK_FULL}},
      {{Call::kSetAttributes, ERROR_ACCESS_DENIED}},
      {{Call::kFlush, ERROR_IO_DEVICE}},
      {{Call::kReplace, ERROR_UNABLE_TO_REMOVE_REPLACED}},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    WriteFile(folder / "page.html", "old page");
    FailingCalls calls;
    calls.Fail(c.rule);
    const std::string words =
        FailureOf(ReplacePage(SystemFileSystem(calls), folder.Path(), "page.html", "new"));
    EXPECT_EQ(words, "Cannot write the page " + (folder / "page.html") + ": " +
                         WindowsError(c.rule.error).message());
    EXPECT_EQ(ReadFile(folder / "page.html"), "old page") << words;
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"page.html"}) << words;
  }
}

}  // namespace
}  // namespace quorvane::platform
