#include "index/page_text.h"

#include <algorithm>  // std::min
#include <iterator>   // std::size
#include <utility>    // std::exchange

#include "index/html_text.h"

namespace quorvane {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kDateStart = " :: ";
constexpr std::string_view kDateEnd = "</b>\r\n";
constexpr std::string_view kSecondsEnd = " seconds by quorvane ";
constexpr std::string_view kFooterLineStart = "page printed in ";
// The header's line with the date: the fifth.
constexpr std::size_t kDateLine = 4;
constexpr std::size_t kReadSize = 64 * 1024;

// The lines of a page without their line ends: those of the head and of the tail as they are,
// but for the title, the date and the totals, which are "" here.
constexpr std::string_view kHead[] = {"<html>", "", "<body>", "<hr>", "", "<hr>"};
constexpr std::string_view kTail[] = {"<br>&nbsp;", "<hr>",    "",     "<hr>",    "<font size=1>",
                                      "",           "</font>", "<hr>", "</body>", "</html>"};
constexpr std::string_view kTitleStart = "<head><title>";
constexpr std::string_view kTitleEnd = "</title></head>";
constexpr std::string_view kCountEnd = " object(s) :: ";
constexpr std::string_view kUpLink = "<p><a href=\"../quorvane_index.html\">../</a>";
constexpr std::string_view kLinkStart = "<p><a href=\"";
constexpr std::string_view kDownLinkMiddle = "/quorvane_index.html\">";
constexpr std::string_view kDownLinkEnd = "/</a>";
constexpr std::string_view kEntryTextEnd = "</a> (";
constexpr std::string_view kPictureStart = "<br><img src=\"";
constexpr std::string_view kPictureEnd = "\" border=1>";

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

// Whether `text` is `start`, then what `inner` accepts, then `end`.
template <typename Inner>
bool Between(std::string_view text, std::string_view start, std::string_view end, Inner inner) {
  return text.size() >= start.size() + end.size() && StartsWith(text, start) &&
         EndsWith(text, end) &&
         inner(text.substr(start.size(), text.size() - start.size() - end.size()));
}

// Text with no markup of its own: a date, a size, a number.
bool IsPlain(std::string_view text) { return text.find_first_of("<>\"") == std::string_view::npos; }

// Whether `target` and `text` are one name written as the writer writes a link and its text.
bool SameName(std::string_view target, std::string_view text) {
  std::string name;
  if (!DecodeLinkTarget(target, name)) {
    return false;
  }
  std::string written;
  AppendLinkTarget(written, name);
  if (written != target) {
    return false;
  }
  written.clear();
  AppendHtmlText(written, name);
  return written == text;
}

// Whether `text` is text as the writer escapes it: no markup, and each "&" a reference.
bool IsHtmlText(std::string_view text) {
  std::size_t at = 0;
  while ((at = text.find('&', at)) != std::string_view::npos) {
    const std::size_t end = text.find(';', at);
    const std::string_view reference =
        text.substr(at, end == std::string_view::npos ? 0 : end + 1 - at);
    const bool numeric = reference.size() > 3 && reference[1] == '#' &&
                         reference.find_first_not_of("0123456789", 2) == reference.size() - 1;
    if (!numeric && reference != "&amp;" && reference != "&lt;" && reference != "&gt;" &&
        reference != "&quot;") {
      return false;
    }
    at = end;
  }
  return IsPlain(text);
}

// The header's line inside its bold tags: the path, then the date.
bool IsDateLine(std::string_view text) {
  const std::size_t date = text.rfind(kDateStart);
  return date != std::string_view::npos && IsHtmlText(text.substr(0, date)) &&
         IsPlain(text.substr(date));
}

}  // namespace

bool OwnPageLines::Take(std::string_view line) {
  // Every line ends as the writer ends it, and holds no other line end: its names cannot.
  const std::string_view text =
      line.substr(0, line.size() - std::min(line.size(), kLineEnd.size()));
  const bool taken = phase_ != Phase::kOther && EndsWith(line, kLineEnd) &&
                     text.find_first_of("\r\n") == std::string_view::npos && TakeText(text);
  if (!taken) {
    phase_ = Phase::kOther;
  }
  return taken;
}

bool OwnPageLines::TakeText(std::string_view text) {
  switch (phase_) {
    case Phase::kHead:
      return HeadLine(text) && Next(std::size(kHead), Phase::kLinksAndEntries);
    case Phase::kLinksAndEntries:
      if (text != kTail[0]) {
        return LinkOrEntry(text);
      }
      phase_ = Phase::kTail;
      at_ = 1;
      return true;
    case Phase::kTail:
      return TailLine(text) && Next(std::size(kTail), Phase::kEnd);
    default:
      return false;  // nothing follows the end
  }
}

bool OwnPageLines::Next(std::size_t lines, Phase then) {
  if (++at_ == lines) {
    phase_ = then;
    at_ = 0;
  }
  return true;
}

bool OwnPageLines::HeadLine(std::string_view text) const {
  switch (at_) {
    case 1:
      return Between(text, kTitleStart, kTitleEnd, IsHtmlText);
    case 4:
      return Between(text, "<b>", "</b>", IsDateLine);
    default:
      return text == kHead[at_];
  }
}

// The totals count the entries; the footer may name any version and credit.
bool OwnPageLines::TailLine(std::string_view text) const {
  const std::string count = std::to_string(entries_) + std::string(kCountEnd);
  switch (at_) {
    case 2:
      return Between(text, "<b>", "k</b>", [&](std::string_view totals) {
        return StartsWith(totals, count) && IsPlain(totals);
      });
    case 5:
      return StartsWith(text, kFooterLineStart) && text.find(kSecondsEnd) != std::string_view::npos;
    default:
      return text == kTail[at_];
  }
}

// The link up comes first, then those down, then the entries, each picture right after its own.
bool OwnPageLines::LinkOrEntry(std::string_view text) {
  const std::string picture_target = std::exchange(picture_target_, {});
  if (text == kUpLink) {
    return !std::exchange(linked_, true) && entries_ == 0;
  }
  if (StartsWith(text, kPictureStart)) {
    return !picture_target.empty() &&
           text.substr(kPictureStart.size()) == picture_target + std::string(kPictureEnd);
  }
  if (!StartsWith(text, kLinkStart)) {
    return false;
  }
  const std::string_view rest = text.substr(kLinkStart.size());
  const std::size_t down = rest.find(kDownLinkMiddle);
  if (down != std::string_view::npos && EndsWith(rest, kDownLinkEnd)) {
    linked_ = true;
    return entries_ == 0 &&
           SameName(rest.substr(0, down),
                    rest.substr(down + kDownLinkMiddle.size(),
                                rest.size() - down - kDownLinkMiddle.size() - kDownLinkEnd.size()));
  }
  return Entry(rest);
}

// An entry after its link's start: the name twice, then its date and size.
bool OwnPageLines::Entry(std::string_view rest) {
  const std::size_t target_end = rest.find("\">");
  const std::size_t text_end = rest.find(kEntryTextEnd);
  if (target_end == std::string_view::npos || text_end == std::string_view::npos ||
      text_end < target_end) {
    return false;
  }
  const std::string_view target = rest.substr(0, target_end);
  const std::string_view facts = rest.substr(text_end + kEntryTextEnd.size());
  if (!SameName(target, rest.substr(target_end + 2, text_end - target_end - 2)) ||
      !EndsWith(facts, "k)") || facts.find(", ") == std::string_view::npos || !IsPlain(facts)) {
    return false;
  }
  ++entries_;
  picture_target_ = std::string(target);
  return true;
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
