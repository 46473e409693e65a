// The calendar time of the kernel services.
#include <ctime>

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(SystemTime, IsTheCurrentUtcCalendarTime) {
    const std::time_t before = std::time(nullptr);
    SYSTEMTIME st{};
    GetSystemTime(&st);
    const std::time_t after = std::time(nullptr);
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
