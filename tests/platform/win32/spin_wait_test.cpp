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

    // A condition that stays set is polled again and again until the time is up. A thread preempted
    // before its first poll may find the time up there; such a try is repeated too.
    int busyPolls = 0;
    for (int attempt = 0; attempt < 100 && busyPolls < 2; ++attempt) {
        busyPolls = 0;
        const auto start = Clock::now();
        platform::SpinWhile([&] { return ++busyPolls > 0; });
        EXPECT_GE(Clock::now() - start, std::chrono::microseconds(platform::kSpinMicroseconds));
    }
    EXPECT_GT(busyPolls, 1);

    polls = 0;
    platform::SpinWhile([&] {
        polls++;
        return false;
    });
    EXPECT_EQ(polls, 1); // a clear condition is checked once
}

} // namespace
