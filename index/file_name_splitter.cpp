#include "index/file_name_splitter.h"

#include <cstdint>  // std::int16_t
#include <limits>   // std::numeric_limits

namespace quorvane {
namespace {

using Position = std::int16_t;  // 1-based, as the positions of the name are counted

// Position arithmetic in 16 bits, as the name's positions are counted: a value that leaves them
// is noted, and is 0 from then on, which ends every search; GetFileExt then fails.
class Positions {
 public:
  Position Checked(long long value) {
    if (value < std::numeric_limits<Position>::min() ||
        value > std::numeric_limits<Position>::max()) {
      overflowed_ = true;
    }
    return overflowed_ ? Position{0} : static_cast<Position>(value);
  }
  bool Overflowed() const { return overflowed_; }

  // The 1-based position of the first byte at or after `from` that `matches`, or 0.
  template <typename Matches>
  Position Find(std::string_view text, long long from, Matches matches) {
    const Position start = Checked(from);
    for (std::size_t i = static_cast<std::size_t>(start) - 1; start != 0 && i < text.size(); ++i) {
      if (matches(text[i])) {
        return Checked(static_cast<long long>(i) + 1);
      }
    }
    return 0;
  }

  // The position after the last byte at or after `from` that `matches`; `none` where none does.
  template <typename Matches>
  Position AfterLast(std::string_view text, Position from, Position none, Matches matches) {
    Position after = none;
    for (Position found = Find(text, from, matches); found != 0;
         found = Find(text, found + 1LL, matches)) {
      after = Checked(found + 1LL);
    }
    return after;
  }

 private:
  bool overflowed_ = false;
};

}  // namespace

platform::Result<std::string> GetFileExt(std::string_view PathIn, std::string& NomeOut,
                                         bool AddPath) {
  Positions positions;
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const auto dot = [](char c) { return c == '.'; };
  Position s = positions.AfterLast(PathIn, 1, 1, separator);
  // One past the last dot is the position after it; the name ends just before that dot.
  const Position length = positions.Checked(static_cast<long long>(PathIn.size()));
  const Position after_dot = positions.AfterLast(PathIn, s, 0, dot);
  const Position e = after_dot == 0 ? length : positions.Checked(after_dot - 2LL);
  if (AddPath) {
    s = 1;
  }
  const Position name_length = positions.Checked(e - s + 1LL);
  const Position extension_start = positions.Checked(e + 2LL);
  if (positions.Overflowed()) {
    return platform::Failure(platform::Step::kNameTooLong, PathIn);
  }
  NomeOut.assign(
      PathIn.substr(static_cast<std::size_t>(s) - 1, static_cast<std::size_t>(name_length)));
  if (static_cast<std::size_t>(extension_start) > PathIn.size()) {
    return std::string();
  }
  return std::string(PathIn.substr(static_cast<std::size_t>(extension_start) - 1));
}

}  // namespace quorvane
