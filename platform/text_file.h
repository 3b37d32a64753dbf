#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

namespace quorvane::platform {

// A text file written line by line, each line ending in CR LF, that replaces any earlier file of
// its name only once it is complete.
//
// The lines go to a new file beside the target, which Close() renames over it, so a run that
// fails keeps the last good file. Where that cannot be done (the folder refuses the new file, or
// the target is a symlink or has other hard links that must keep seeing the change), the target
// is truncated and written in place. Every failure throws Failure naming the target.
class TextFile {
 public:
  explicit TextFile(std::string path);
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  // Without a Close(): removes the unfinished new file, or leaves a file written in place as far
  // as it got.
  ~TextFile();

  void WriteLine(std::string_view line);

  // Writes what is buffered and puts the file in place.
  void Close();

  // Whether the file is written under its own name rather than through a new one.
  bool InPlace() const { return temp_path_.empty(); }

 private:
  void Flush();

  std::string path_;
  std::string temp_path_;  // empty when writing in place
  std::string buffer_;
  int fd_ = -1;
  bool closed_ = false;
};

}  // namespace quorvane::platform
