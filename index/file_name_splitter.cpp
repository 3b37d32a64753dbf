#include "index/file_name_splitter.h"

#include <cstdint>  // std::int16_t
#include <limits>   // std::numeric_limits

namespace quorvane {
namespace {

using platform::Result;

using Position = std::int16_t;  // 1-based, as the positions of the name are counted

// Position arithmetic that leaves 16 bits fails; GetFileExt names the path it happened on.
Result<Position> Checked(long long value) {
  if (value < std::numeric_limits<Position>::min() ||
      value > std::numeric_limits<Position>::max()) {
    return platform::Failure(platform::Step::kNameTooLong, {});
  }
  return static_cast<Position>(value);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsDot(char c) { return c == '.'; }

// The 1-based position of the first byte at or after `from` that `matches`, or 0.
template <typename Matches>
Result<Position> Find(std::string_view text, long long from, Matches matches) {
  QUORVANE_TRY_ASSIGN(const Position start, Checked(from));
  for (std::size_t i = static_cast<std::size_t>(start) - 1; i < text.size(); ++i) {
    if (matches(text[i])) {
      return Checked(static_cast<long long>(i) + 1);
    }
  }
  return Position{0};
}

// The position after the last byte at or after `from` that `matches`; `none` when no byte does.
template <typename Matches>
Result<Position> AfterLast(std::string_view text, Position from, Position none, Matches matches) {
  Position after = none;
  QUORVANE_TRY_ASSIGN(Position found, Find(text, from, matches));
  while (found != 0) {
    QUORVANE_TRY_ASSIGN(after, Checked(found + 1));
    QUORVANE_TRY_ASSIGN(found, Find(text, found + 1LL, matches));
  }
  return after;
}

Result<std::string> Split(std::string_view PathIn, std::string& NomeOut, bool AddPath) {
  QUORVANE_TRY_ASSIGN(Position s, AfterLast(PathIn, 1, 1, IsSeparator));
  QUORVANE_TRY_ASSIGN(const Position length, Checked(static_cast<long long>(PathIn.size())));
  // One past the last dot is the position after it; the name ends just before that dot.
  QUORVANE_TRY_ASSIGN(const Position after_dot, AfterLast(PathIn, s, 0, IsDot));
  QUORVANE_TRY_ASSIGN(const Position e, after_dot == 0 ? Checked(length) : Checked(after_dot - 2));
  if (AddPath) {
    s = 1;
  }
  QUORVANE_TRY_ASSIGN(const Position name_length, Checked(e - s + 1));
  NomeOut.assign(
      PathIn.substr(static_cast<std::size_t>(s) - 1, static_cast<std::size_t>(name_length)));
  QUORVANE_TRY_ASSIGN(const Position extension_start, Checked(e + 2));
  if (static_cast<std::size_t>(extension_start) > PathIn.size()) {
    return std::string();
  }
  return std::string(PathIn.substr(static_cast<std::size_t>(extension_start) - 1));
}

}  // namespace

Result<std::string> GetFileExt(std::string_view PathIn, std::string& NomeOut, bool AddPath) {
  Result<std::string> extension = Split(PathIn, NomeOut, AddPath);
  if (!extension) {
    return platform::Failure(platform::Step::kNameTooLong, PathIn);
  }
  return extension;
}

}  // namespace quorvane
