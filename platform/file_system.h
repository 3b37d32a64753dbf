#pragma once

#include <cstdint>  // std::int64_t
#include <ctime>    // std::time_t
#include <string>   // std::string
#include <vector>   // std::vector

namespace quorvane::platform {

struct FileFacts {
  std::int64_t Length = 0;
  std::time_t Modified = 0;
};

// What the engine reads from the file system. Names and paths are the file system's bytes.
// Tests substitute their own to provoke what a real disk cannot.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The names of the entries of `folder` that are not folders, in the order the system gives
  // them: regular files, dot-files, symlinks to files, dangling symlinks, fifos, sockets and
  // devices. Throws Failure when the folder cannot be read.
  virtual std::vector<std::string> FileNames(const std::string& folder) const = 0;

  // Length and last change of the file at `path`: of the target for a symlink, of the link
  // itself when it dangles. Throws Failure when there is no such file.
  virtual FileFacts Facts(const std::string& path) const = 0;
};

class SystemFileSystem final : public FileSystem {
 public:
  std::vector<std::string> FileNames(const std::string& folder) const override;
  FileFacts Facts(const std::string& path) const override;
};

}  // namespace quorvane::platform
