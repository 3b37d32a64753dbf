#include "text/name_pattern.h"

#include <gtest/gtest.h>

#include <fnmatch.h>
#include <clocale>
#include <string>

namespace quorvane::text {
namespace {

// The patterns of --exclude match as the C library's fnmatch matches names, in a UTF-8 locale,
// though they are matched the same way on every system.
TEST(NamePatternTest, MatchesAsFnmatchDoes) {
  const char* const previous = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  const char* patterns[] = {
      "*",           "*.txt",     "?.txt",   ".*",           "*~",
      "[abc]*",      "[!a]*",     "[^a]*",   "[a-c]x",       "[]]",
      "[!]]",        "\\*",       "a\\\\",   "[[:digit:]]*", "[[:alpha:]][[:upper:]]",
      "*.[jp][pn]g", "\xC3\xA9?", "?",       "[\xC3\xA9]",   "[a-\xC3\xA9]",
      "[",           "[a",        "a*b*c",   "**",           "*?*",
      "\\.*",        "[.]*",      "x[!b-d]", "*.TXT",        "[A-C]*",
      "\xC3\xA9*",   "\xCF\x83?"};
  const char* names[] = {"a.txt",
                         "b.txt",
                         ".hidden",
                         "x~",
                         "abc",
                         "]",
                         "*",
                         "a\\",
                         "1x",
                         "aB",
                         "photo.jpg",
                         "photo.png",
                         "\xC3\xA9"
                         "a",
                         "\xC3\xA9",
                         "e",
                         "[",
                         "[a",
                         "aXbYc",
                         ".",
                         "..x",
                         "xa",
                         "xe",
                         "\xFF",
                         "A.TXT",
                         "PHOTO.JPG",
                         "\xC3\x89",
                         "\xC3\x89"
                         "a",
                         "\xCE\xA3\xD0\xB6",
                         "\xCF\x83",
                         "AB"};
  // Without regard to case too, as Windows compares names.
  for (const bool ignore_case : {false, true}) {
    const int flags = FNM_PATHNAME | FNM_PERIOD | (ignore_case ? FNM_CASEFOLD : 0);
    for (const char* pattern : patterns) {
      for (const char* name : names) {
        EXPECT_EQ(MatchesPattern(pattern, name, ignore_case), fnmatch(pattern, name, flags) == 0)
            << "pattern " << pattern << ", name " << name << (ignore_case ? ", any case" : "");
      }
    }
  }
  std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace quorvane::text
