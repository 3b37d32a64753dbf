// quorvane-index.exe as a Windows user runs it: its usage, its pages, its failures and the
// publishing options, with Windows paths.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "windows_tool_runs.h"

namespace {

using quorvane::testing::PagesUnder;
using quorvane::testing::RunTool;
using quorvane::testing::Stamp;
using quorvane::testing::ToolResult;

using quorvane::platform::ToUtf8;
using quorvane::platform::ToWide;
using quorvane::platform::WindowsError;
using quorvane::testing::Contains;
using quorvane::testing::LocalTime;
using quorvane::testing::ReadFile;
using quorvane::testing::SortedLines;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

// `path` with "/" between names made "\".
std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool IsReparsePoint(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Under Wine, runs the Unix program `program` with `arguments` (without spaces: Wine hands them
// on as written, quotes and all) in `folder`, and waits a while for `done`: the handle Wine gives
// for a Unix program may end before the program does.
bool RunUnix(const std::string& folder, const std::wstring& program, const std::wstring& arguments,
             const std::function<bool()>& done) {
  std::wstring command = program + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW((L"Z:\\bin\\" + program).c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, ToWide(folder).c_str(), &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int wait = 0; wait < 100 && !done(); ++wait) {
    Sleep(50);
  }
  return done();
}

// A symbolic link `name` in `folder` to the folder `target` ("../x"), for as long as this lasts:
// made as Windows makes one, where the user may; under Wine, which makes none, as a Unix link,
// which Wine shows as a reparse point.
class FolderLink {
 public:
  FolderLink(const std::string& folder, const std::string& name, const std::string& target)
      : folder_(folder), name_(name), path_(ToWide(folder + "\\" + name)) {
    if (UnderWine()) {
      RunUnix(folder_, L"ln", L"-sT " + ToWide(target) + L" " + ToWide(name_),
              [&] { return IsReparsePoint(path_); });
    } else {
      CreateSymbolicLinkW(
          path_.c_str(), ToWide(Backslashed(target)).c_str(),
          SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    }
  }
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;
  // Wine's own removal would go through the link and remove the folder it leads to.
  ~FolderLink() {
    if (!UnderWine()) {
      RemoveDirectoryW(path_.c_str());
    } else if (IsReparsePoint(path_)) {
      RunUnix(folder_, L"rm", ToWide(name_),
              [&] { return GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }
  }

  bool Made() const { return IsReparsePoint(path_); }

 private:
  std::string folder_;
  std::string name_;
  std::wstring path_;
};

constexpr char kTryHelp[] = "Try 'quorvane-index --help' for more information.\n";

TEST(WindowsToolTest, AnswersHelpVersionAndBadUsageAsOnLinux) {
  const TempFolder scratch;
  const struct {
    std::vector<std::string> arguments;
    DWORD status;
    std::string out_start;
    std::string err;
  } cases[] = {
      {{"--version"}, 0, std::string("quorvane-index (quorvane) ") + QUORVANE_VERSION + "\n", ""},
      {{"--vers"}, 0, "quorvane-index (quorvane) ", ""},
      {{"-h"}, 0, "Usage: quorvane-index [OPTION]... [FOLDER]...\n", ""},
      {{"--bogus"},
       2,
       "",
       std::string("quorvane-index: unrecognized option '--bogus'\n") + kTryHelp},
      {{"-iz"}, 2, "", std::string("quorvane-index: invalid option -- 'z'\n") + kTryHelp},
      {{"--images=yes"},
       2,
       "",
       std::string("quorvane-index: option '--images' doesn't allow an argument\n") + kTryHelp},
      // A device's name, and a name Windows would take its last dot or space off, as Linux
      // refuses /dev/null: nothing is made under such a name.
      {{"-O", "NUL"}, 1, "", "The page @NUL is not a regular file; nothing was written"},
      {{"-nO", "Com1.txt"}, 1, "", "The page @Com1.txt is not a regular file; nothing was written"},
      {{"-O", "page."},
       1,
       "",
       "Cannot write the page @page.: " + WindowsError(ERROR_INVALID_NAME).message()},
  };
  for (auto c : cases) {
    if (c.err.find('@') != std::string::npos) {
      c.err = "quorvane-index: " + c.err.replace(c.err.find('@'), 1, scratch.Path() + "\\") + "\n";
    }
    const ToolResult result = RunTool(scratch.Path(), c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << c.arguments[0];
    EXPECT_EQ(result.err, c.err) << c.arguments[0];
  }
  EXPECT_EQ(quorvane::testing::Entries(scratch.Path()), std::vector<std::string>{});
}

TEST(WindowsToolTest, WritesThePagesOfTheClassicExamples) {
  const TempFolder scratch;
  const std::string photos = scratch.AddFolder("photos");
  scratch.AddFile("photos/sea.jpg", 153600, LocalTime(2002, 8, 21, 23, 25, 18));
  scratch.AddFile("photos/midnight.txt", 10, LocalTime(2002, 8, 21, 0, 0, 0));
  scratch.AddFile("photos/big.zip", 1234 * 1024, LocalTime(2003, 1, 15, 12, 0, 0));
  scratch.AddFile("photos/a#b 100% caf\xC3\xA9.txt", 2048, LocalTime(2002, 8, 21, 23, 25, 18));
  const std::string unicode = scratch.AddFolder("caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC");

  // Folders as given, relative to the working folder, and a name beyond ASCII: each page's path
  // comes out whole, in UTF-8, one to a line.
  const ToolResult result = RunTool(scratch.Path(), {"-i", "photos\\..\\photos", unicode});
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, photos + "\\quorvane_index.html\n" + unicode + "\\quorvane_index.html\n");
  const std::string page = ReadFile(photos + "\\quorvane_index.html");
  for (const std::string& line : std::vector<std::string>{
           "<head><title>" + photos + "\\</title></head>\r\n",
           "<p><a href=\"a%23b 100%25 caf%C3%A9.txt\">a#b 100% caf\xC3\xA9.txt</a> "
           "(8/21/2002 11:25:18 PM, 2k)\r\n",
           std::string("<p><a href=\"big.zip\">big.zip</a> (1/15/2003 12:00:00 PM, 1,234k)\r\n"),
           std::string("<p><a href=\"midnight.txt\">midnight.txt</a> (8/21/2002, 1k)\r\n"),
           std::string("<p><a href=\"sea.jpg\">sea.jpg</a> (8/21/2002 11:25:18 PM, 150k)\r\n"
                       "<br><img src=\"sea.jpg\" border=1>\r\n"),
           std::string("<b>4 object(s) :: 1,387k</b>\r\n"),
       }) {
    EXPECT_NE(page.find(line), std::string::npos) << line;
  }
  // No folder given: the working folder.
  EXPECT_EQ(RunTool(photos, {}).out, photos + "\\quorvane_index.html\n");
}

TEST(WindowsToolTest, ADriveRootAndAFolderOnItAsTheClassicExamplesShowThem) {
  if (std::getenv("QUORVANE_TESTS_OWN_DRIVE_C") == nullptr) {
    GTEST_SKIP() << "pages at the root of drive C: are written only where the tests own it "
                    "(QUORVANE_TESTS_OWN_DRIVE_C, as under wine-run)";
  }
  ASSERT_FALSE(quorvane::testing::Exists("C:\\quorvane_index.html"));
  ASSERT_TRUE(CreateDirectoryW(L"C:\\photos", nullptr));
  const TempFolder scratch;
  const ToolResult result = RunTool(scratch.Path(), {"C:\\", "c:\\photos\\..\\photos"});
  const std::string root = ReadFile("C:\\quorvane_index.html");
  const std::string photos = ReadFile("C:\\photos\\quorvane_index.html");
  quorvane::testing::RemoveFile("C:\\quorvane_index.html");
  quorvane::testing::RemoveFile("C:\\photos\\quorvane_index.html");
  RemoveDirectoryW(L"C:\\photos");
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(result.out, "C:\\quorvane_index.html\nc:\\photos\\quorvane_index.html\n");
  EXPECT_NE(root.find("<head><title>C:\\</title></head>\r\n"), std::string::npos);
  EXPECT_NE(root.find("<b>c:\\ :: "), std::string::npos);
  EXPECT_NE(photos.find("<b>c:\\photos\\ :: "), std::string::npos);
}

TEST(WindowsToolTest, AReadOnlyPageIsKeptAndTheRunExitsOne) {
  const TempFolder scratch;
  const std::string kept = scratch.AddFolder("kept");
  const std::string done = scratch.AddFolder("done");
  const std::string page = kept + "\\quorvane_index.html";
  quorvane::testing::WriteFile(page, "the old page");
  ASSERT_TRUE(SetFileAttributesW(ToWide(page).c_str(), FILE_ATTRIBUTE_READONLY));
  const ToolResult result = RunTool(scratch.Path(), {kept, done, "missing"});
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.out, done + "\\quorvane_index.html\n");
  EXPECT_EQ(result.err, "quorvane-index: Cannot write the page " + page + ": " +
                            WindowsError(ERROR_ACCESS_DENIED).message() +
                            "\nquorvane-index: Cannot read the folder " + scratch.Path() +
                            "\\missing\\: " + WindowsError(ERROR_FILE_NOT_FOUND).message() + "\n");
  EXPECT_EQ(ReadFile(page), "the old page");
  EXPECT_EQ(quorvane::testing::Entries(kept), std::vector<std::string>{"quorvane_index.html"});
  SetFileAttributesW(ToWide(page).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsToolTest, OutputThatCannotBeWrittenIsAFailure) {
  const TempFolder scratch;
  const ToolResult result = RunTool(scratch.Path(), {}, true);
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.err, "quorvane-index: Cannot write the standard output: " +
                            WindowsError(ERROR_ACCESS_DENIED).message() + "\n");
  EXPECT_NE(ReadFile(scratch / "quorvane_index.html"), "");
}

// The same small tree published with the options that choose what goes on the pages, where
// they go and whether they are written at all, as on Linux.
TEST(WindowsToolTest, OptionsChooseWhatIsPublishedAndWhere) {
  quorvane::testing::CheckPublishingOptions(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool(folder, arguments);
      },
      [](const std::string& root) { return PagesUnder(root); });
}

TEST(WindowsToolTest, CleanRemovesOnlyPagesQuorvaneWrote) {
  const auto ours = [](const TempFolder& f) { ASSERT_EQ(RunTool(f.Path(), {"-s"}).status, 0u); };
  const struct {
    const char* name;
    std::function<void(const TempFolder&)> make;  // makes quorvane_index.html in the folder
    const char* kept;   // the file kept and reported, none when the page is removed
    std::string words;  // after its path
  } cases[] = {
      {"a page of ours", ours, nullptr, ""},
      {"a page of someone else's",
       [](const TempFolder& f) { WriteFile(f / "quorvane_index.html", "<html>mine</html>\n"); },
       "quorvane_index.html", " is not a page quorvane wrote; it was kept"},
      {"an empty file", [](const TempFolder& f) { f.AddFile("quorvane_index.html"); },
       "quorvane_index.html", " is not a page quorvane wrote; it was kept"},
      {"a folder", [](const TempFolder& f) { f.AddFolder("quorvane_index.html"); },
       "quorvane_index.html", " is not a page quorvane wrote; it was kept"},
      {"a page of ours under another spelling",
       [](const TempFolder& f) {
         ASSERT_EQ(RunTool(f.Path(), {"-O", "Quorvane_Index.HTML"}).status, 0u);
       },
       "Quorvane_Index.HTML", " is not a page quorvane wrote; it was kept"},
      {"a read-only page of ours",
       [&](const TempFolder& f) {
         ours(f);
         ASSERT_TRUE(SetFileAttributesW(ToWide(f / "quorvane_index.html").c_str(),
                                        FILE_ATTRIBUTE_READONLY));
       },
       "quorvane_index.html", ": " + WindowsError(ERROR_ACCESS_DENIED).message()},
  };
  for (const auto& c : cases) {
    const TempFolder folder;
    folder.AddFile("a.txt");
    c.make(folder);
    const std::vector<std::string> before = quorvane::testing::Entries(folder.Path());
    const std::string page = folder / "quorvane_index.html";
    const ToolResult dry = RunTool(folder.Path(), {"--clean", "--dry-run"});
    EXPECT_EQ(quorvane::testing::Entries(folder.Path()), before) << c.name;
    const ToolResult result = RunTool(folder.Path(), {"--clean"});
    if (c.kept == nullptr) {
      EXPECT_EQ(dry.out, page + "\n") << c.name;
      EXPECT_EQ(result.status, 0u) << c.name << result.err;
      EXPECT_EQ(result.out, page + "\n") << c.name;
      EXPECT_EQ(quorvane::testing::Entries(folder.Path()), std::vector<std::string>{"a.txt"})
          << c.name;
    } else {
      const std::string step = c.words[0] == ':' ? "Cannot remove the page " : "The file ";
      EXPECT_EQ(result.status, 1u) << c.name;
      EXPECT_EQ(result.err, "quorvane-index: " + step + (folder / c.kept) + c.words + "\n")
          << c.name;
      EXPECT_EQ(result.out, "") << c.name;
      EXPECT_EQ(quorvane::testing::Entries(folder.Path()), before) << c.name;
    }
    SetFileAttributesW(ToWide(page).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(WindowsToolTest, UpdateLeavesPagesThatWouldNotChange) {
  quorvane::testing::CheckUpdateLeavesUnchangedPages(
      [](const std::string& folder, const std::vector<std::string>& arguments) {
        return RunTool(folder, arguments);
      },
      Stamp);
}

// A folder another program holds without sharing cannot be entered: said once, and the rest of
// the tree is still done.
TEST(WindowsToolTest, AFolderThatCannotBeEnteredIsReportedOnce) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  const std::string open = scratch.AddFolder("top/open");
  const std::string locked = scratch.AddFolder("top/locked");
  scratch.AddFolder("top/locked/below");
  const HANDLE held = CreateFileW(ToWide(locked).c_str(), FILE_LIST_DIRECTORY, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const ToolResult result = RunTool(scratch.Path(), {"-r", "top"});
  CloseHandle(held);
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.err, "quorvane-index: Cannot read the folder " + locked +
                            "\\: " + WindowsError(ERROR_SHARING_VIOLATION).message() + "\n");
  EXPECT_EQ(SortedLines(result.out), (std::vector<std::string>{open + "\\quorvane_index.html",
                                                               top + "\\quorvane_index.html"}));
}

// Symbolic links and junctions lead elsewhere: a walk never goes through one, and --clean never
// removes one in the page's place.
TEST(WindowsToolTest, LinksToFoldersAreNeitherWalkedNorRemoved) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  const std::string outside = scratch.AddFolder("outside");
  scratch.AddFile("outside/o.txt");
  const FolderLink link(top, "link", "../outside");
  if (!link.Made()) {
    GTEST_SKIP() << "this system makes no symbolic link to a folder here (Windows needs the "
                    "privilege or developer mode)";
  }
  const ToolResult walk = RunTool(scratch.Path(), {"-rs", "top"});
  EXPECT_EQ(walk.status, 0u) << walk.err;
  EXPECT_EQ(walk.out, top + "\\quorvane_index.html\n");
  EXPECT_FALSE(Contains(ReadFile(top + "\\quorvane_index.html"), "link"));

  ASSERT_TRUE(quorvane::testing::RemoveFile(top + "\\quorvane_index.html"));
  const FolderLink page(top, "quorvane_index.html", "../outside");
  ASSERT_TRUE(page.Made());
  const ToolResult clean = RunTool(scratch.Path(), {"--clean", "top"});
  EXPECT_EQ(clean.status, 1u);
  // Wine shows a link to a folder as the folder through a handle of its own.
  EXPECT_EQ(clean.err,
            "quorvane-index: " + (UnderWine() ? "The file " + top +
                                                    "\\quorvane_index.html is not a page quorvane "
                                                    "wrote; it was kept\n"
                                              : "The page " + top +
                                                    "\\quorvane_index.html is a symbolic link; "
                                                    "it was kept\n"));
  EXPECT_TRUE(page.Made());
  EXPECT_EQ(quorvane::testing::Entries(outside), std::vector<std::string>{"o.txt"});
}

// Files written onto a disk by another system may have names Win32 cannot open (a<b, q?), which
// are listed from the folder's listing and linked as Linux links them; and names match patterns
// without regard to case, as Windows compares them.
TEST(WindowsToolTest, NamesAreListedAndMatchedAsWindowsHasThem) {
  const TempFolder scratch;
  const std::string top = scratch.AddFolder("top");
  const std::string odd = scratch.AddFolder("top/odd");
  scratch.AddFile("top/odd/plain.txt", 2048);
  scratch.AddFile("top/odd/A.TMP");
  const bool made = UnderWine() && RunUnix(odd, L"touch", L"a<b q? star*", [&] {
                      return quorvane::testing::Entries(odd).size() == 5;
                    });
  const ToolResult result = RunTool(scratch.Path(), {"-rs", "-x", "*.tmp", "top"});
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SortedLines(result.out), (std::vector<std::string>{odd + "\\quorvane_index.html",
                                                               top + "\\quorvane_index.html"}));
  const std::string page = ReadFile(odd + "\\quorvane_index.html");
  EXPECT_TRUE(Contains(page, "<a href=\"plain.txt\">plain.txt</a>"));
  EXPECT_FALSE(Contains(page, "A.TMP"));
  if (!made) {
    GTEST_SKIP() << "only a disk written by another system holds such names (Wine shows Linux's)";
  }
  for (const std::string entry :
       {"<p><a href=\"a%3Cb\">a&lt;b</a> (", "<p><a href=\"q%3F\">q?</a> (",
        "<p><a href=\"star*\">star*</a> ("}) {
    EXPECT_TRUE(Contains(page, entry)) << entry << "\n" << page;
  }
  EXPECT_TRUE(Contains(page, "<b>4 object(s) :: 5k</b>")) << page;
}

}  // namespace
