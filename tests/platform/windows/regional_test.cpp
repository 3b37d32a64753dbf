// Regional formatting on Windows: the user's locale, Windows' own date and time pictures and
// case mapping, and file times shown by the time-zone rules of their own date.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/clock.h"
#include "platform/regional.h"
#include "tests/support/fakes.h"
#include "tests/support/platform_probes.h"

namespace quorvane::platform {
namespace {

using quorvane::testing::LocalTm;
using quorvane::testing::RegionalOf;

TEST(WindowsRegionalTest, TheUsersUsEnglishLocaleAsTheClassicExamplesShowIt) {
  const Regional user = quorvane::testing::Ok(Regional::FromProcessLocale());
  if (user.Settings().locale_name != "en-US") {
    GTEST_SKIP() << "the user's locale is " << user.Settings().locale_name
                 << ", not en-US (wine-run sets it)";
  }
  EXPECT_EQ(user.Settings().date_format, "M/d/yyyy");
  EXPECT_EQ(user.Settings().time_format, "h:mm:ss tt");
  EXPECT_EQ(user.DateTimeText(LocalTm(2002, 8, 21, 23, 25, 18)), "8/21/2002 11:25:18 PM");
  EXPECT_EQ(user.DateTimeText(LocalTm(2002, 8, 21, 0, 0, 0)), "8/21/2002");
  EXPECT_EQ(user.Grouped(1234), "1,234");
  EXPECT_EQ(user.Fixed2(1234.5), "1,234.50");
  EXPECT_EQ(user.Lower("C:\\PHOTOS\\"), "c:\\photos\\");
}

TEST(WindowsRegionalTest, OtherLocalesByTheirWindowsNames) {
  const Regional italian = RegionalOf({".", ",", "dd/MM/yyyy", "HH:mm:ss", "it-IT"});
  EXPECT_EQ(italian.DateTimeText(LocalTm(2002, 8, 1, 9, 5, 7)), "01/08/2002 09:05:07");
  EXPECT_EQ(italian.Grouped(1234567), "1.234.567");
}

// A file's time is shown with the offset its own date had, not today's, as Explorer shows it.
TEST(WindowsRegionalTest, FileTimesTakeTheOffsetOfTheirOwnDate) {
  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  if (zone.Bias != 300 || zone.DaylightBias != -60) {
    GTEST_SKIP() << "the time zone is not US Eastern (wine-run sets TZ=EST5EDT)";
  }
  const Regional us = testing::RegionalOf(testing::UsEnglish());
  DateTimeTexts texts(us);
  std::string out;
  texts.Append(out, 1030001118);  // 2002-08-22 07:25:18 UTC, in summer time
  out += " | ";
  texts.Append(out, 1042650000);  // 2003-01-15 17:00:00 UTC, in standard time
  out += " | ";
  texts.Append(out, 1029988800);  // 2002-08-22 04:00:00 UTC: local midnight
  EXPECT_EQ(out, "8/22/2002 3:25:18 AM | 1/15/2003 12:00:00 PM | 8/22/2002");
  EXPECT_EQ(us.DateTimeText(ToLocalTime(1030001118)), "8/22/2002 3:25:18 AM");
}

}  // namespace
}  // namespace quorvane::platform
