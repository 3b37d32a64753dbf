#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::int64_t, std::uint64_t
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane {

// Tells, a line at a time, whether a file is a page this program writes: every line one the
// writer writes (the header, the links up and down, the entries with their pictures, the totals
// and the footer), in that order, as many entries as the totals count, whatever version or credit
// the footer names. A note typed into a page, or a line taken out of it, makes it another file.
class OwnPageLines {
 public:
  // The next line, with its line end. False once the lines are not the writer's, and from then on.
  bool Take(std::string_view line);
  // Whether the lines taken make a whole page.
  bool Whole() const { return phase_ == Phase::kEnd; }

 private:
  enum class Phase { kHead, kLinksAndEntries, kTail, kEnd, kOther };

  bool TakeText(std::string_view text);
  // Goes on to the next line of `lines`, and to `then` after the last.
  bool Next(std::size_t lines, Phase then);
  bool HeadLine(std::string_view text) const;
  bool TailLine(std::string_view text) const;
  bool LinkOrEntry(std::string_view text);
  bool Entry(std::string_view rest);

  Phase phase_ = Phase::kHead;
  std::size_t at_ = 0;          // the line's place in the head or the tail
  bool linked_ = false;         // whether a link up or down came
  std::int64_t entries_ = 0;    // so far
  std::string picture_target_;  // where the last entry links, while a picture may follow it
};

// Compares a new page with the page `old`, line by line as the new page is made, leaving out the
// two lines that change with every run: the header's date and time and the footer's seconds.
class PageComparison {
 public:
  enum class Match {
    kSame,         // the same bytes
    kSameButTime,  // the date line or the footer, the same but for the date or the seconds
    kDiffers,      // not the same, or the old page could not be read (Read() tells)
  };

  explicit PageComparison(const platform::PageReader& old) : old_(old) {}

  // The next line of the new page, with its line end, against the next line of the old page.
  Match Compare(std::string_view line);
  // Where the old page's line last compared starts.
  std::uint64_t OldLineStart() const { return old_line_start_; }
  // Whether the old page ends where the lines compared end; fails (kReadPage) where it could not
  // be read.
  platform::Result<bool> OldEndsHere();
  // Whether all of the old page asked for could be read, or why not.
  const platform::Result<>& Read() const { return read_; }

 private:
  // The old page's next line, with its line end, if it is no longer than `most`.
  bool NextOldLine(std::size_t most, std::string_view& line);

  const platform::PageReader& old_;
  platform::Result<> read_;
  std::size_t line_number_ = 0;
  std::string old_buffer_;      // read from the old page, not yet compared
  std::size_t old_used_ = 0;    // how much of old_buffer_ has been compared
  std::uint64_t old_read_ = 0;  // how much of the old page has been read
  std::uint64_t old_line_start_ = 0;
};

}  // namespace quorvane
