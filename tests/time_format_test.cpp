#include "environment/time_format.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "platform/environment.h"
#include "support/fake_services.h"

namespace quill {
namespace {

std::tm EighthOfDecember2026() {
  std::tm time{};
  time.tm_year = 2026 - 1900;
  time.tm_mon = 11;
  time.tm_mday = 8;
  time.tm_hour = 4;
  time.tm_min = 30;
  time.tm_sec = 15;
  time.tm_wday = 2;
  time.tm_yday = 341;
  time.tm_isdst = 0;
  return time;
}

TEST(TimeFormatTest, CalendarTimeWithTheFormatsInUse) {
  const std::tm time = EighthOfDecember2026();
  EXPECT_EQ(FormatCalendarTime(time, "%H%M%S"), "043015");
  EXPECT_EQ(FormatCalendarTime(time, "%m%d_%H"), "1208_04");
  EXPECT_EQ(FormatCalendarTime(time, "%Y/%m/%d %H:%M:%S"), "2026/12/08 04:30:15");
}

TEST(TimeFormatTest, EmptyAndOverlongResultsGiveEmptyText) {
  const std::tm time = EighthOfDecember2026();
  EXPECT_EQ(FormatCalendarTime(time, ""), "");
  EXPECT_EQ(FormatCalendarTime(time, nullptr), "");

  // 254 characters fit; 255 are dropped whole, not cut.
  const std::string fits(254, 'x');
  EXPECT_EQ(FormatCalendarTime(time, fits.c_str()), fits);
  EXPECT_EQ(FormatCalendarTime(time, std::string(255, 'x').c_str()), "");
}

TEST(TimeFormatTest, CalendarTimesInLocalTime) {
  // Seconds do not depend on the time zone: 1'700'000'001 is 21 s past a minute.
  EXPECT_EQ(FormatTime(1'700'000'001, "%S"), "21");
  EXPECT_EQ(FormatTime(1'700'000'001, ""), "");
  // Beyond 2038: mid-2100 is 2100 in every zone.
  EXPECT_EQ(FormatTime(4'118'083'200 - 86'400 * 30, "%Y"), "2100");

  // 400 days before 1970: Windows refuses negative times, POSIX converts them.
  const std::int64_t early = -400LL * 86'400;
  if (platform::kWindows) {
    EXPECT_EQ(FormatTime(early, "%Y"), "");
    EXPECT_EQ(FormatTime(-1, "%Y"), "");
  } else {
    EXPECT_EQ(FormatTime(early, "%Y"), "1968");
  }
}

TEST(TimeFormatTest, LocalTimeReadsTheSystemClock) {
  test::FakeServices fake;
  EXPECT_EQ(FormatLocalTime("%S"), "21");
  fake.Advance(5'000);
  EXPECT_EQ(FormatLocalTime("%S"), "26");
  EXPECT_EQ(FormatLocalTime(""), "");
}

}  // namespace
}  // namespace quill
