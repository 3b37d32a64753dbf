// The regional renderings that every system gives alike.

#include "platform/regional.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tests/support/fakes.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::FailureOf;
using quorvane::testing::RegionalOf;
using quorvane::testing::UsEnglish;

// US English with another locale's separators.
RegionalSettings WithSeparators(const char* group, const char* decimal) {
  RegionalSettings settings = UsEnglish();
  settings.group_separator = group;
  settings.decimal_separator = decimal;
  return settings;
}
RegionalSettings Italian() { return WithSeparators(".", ","); }
RegionalSettings Ungrouped() { return WithSeparators("", "."); }

struct GroupedCase {
  RegionalSettings settings;
  std::int64_t value;
  const char* expected;
};

TEST(RegionalTest, GroupsWholeNumbersInThrees) {
  const GroupedCase cases[] = {
      {UsEnglish(), 0, "0"},
      {UsEnglish(), 999, "999"},
      {UsEnglish(), 1000, "1,000"},
      {UsEnglish(), 1234567, "1,234,567"},
      {UsEnglish(), -1234567, "-1,234,567"},
      {UsEnglish(), std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"},
      {Italian(), 1234567, "1.234.567"},
      {Ungrouped(), 1234567, "1234567"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RegionalOf(c.settings).Grouped(c.value), c.expected) << c.value;
  }
}

struct Fixed2Case {
  RegionalSettings settings;
  double value;
  const char* expected;
};

TEST(RegionalTest, RoundsToTwoDecimalsAndGroups) {
  const Fixed2Case cases[] = {
      {UsEnglish(), 0.0, "0.00"},        {UsEnglish(), 0.05, "0.05"},
      {UsEnglish(), 0.004, "0.00"},      {UsEnglish(), 0.996, "1.00"},
      {UsEnglish(), 1234.5, "1,234.50"}, {UsEnglish(), -2.5, "-2.50"},
      {Italian(), 1234.5, "1.234,50"},   {Ungrouped(), 1234567.891, "1234567.89"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RegionalOf(c.settings).Fixed2(c.value), c.expected) << c.value;
  }
}

TEST(RegionalTest, DateTimeTextShowsTheDateAloneAtMidnight) {
  const Regional us = RegionalOf(UsEnglish());
  EXPECT_EQ(us.DateTimeText(testing::LocalTm(2002, 8, 21, 23, 25, 18)), "8/21/2002 11:25:18 PM");
  EXPECT_EQ(us.DateTimeText(testing::LocalTm(2002, 8, 21, 0, 0, 0)), "8/21/2002");
  EXPECT_EQ(us.DateTimeText(testing::LocalTm(2002, 8, 21, 0, 0, 1)), "8/21/2002 12:00:01 AM");
  EXPECT_EQ(us.DateTimeText(testing::LocalTm(2026, 12, 7, 12, 0, 0)), "12/7/2026 12:00:00 PM");
}

TEST(RegionalTest, LowerCasesEveryLetterOfAUnicodeLocale) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"C:\\Photos\\SEA.JPG", "c:\\photos\\sea.jpg"},
      {"/HOME/\xC3\x89T\xC3\x89", "/home/\xC3\xa9t\xC3\xa9"},
      {"\xCE\xA3\xCE\x9F", "\xCF\x83\xCE\xBF"},  // Greek
      {std::string("A\0B", 3), std::string("a\0b", 3)},
  };
  RegionalSettings settings = UsEnglish();
  settings.locale_name = testing::kUnicodeLocale;
  const Regional regional = RegionalOf(settings);
  for (const auto& c : cases) {
    EXPECT_EQ(regional.Lower(c.text), c.expected) << c.text;
  }
  // A locale the system lacks is a failure, not another locale's rules.
  settings.locale_name = "xx-NOWHERE";
  EXPECT_EQ(FailureOf(Regional::Of(settings)), "The locale xx-NOWHERE is not available");
}

}  // namespace
}  // namespace quorvane::platform
