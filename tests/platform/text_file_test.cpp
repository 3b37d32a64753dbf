#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>

#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;

std::vector<std::string> Entries(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void WriteWhole(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs(text.c_str(), file);
  std::fclose(file);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(TextFileTest, EndsEveryLineWithCrLfAndReplacesOnlyWhenClosed) {
  const TempFolder folder;
  const std::string path = folder / "page.html";
  WriteWhole(path, "old page");
  {
    TextFile file(path);
    EXPECT_FALSE(file.InPlace());
    file.WriteLine("<html>");
    file.WriteLine("");
    EXPECT_EQ(ReadFile(path), "old page");
    file.Close();
  }
  EXPECT_EQ(ReadFile(path), "<html>\r\n\r\n");
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"page.html"});
}

TEST(TextFileTest, UnfinishedFileLeavesTheOldOneAndNoStrayFile) {
  const TempFolder folder;
  const std::string path = folder / "page.html";
  WriteWhole(path, "old page");
  {
    TextFile file(path);
    file.WriteLine(std::string(200000, 'x'));  // more than one buffer's worth reaches the disk
  }
  EXPECT_EQ(ReadFile(path), "old page");
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"page.html"});
}

TEST(TextFileTest, NewFileTakesTheUmaskAndAReplacementTheOldMode) {
  const TempFolder folder;
  const mode_t previous = umask(027);
  {
    TextFile fresh(folder / "fresh.html");
    fresh.Close();
  }
  umask(previous);
  EXPECT_EQ(ModeOf(folder / "fresh.html"), 0640u);

  const std::string old = folder / "old.html";
  WriteWhole(old, "x");
  ASSERT_EQ(chmod(old.c_str(), 0604), 0);
  TextFile replacement(old);
  replacement.Close();
  EXPECT_EQ(ModeOf(old), 0604u);
}

TEST(TextFileTest, SymlinkAndHardLinkedPagesAreWrittenInPlace) {
  const TempFolder folder;
  const std::string target = folder / "target.html";
  WriteWhole(target, "old");
  const std::string symlinked = folder / "symlinked.html";
  ASSERT_EQ(symlink("target.html", symlinked.c_str()), 0);
  const std::string other_name = folder / "other-name.html";
  WriteWhole(other_name, "old");
  const std::string hard_linked = folder / "hard-linked.html";
  ASSERT_EQ(link(other_name.c_str(), hard_linked.c_str()), 0);

  for (const auto& [page, seen_through] :
       {std::pair{symlinked, target}, std::pair{hard_linked, other_name}}) {
    TextFile file(page);
    EXPECT_TRUE(file.InPlace()) << page;
    file.WriteLine("new");
    file.Close();
    EXPECT_EQ(ReadFile(seen_through), "new\r\n") << page;
  }
  struct stat st {};
  ASSERT_EQ(lstat(symlinked.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace
}  // namespace quorvane::platform
