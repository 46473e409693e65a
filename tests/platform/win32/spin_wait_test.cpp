#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

#include "platform/win32/spin_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

// The wait polls for as long as the condition holds, ends on the first poll that finds it clear, and
// gives up after its time when it stays set, so that the caller goes on to block.
TEST(SpinWhile, EndsWhenTheConditionClearsOrTheTimeIsUp) {
    // The condition holds for three polls. A wait that ends on fewer ran out of time, as it may when
    // the thread is preempted on a busy machine; such a try is repeated.
    int polls = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        polls = 0;
        platform::SpinWhile([&] { return ++polls < 4; });
        if (polls >= 4) break;
    }
    EXPECT_EQ(polls, 4);

    std::atomic<bool> busy{true};
    const auto start = Clock::now();
    platform::SpinWhile([&] { return busy.load(); });
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(platform::kSpinMicroseconds));
    EXPECT_TRUE(busy.load());

    polls = 0;
    platform::SpinWhile([&] {
        polls++;
        return false;
    });
    EXPECT_EQ(polls, 1); // a clear condition is checked once
}

} // namespace
