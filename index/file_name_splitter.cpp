#include "index/file_name_splitter.h"

#include <cstdint>  // std::int16_t
#include <limits>   // std::numeric_limits

namespace quorvane {
namespace {

using Position = std::int16_t;  // 1-based, as the positions of the name are counted

// Position arithmetic that left 16 bits; GetFileExt names the path it happened on.
struct Overflow {};

Position Checked(long long value) {
  if (value < std::numeric_limits<Position>::min() ||
      value > std::numeric_limits<Position>::max()) {
    throw Overflow{};
  }
  return static_cast<Position>(value);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The 1-based position of the first byte at or after `from` that `matches`, or 0.
template <typename Matches>
Position Find(std::string_view text, Position from, Matches matches) {
  for (std::size_t i = static_cast<std::size_t>(from) - 1; i < text.size(); ++i) {
    if (matches(text[i])) {
      return Checked(static_cast<long long>(i) + 1);
    }
  }
  return 0;
}

std::string Split(std::string_view PathIn, std::string& NomeOut, bool AddPath) {
  Position s = 1;
  for (Position p = Find(PathIn, 1, IsSeparator); p != 0;
       p = Find(PathIn, Checked(p + 1), IsSeparator)) {
    s = Checked(p + 1);
  }

  Position e = Checked(static_cast<long long>(PathIn.size()));
  const auto is_dot = [](char c) { return c == '.'; };
  for (Position q = Find(PathIn, s, is_dot); q != 0; q = Find(PathIn, Checked(q + 1), is_dot)) {
    e = Checked(q - 1);
  }

  if (AddPath) {
    s = 1;
  }
  const Position name_length = Checked(e - s + 1);
  NomeOut.assign(
      PathIn.substr(static_cast<std::size_t>(s) - 1, static_cast<std::size_t>(name_length)));

  const Position extension_start = Checked(e + 2);
  if (static_cast<std::size_t>(extension_start) > PathIn.size()) {
    return {};
  }
  return std::string(PathIn.substr(static_cast<std::size_t>(extension_start) - 1));
}

}  // namespace

platform::Result<std::string> GetFileExt(std::string_view PathIn, std::string& NomeOut,
                                         bool AddPath) {
  try {
    return Split(PathIn, NomeOut, AddPath);
  } catch (const Overflow&) {
    return platform::Failure(platform::Step::kNameTooLong, PathIn);
  }
}

}  // namespace quorvane
