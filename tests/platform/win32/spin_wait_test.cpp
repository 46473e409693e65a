#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/win32/spin_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

// The wait ends once another thread clears the condition, and gives up after its time when nobody
// does, so that the caller goes on to block.
TEST(SpinWhile, EndsWhenTheConditionClearsOrTheTimeIsUp) {
    std::atomic<bool> busy{true};
    std::atomic<int> polls{0};
    std::thread clearer([&] { busy = false; });
    platform::SpinWhile([&] {
        polls++;
        return busy.load();
    });
    clearer.join();
    EXPECT_GE(polls.load(), 1);

    busy = true;
    const auto start = Clock::now();
    platform::SpinWhile([&] { return busy.load(); });
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(platform::kSpinMicroseconds));
    EXPECT_TRUE(busy.load());

    polls = 0;
    platform::SpinWhile([&] {
        polls++;
        return false;
    });
    EXPECT_EQ(polls.load(), 1); // a clear condition is checked once
}

} // namespace
