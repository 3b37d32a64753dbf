// Regional renderings through the C library's locales: strftime formats, and locales that know
// only ASCII or meet bytes that are not characters.

#include <gtest/gtest.h>

#include <string>

#include "platform/regional.h"
#include "tests/support/fakes.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::RegionalOf;

TEST(RegionalPosixTest, DatesAndTimesFollowTheFormatsGiven) {
  const Regional italian = RegionalOf({".", ",", "%d/%m/%Y", "%H:%M:%S", "C"});
  EXPECT_EQ(italian.DateTimeText(testing::LocalTm(2002, 8, 1, 9, 5, 7)), "01/08/2002 09:05:07");
}

TEST(RegionalPosixTest, LowerCasesByTheLocalesCharacterRules) {
  const struct {
    const char* locale;
    std::string text;
    std::string expected;
  } cases[] = {
      {"C", "C:\\Photos\\SEA.JPG", "c:\\photos\\sea.jpg"},
      {"C", "/HOME/\xC3\x89T\xC3\x89", "/home/\xC3\x89t\xC3\x89"},  // C knows ASCII only
      {"C.UTF-8",
       "AB\xFF\xC3"
       "CD",
       "ab\xFF\xC3"
       "cd"},  // stray bytes kept
  };
  for (const auto& c : cases) {
    RegionalSettings settings = testing::UsEnglish();
    settings.locale_name = c.locale;
    EXPECT_EQ(RegionalOf(settings).Lower(c.text), c.expected) << c.locale << " " << c.text;
  }
}

}  // namespace
}  // namespace quorvane::platform
