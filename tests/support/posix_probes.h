// What the POSIX file system tests share: folders and pages opened and replaced through a seam of
// system calls, and what a page's mode and attributes are.

#pragma once

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/system_calls.h"
#include "platform/system_file_system.h"
#include "tests/support/in_child.h"
#include "tests/support/platform_probes.h"

namespace quorvane::platform {

using quorvane::testing::FailureOf;
using quorvane::testing::Names;
using quorvane::testing::Ok;

inline constexpr char kAcl[] = "system.posix_acl_access";

// The folder at `path`, every call going through `calls`.
inline std::unique_ptr<Folder> Open(const std::string& path,
                                    const SystemCalls& calls = SystemCalls::Real()) {
  return Ok(SystemFileSystem(calls).OpenFolder(path));
}

inline std::vector<std::string> FileNamesOf(const std::string& path) {
  Names sink;
  EXPECT_TRUE(Open(path)->ReadFileNames(sink));
  std::sort(sink.names.begin(), sink.names.end());
  return sink.names;
}

// Replaces `name` in `folder` with a page holding `text`, every call going through `calls`;
// when `sealed`, in the three steps that let many pages wait for the disk once. Returns what
// its failure says, "" for none.
inline std::string Replace(const std::string& folder, const std::string& name,
                           const std::string& text, const SystemCalls& calls = SystemCalls::Real(),
                           bool sealed = false) {
  return FailureOf(testing::ReplacePage(SystemFileSystem(calls), folder, name, text, sealed));
}

// An attribute's value, or "(none)".
inline std::string Attribute(const std::string& path, const char* name) {
  char value[4096];
  const ssize_t size = lgetxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}

inline mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0);
  return st.st_mode;
}

inline void MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

inline void Shell(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Runs `run` in a child process as the user and group nobody (CI runs as root, where permission
// bits stop nothing), and returns what it returned.
inline std::string AsNobody(const std::function<std::string()>& run) {
  return quorvane::testing::InChild(
      [&] { return quorvane::testing::BecomeNobody() ? run() : "cannot become nobody"; });
}

}  // namespace quorvane::platform
