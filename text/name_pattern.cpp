#include "text/name_pattern.h"

#include <cstddef>  // std::size_t

namespace quorvane::text {
namespace {

// The length and code point of the character at `at`: a UTF-8 sequence, else one byte.
std::size_t CharacterAt(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = static_cast<unsigned char>(text[at]);
  const std::size_t length = byte < 0xC2   ? 1
                             : byte < 0xE0 ? 2
                             : byte < 0xF0 ? 3
                             : byte < 0xF5 ? 4
                                           : 1;
  code = byte;
  if (length == 1 || at + length > text.size()) {
    return 1;
  }
  code = byte & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      code = byte;
      return 1;
    }
    code = (code << 6) | (next & 0x3F);
  }
  return length;
}

// `code` in lower case, where it is an upper-case letter of the alphabets folded: ASCII and
// Latin-1, Greek, Cyrillic.
char32_t Lower(char32_t code) {
  const bool shifts_by_32 =
      (code >= U'A' && code <= U'Z') || (code >= 0xC0 && code <= 0xDE && code != 0xD7) ||
      (code >= 0x391 && code <= 0x3AB && code != 0x3A2) || (code >= 0x410 && code <= 0x42F);
  if (shifts_by_32) {
    return code + 0x20;
  }
  return code >= 0x400 && code < 0x410 ? code + 0x50 : code;
}

bool InClass(std::string_view name, char32_t code) {
  if (code > 0x7F) {
    return false;  // the classes of the ASCII letters, digits and signs only
  }
  const char c = static_cast<char>(code);
  const bool upper = c >= 'A' && c <= 'Z';
  const bool lower = c >= 'a' && c <= 'z';
  const bool digit = c >= '0' && c <= '9';
  const bool space = c == ' ' || (c >= '\t' && c <= '\r');
  if (name == "alpha") return upper || lower;
  if (name == "digit") return digit;
  if (name == "alnum") return upper || lower || digit;
  if (name == "upper") return upper;
  if (name == "lower") return lower;
  if (name == "space") return space;
  if (name == "xdigit") return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  if (name == "punct") return c > ' ' && c < 0x7F && !upper && !lower && !digit;
  return false;
}

// Matches `code` against the set that starts after the "[" at `at`; sets `end` after its "]".
// False with `end` at 0 when the set has no end, and the "[" is a plain character.
bool InSet(std::string_view pattern, std::size_t at, char32_t code, bool fold, std::size_t& end) {
  const bool negated = at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^');
  std::size_t i = negated ? at + 1 : at;
  bool found = false;
  for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
    if (pattern.compare(i, 2, "[:") == 0) {
      const std::size_t close = pattern.find(":]", i + 2);
      if (close != std::string_view::npos) {
        found = found || InClass(pattern.substr(i + 2, close - i - 2), code);
        i = close + 2;
        continue;
      }
    }
    i += pattern[i] == '\\' && i + 1 < pattern.size() ? 1 : 0;
    char32_t low = 0;
    i += CharacterAt(pattern, i, low);
    char32_t high = low;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      i += 1 + (pattern[i + 1] == '\\' && i + 2 < pattern.size() ? 1 : 0);
      i += CharacterAt(pattern, i, high);
    }
    found = found || (low <= code && code <= high) ||
            (fold && Lower(low) <= Lower(code) && Lower(code) <= Lower(high));
  }
  if (i >= pattern.size()) {
    end = 0;
    return false;
  }
  end = i + 1;
  return found != negated;
}

// Whether the one pattern element at `p` matches the character at `n`; moves both past them.
bool MatchOne(std::string_view pattern, std::size_t& p, std::string_view name, std::size_t& n,
              bool fold) {
  char32_t code = 0;
  const std::size_t length = CharacterAt(name, n, code);
  if (pattern[p] == '[') {
    std::size_t end = 0;
    const bool in_set = InSet(pattern, p + 1, code, fold, end);
    if (end != 0) {
      p = end;
      n += length;
      return in_set;
    }
    // Without its "]", a "[" is a character like any other.
  }
  if (pattern[p] == '?') {
    ++p;
    n += length;
    return true;
  }
  p += pattern[p] == '\\' && p + 1 < pattern.size() ? 1 : 0;
  char32_t wanted = 0;
  const std::size_t wanted_length = CharacterAt(pattern, p, wanted);
  const bool same = pattern.substr(p, wanted_length) == name.substr(n, length) ||
                    (fold && Lower(wanted) == Lower(code));
  p += wanted_length;
  n += length;
  return same;
}

}  // namespace

bool MatchesPattern(const std::string& pattern_text, std::string_view name, bool ignore_case) {
  const std::string_view pattern(pattern_text);
  // A leading dot is no wildcard's to match.
  if (!name.empty() && name[0] == '.' && pattern.substr(0, 1) != "." &&
      pattern.substr(0, 2) != "\\.") {
    return false;
  }
  // Backtracking to the last "*" only: each star takes one character more at a time.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_name = n;
    } else if (p < pattern.size() && MatchOne(pattern, p, name, n, ignore_case)) {
      continue;
    } else if (star != std::string_view::npos) {
      char32_t skipped = 0;
      star_name += CharacterAt(name, star_name, skipped);
      p = star;
      n = star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

}  // namespace quorvane::text
