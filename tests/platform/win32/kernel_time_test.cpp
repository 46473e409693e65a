// The calendar time of the kernel services.
#include <ctime>
#include <time.h>

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// The bounds come from the same fine-grained clock: std::time may read a coarse clock that trails it
// by up to a tick, which would put a correct answer a second past the upper bound.
std::time_t Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

TEST(SystemTime, IsTheCurrentUtcCalendarTime) {
    const std::time_t before = Now();
    SYSTEMTIME st{};
    GetSystemTime(&st);
    const std::time_t after = Now();
    std::tm utc{};
    utc.tm_year = st.wYear - 1900;
    utc.tm_mon = st.wMonth - 1;
    utc.tm_mday = st.wDay;
    utc.tm_hour = st.wHour;
    utc.tm_min = st.wMinute;
    utc.tm_sec = st.wSecond;
    const std::time_t seen = timegm(&utc);
    EXPECT_GE(seen, before);
    EXPECT_LE(seen, after);
    EXPECT_EQ(st.wDayOfWeek, utc.tm_wday); // timegm normalised the fields and computed the weekday
    EXPECT_LT(st.wMilliseconds, 1000);
    GetSystemTime(nullptr); // ignored, as a null pointer cannot be written
}

} // namespace
