// What the new page carries over from the old one, and pages the user may not write.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/system_file_system.h"
#include "tests/support/posix_probes.h"
#include "tests/support/temp_folder.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::Entries;
using quorvane::testing::kNobody;
using quorvane::testing::ReadFile;
using quorvane::testing::TempFolder;
using quorvane::testing::WriteFile;

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
}  // namespace
}  // namespace quorvane::platform
