#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint64_t
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane {

// Whether `head` (the first bytes of a file, at least its first five lines) and `tail` (its last
// bytes, at least its last six lines) frame a page this program writes: its header's first lines
// and its footer with the closing lines, whatever version or credit the footer names.
bool IsIndexPageFrame(std::string_view head, std::string_view tail);

// Whether a new page, given in pieces as it is made, is the same as the page `old` but for the
// two lines that change with every run: the header's date and time and the footer's seconds.
class PageComparison {
 public:
  explicit PageComparison(const platform::PageReader& old) : old_(old) {}

  // Takes the next piece of the new page. False once the pages are known to differ, or the old
  // page could not be read.
  bool Add(std::string_view piece);
  // Whether the pages are the same, all pieces given; fails (kReadPage) where the old page could
  // not be read.
  platform::Result<bool> Same();

 private:
  bool CompareLine(std::string_view line);
  // The old page's next line, with its line end, if it is no longer than `most`.
  bool NextOldLine(std::size_t most, std::string_view& line);

  const platform::PageReader& old_;
  platform::Result<> read_;  // whether all of the old page asked for could be read
  bool differs_ = false;
  std::size_t line_number_ = 0;
  std::string new_line_;        // the start of a new line not yet complete
  std::string old_buffer_;      // read from the old page, not yet compared
  std::size_t old_used_ = 0;    // how much of old_buffer_ has been compared
  std::uint64_t old_read_ = 0;  // how much of the old page has been read
};

}  // namespace quorvane
