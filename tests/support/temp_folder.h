#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::int64_t
#include <ctime>        // std::time_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace quorvane::testing {

// A new, empty folder for temporary files ($TMPDIR or /tmp; %TEMP% on Windows), removed with all
// it holds when this goes.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  // The folder's path, without a trailing separator.
  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder; a "/" in `name` is the system's separator.
  std::string operator/(std::string_view name) const;

  // Creates or replaces the file `name` holding `size` bytes, last modified at `modified` (a
  // local time, 0 for now). Returns its path.
  std::string AddFile(std::string_view name, std::int64_t size = 0, std::time_t modified = 0) const;
  std::string AddFolder(std::string_view name) const;
  // Makes folders one in the other until the deepest one's path is longer than `length` bytes,
  // each through the one before, as no single call takes such a path; then the empty files
  // `files` in the deepest. Returns its path. POSIX only.
  std::string AddDeepFolder(std::size_t length, const std::vector<std::string>& files = {}) const;

 private:
  std::string path_;
};

// Everything in the file at `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Whether something exists at `path`, following no symlink.
bool Exists(const std::string& path);

// The names in the folder at `path`, sorted by their bytes.
std::vector<std::string> Entries(const std::string& path);

// Replaces the file at `path` by one holding `text`.
void WriteFile(const std::string& path, const std::string& text);

// Removes the file at `path`; false when it cannot.
bool RemoveFile(const std::string& path);

// Renames the file or folder `from` to `to`; false when it cannot.
bool Rename(const std::string& from, const std::string& to);

}  // namespace quorvane::testing
