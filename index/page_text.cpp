#include "index/page_text.h"

#include <algorithm>  // std::min

namespace quorvane {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadStart = "<html>\r\n<head><title>";
constexpr std::string_view kHeadRest = "</title></head>\r\n<body>\r\n<hr>\r\n<b>";
constexpr std::string_view kFooterStart = "<font size=1>\r\npage printed in ";
constexpr std::string_view kSecondsEnd = " seconds by quorvane ";
constexpr std::string_view kClosing = "</font>\r\n<hr>\r\n</body>\r\n</html>\r\n";
constexpr std::string_view kDateStart = " :: ";
constexpr std::string_view kDateEnd = "</b>\r\n";
constexpr std::string_view kFooterLineStart = "page printed in ";
// The header's line with the date: the fifth.
constexpr std::size_t kDateLine = 4;
constexpr std::size_t kReadSize = 64 * 1024;

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// The header's line with the date: the two must be the same up to the date, and both end the
// line as the header does. The path before it may hold " :: " itself, the date never.
bool SameBeforeDate(std::string_view a, std::string_view b) {
  const std::size_t a_date = a.rfind(kDateStart);
  const std::size_t b_date = b.rfind(kDateStart);
  return a_date != std::string_view::npos && a_date == b_date &&
         a.substr(0, a_date) == b.substr(0, b_date) && EndsWith(a, kDateEnd) &&
         EndsWith(b, kDateEnd);
}

// The footer's line: the same but for the seconds.
bool SameAfterSeconds(std::string_view a, std::string_view b) {
  const std::size_t a_end = a.find(kSecondsEnd, kFooterLineStart.size());
  const std::size_t b_end = b.find(kSecondsEnd, kFooterLineStart.size());
  return a_end != std::string_view::npos && b_end != std::string_view::npos &&
         a.substr(a_end) == b.substr(b_end);
}

}  // namespace

bool IsIndexPageFrame(std::string_view head, std::string_view tail) {
  // The title holds no line end of its own: its control characters are written as references.
  const std::size_t title_line_end = head.find(kLineEnd, kHeadStart.size());
  const std::size_t title_end = kHeadRest.find(kLineEnd);
  if (!StartsWith(head, kHeadStart) || title_line_end == std::string_view::npos ||
      title_line_end < kHeadStart.size() + title_end ||
      head.substr(title_line_end - title_end, kHeadRest.size()) != kHeadRest) {
    return false;
  }
  const std::size_t footer = tail.rfind(kFooterStart);
  if (!EndsWith(tail, kClosing) || footer == std::string_view::npos ||
      footer + kFooterStart.size() > tail.size() - kClosing.size()) {
    return false;
  }
  const std::string_view footer_line = tail.substr(
      footer + kFooterStart.size(), tail.size() - kClosing.size() - footer - kFooterStart.size());
  return footer_line.find(kLineEnd) + kLineEnd.size() == footer_line.size() &&
         footer_line.find(kSecondsEnd) != std::string_view::npos;
}

PageComparison::Match PageComparison::Compare(std::string_view line) {
  const std::size_t number = line_number_++;
  const bool footer = StartsWith(line, kFooterLineStart);
  // The two varying lines may differ in length, a little: a date, a number of seconds.
  const std::size_t most = line.size() + (number == kDateLine || footer ? 256 : 0);
  old_line_start_ = old_read_ - (old_buffer_.size() - old_used_);
  std::string_view old_line;
  if (!NextOldLine(most, old_line)) {
    return Match::kDiffers;
  }
  if (line == old_line) {
    return Match::kSame;
  }
  const bool same = number == kDateLine ? SameBeforeDate(line, old_line)
                    : footer && StartsWith(old_line, kFooterLineStart)
                        ? SameAfterSeconds(line, old_line)
                        : false;
  return same ? Match::kSameButTime : Match::kDiffers;
}

platform::Result<bool> PageComparison::OldEndsHere() {
  QUORVANE_TRY(read_);
  if (old_used_ != old_buffer_.size()) {
    return false;
  }
  char more = 0;
  QUORVANE_TRY_ASSIGN(const std::size_t after, old_.ReadAt(old_read_, &more, 1));
  return after == 0;
}

bool PageComparison::NextOldLine(std::size_t most, std::string_view& line) {
  for (;;) {
    const std::size_t end = old_buffer_.find('\n', old_used_);
    if (end != std::string::npos && end + 1 - old_used_ <= most) {
      line = std::string_view(old_buffer_).substr(old_used_, end + 1 - old_used_);
      old_used_ = end + 1;
      return true;
    }
    if (end != std::string::npos || old_buffer_.size() - old_used_ >= most) {
      return false;  // longer than a line that could match
    }
    old_buffer_.erase(0, old_used_);
    old_used_ = 0;
    const std::size_t had = old_buffer_.size();
    old_buffer_.resize(had + kReadSize);
    const platform::Result<std::size_t> read =
        old_.ReadAt(old_read_, old_buffer_.data() + had, kReadSize);
    if (!read) {
      read_ = read.Error();
      old_buffer_.resize(had);
      return false;
    }
    const std::size_t got = *read;
    old_buffer_.resize(had + got);
    old_read_ += got;
    if (got == 0) {
      return false;
    }
  }
}

}  // namespace quorvane
