#include <thread>

#include <gtest/gtest.h>

#include "platform/win32/stage_times.h"

namespace {

using platform::Stage;
using platform::StageSeconds;
using platform::StageTimer;

// Burns the calling thread's CPU for about `seconds`.
void Spin(double seconds) {
    const double end = platform::ThreadCpuSeconds() + seconds;
    volatile unsigned sink = 0;
    while (platform::ThreadCpuSeconds() < end) sink = sink + 1;
}

class StageTimes : public ::testing::Test {
protected:
    void TearDown() override { platform::EnableStageTimes(false); }
};

TEST_F(StageTimes, CountOnlyWhileEnabled) {
    platform::EnableStageTimes(false);
    const double before = StageSeconds(Stage::Decode);
    {
        StageTimer timer(Stage::Decode);
        EXPECT_EQ(platform::CurrentStage(), Stage::None);
        Spin(0.02);
    }
    EXPECT_EQ(StageSeconds(Stage::Decode), before);

    platform::EnableStageTimes(true);
    {
        StageTimer timer(Stage::Decode);
        EXPECT_EQ(platform::CurrentStage(), Stage::Decode);
        Spin(0.03);
    }
    EXPECT_EQ(platform::CurrentStage(), Stage::None);
    const double counted = StageSeconds(Stage::Decode) - before;
    EXPECT_GE(counted, 0.03);
    EXPECT_LT(counted, 0.06);
}

// A copy inside the unfold stage stays unfold time; nothing is counted twice, and the CPU time of a
// thread blocked in a timer is not counted (it is CPU time, not wall time).
TEST_F(StageTimes, NestedTimersAndSleepingCountOnce) {
    platform::EnableStageTimes(true);
    const double unfold = StageSeconds(Stage::Unfold), copy = StageSeconds(Stage::Copy);
    const double start = platform::ThreadCpuSeconds();
    {
        StageTimer outer(Stage::Unfold);
        Spin(0.01);
        {
            StageTimer inner(Stage::Copy);
            EXPECT_EQ(platform::CurrentStage(), Stage::Unfold);
            Spin(0.01);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(platform::CurrentStage(), Stage::Unfold);
    }
    const double spent = platform::ThreadCpuSeconds() - start;
    EXPECT_EQ(StageSeconds(Stage::Copy), copy);
    const double counted = StageSeconds(Stage::Unfold) - unfold;
    EXPECT_GE(counted, 0.02);
    EXPECT_LE(counted, spent);
    EXPECT_LT(counted, 0.045);
}

TEST_F(StageTimes, ThreadsCountTheirOwnTime) {
    platform::EnableStageTimes(true);
    const double before = StageSeconds(Stage::Copy);
    std::thread a([] {
        StageTimer timer(Stage::Copy);
        Spin(0.02);
    });
    std::thread b([] {
        StageTimer timer(Stage::Copy);
        Spin(0.02);
    });
    a.join();
    b.join();
    const double counted = StageSeconds(Stage::Copy) - before;
    EXPECT_GE(counted, 0.04);
    EXPECT_LT(counted, 0.08);
}

} // namespace
