// File ages in DOS time are local time: the same wall clock whatever the time zone, and through
// the changes of daylight time.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

int32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  const uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
  const uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return static_cast<int32_t>((date << 16) | time);
}

// Runs the test under a time zone and puts the old one back.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(AgesTest, WallClockStaysInZonesWithDaylightTime) {
  test_support::TempFolder temp;
  const std::string file = temp.Write("Smith.cht", "chart");
  for (const char* zone : {"UTC0", "Europe/Berlin", "America/New_York", "Australia/Sydney"}) {
    SCOPED_TRACE(zone);
    const TimeZone in(zone);
    // Winter, summer, the hour after a change to summer time and the hour before the change
    // back, where the offset of the first guess is the wrong one.
    for (const int32_t when : {Dos(2003, 1, 15, 8, 30, 0), Dos(2003, 7, 15, 23, 59, 58),
                               Dos(2008, 3, 30, 3, 30, 0), Dos(2008, 10, 26, 1, 30, 0),
                               Dos(2008, 11, 2, 0, 59, 58), Dos(1980, 1, 1, 0, 0, 0)}) {
      ASSERT_TRUE(SetFileAge(file, when));
      EXPECT_EQ(GetFileAge(file), when);
      std::unique_ptr<File> open = File::Open(file, File::Mode::kReadWrite);
      ASSERT_TRUE(open && open->SetAge(when));
      open.reset();
      EXPECT_EQ(GetFileAge(file), when);
    }
  }
}

}  // namespace
}  // namespace platform
