// Folders on Windows: drive roots, \\?\ paths past MAX_PATH, UTF-16 names, and folders named on
// a command line.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/folder_arguments.h"
#include "platform/system_file_system.h"
#include "platform/windows/utf16.h"
#include "platform/windows/win32.h"
#include "tests/support/platform_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::FailureOf;
using quorvane::testing::Names;
using quorvane::testing::Ok;
using quorvane::testing::ReadFile;
using quorvane::testing::ReplacePage;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

TEST(WindowsFolderTest, PathsAreFullWithBackslashesAndDriveRootsKeepTheirOwn) {
  const TempFolder folder;
  const std::string forward = ToUtf8(Ok(FullPath(folder.Path())));
  std::string slashed = forward;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const struct {
    std::string given;
    std::string path;
  } cases[] = {
      {"C:\\", "C:\\"},
      {"c:/", "c:\\"},
      {slashed, forward + "\\"},
      {slashed + "/", forward + "\\"},
      {"\\\\?\\" + forward, "\\\\?\\" + forward + "\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ok(SystemFileSystem().OpenFolder(c.given))->Path(), c.path) << c.given;
  }
  const std::string file = folder.AddFile("file.txt");
  EXPECT_EQ(FailureOf(SystemFileSystem().OpenFolder(file)),
            "Cannot read the folder " + file + ": " + WindowsError(ERROR_DIRECTORY).message());
}

// Going up stops at the root of a drive or a share, however the path is written.
TEST(WindowsFolderTest, AParentIsFoundAboveEveryFolderButARoot) {
  const struct {
    std::wstring path;
    std::wstring parent;
  } cases[] = {
      {L"C:\\", L""},
      {L"C:\\photos\\", L"C:\\"},
      {L"C:\\photos\\2002", L"C:\\photos\\"},
      {L"\\\\server\\share\\", L""},
      {L"\\\\server\\share\\pub\\", L"\\\\server\\share\\"},
      {L"\\\\?\\C:\\", L""},
      {L"\\\\?\\C:\\photos\\", L"\\\\?\\C:\\"},
      {L"\\\\?\\UNC\\server\\share\\", L""},
      {L"\\\\?\\UNC\\server\\share\\pub\\", L"\\\\?\\UNC\\server\\share\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParentOf(c.path), c.parent) << ToUtf8(c.path);
  }
  const auto root = Ok(SystemFileSystem().OpenFolder("C:\\"));
  EXPECT_TRUE(root->HasFile("windows/win.ini"));
  EXPECT_FALSE(root->HasFile("../windows/win.ini"));
  EXPECT_NE(FailureOf(root->OpenParent()), "");
}

// Folders named on a command line are taken as Windows takes them: ".." by the names before it.
TEST(WindowsFolderTest, FolderArgumentsAreFullPathsWithoutAClosingSeparator) {
  const TempFolder folder;
  const std::string sub = folder.AddFolder("sub");
  const std::string full = ToUtf8(Ok(FullPath(folder.Path())));
  ASSERT_TRUE(SetCurrentDirectoryW(Ok(ExtendedPath(sub)).c_str()));
  const struct {
    std::string given;
    std::string absolute;
    std::string resolved;  // as the file system spells it
  } cases[] = {
      {"C:\\", "C:\\", "C:\\"},
      {"c:/", "c:\\", "C:\\"},
      {".", full + "\\sub", full + "\\sub"},
      {"..\\SUB\\", full + "\\SUB", full + "\\sub"},
      {"missing\\..\\..", full, full},
      {sub + "\\.\\", full + "\\sub", full + "\\sub"},
      {"gone", full + "\\sub\\gone", full + "\\sub\\gone"},  // nothing to resolve
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ok(AbsoluteFolder(c.given)), c.absolute) << c.given;
    EXPECT_EQ(Ok(ResolvedFolder(c.given)), c.resolved) << c.given;
  }
  EXPECT_EQ(Ok(WorkingFolder()), full + "\\sub");
  EXPECT_EQ(FailureOf(AbsoluteFolder("")),
            "Cannot read the folder '': " + WindowsError(ERROR_PATH_NOT_FOUND).message());
  SetCurrentDirectoryW(L"C:\\");
}

TEST(WindowsFolderTest, PathsLongerThanMaxPathWorkThroughout) {
  const TempFolder scratch;
  std::string deep = scratch.Path();
  while (deep.size() <= MAX_PATH + 100) {
    deep += "\\" + std::string(50, 'd');
    ASSERT_TRUE(CreateDirectoryW(Ok(ExtendedPath(deep)).c_str(), nullptr)) << deep.size();
  }
  WriteFile(deep + "\\entry.txt", "12345");
  const auto open = Ok(SystemFileSystem().OpenFolder(deep));
  Names names;
  EXPECT_TRUE(open->ReadFileNames(names));
  EXPECT_EQ(names.names, std::vector<std::string>{"entry.txt"});
  EXPECT_EQ(Ok(open->ReadFacts("entry.txt")).length, 5);
  EXPECT_EQ(FailureOf(ReplacePage(SystemFileSystem(), deep, "page.html", "deep page")), "");
  EXPECT_EQ(ReadFile(deep + "\\page.html"), "deep page");
}

TEST(WindowsFolderTest, NamesComeBackAsTheyWereWhateverTheirUtf16) {
  const TempFolder folder;
  const std::wstring names[] = {
      L"caf\u00E9.txt",
      L"\U0001F4F7 camera.png",  // a surrogate pair
      L"\u6771\u4EAC",
  };
  std::vector<std::string> expected;
  for (const std::wstring& name : names) {
    expected.push_back(ToUtf8(name));
    folder.AddFile(expected.back());
    EXPECT_EQ(ToWide(expected.back()), name);
  }
  // A lone surrogate, which some file systems take, is carried as its three UTF-8 bytes.
  EXPECT_EQ(ToUtf8(L"a\xD800z"), "a\xED\xA0\x80z");
  EXPECT_EQ(ToWide("a\xED\xA0\x80z"), L"a\xD800z");
  EXPECT_EQ(ToWide("a\xFF"), L"a\xFFFD");
  Names listed;
  EXPECT_TRUE(Ok(SystemFileSystem().OpenFolder(folder.Path()))->ReadFileNames(listed));
  std::sort(listed.names.begin(), listed.names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed.names, expected);
}

}  // namespace
}  // namespace quorvane::platform
