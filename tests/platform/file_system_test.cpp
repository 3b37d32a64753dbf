#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>

#include "platform/failure.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::TempFolder;

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

TEST(FileSystemTest, ListsEveryEntryThatIsNotAFolder) {
  const TempFolder folder;
  folder.AddFile("plain.txt");
  folder.AddFile(".hidden");
  folder.AddFile("\xFF\xFEnot-utf8");
  folder.AddFolder("sub");
  folder.AddFolder(".hidden-folder");
  ASSERT_EQ(symlink("plain.txt", (folder / "to-file").c_str()), 0);
  ASSERT_EQ(symlink("sub", (folder / "to-folder").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (folder / "dangling").c_str()), 0);
  ASSERT_EQ(symlink("loop", (folder / "loop").c_str()), 0);
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0);
  MakeSocket(folder / "socket");

  std::vector<std::string> names = SystemFileSystem().FileNames(folder.Path());
  std::sort(names.begin(), names.end());
  const std::vector<std::string> expected = {
      ".hidden", "dangling", "fifo", "loop", "plain.txt", "socket", "to-file", "\xFF\xFEnot-utf8"};
  EXPECT_EQ(names, expected);
}

TEST(FileSystemTest, FactsFollowSymlinksUnlessTheyLeadNowhere) {
  const TempFolder folder;
  const std::time_t when = 1030000000;
  folder.AddFile("data", 5000, when);
  ASSERT_EQ(symlink("data", (folder / "link").c_str()), 0);
  ASSERT_EQ(symlink("no-such-target", (folder / "dangling").c_str()), 0);
  const SystemFileSystem files;

  const FileFacts through_link = files.Facts(folder / "link");
  EXPECT_EQ(through_link.Length, 5000);
  EXPECT_EQ(through_link.Modified, when);
  EXPECT_EQ(files.Facts(folder / "dangling").Length, 14);  // the link's own: its target's name

  try {
    files.Facts(folder / "vanished");
    ADD_FAILURE() << "no failure for a missing file";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.what(), "No such file or directory: " + (folder / "vanished"));
  }
}

}  // namespace
}  // namespace quorvane::platform
