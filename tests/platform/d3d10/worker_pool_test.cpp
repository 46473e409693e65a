#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/worker_pool.h"
#include "platform/win32/stage_times.h"

namespace {

using platform::Stage;

void Spin(double seconds) {
    const double end = platform::ThreadCpuSeconds() + seconds;
    volatile unsigned sink = 0;
    while (platform::ThreadCpuSeconds() < end) sink = sink + 1;
}

TEST(WorkerPool, RunsEveryPartOnce) {
    platform::d3d10::WorkerPool pool(3);
    ASSERT_EQ(pool.threads(), 3u);
    for (int round = 0; round < 50; ++round) {
        std::atomic<unsigned> seen{0};
        pool.run([&](unsigned part) { seen.fetch_or(1u << part); });
        EXPECT_EQ(seen.load(), 7u);
    }
}

// Jobs that come while the workers wait busily, and jobs that come after they have gone to sleep, both
// run every part once, and the caller sees every part's writes.
TEST(WorkerPool, RunsJobsWhetherTheWorkersSpinOrSleep) {
    platform::d3d10::WorkerPool pool(2);
    std::vector<unsigned> cells(2);
    for (unsigned round = 1; round <= 40; ++round) {
        if (round % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pool.run([&](unsigned part) { cells[part] += round; });
        ASSERT_EQ(cells[0], round * (round + 1) / 2);
        ASSERT_EQ(cells[1], round * (round + 1) / 2);
    }
}

// The workers' parts of a draw count to the stage the drawing thread is timing, and to none when it
// times none.
TEST(WorkerPool, WorkersAddTheirTimeToTheCallersStage) {
    platform::d3d10::WorkerPool pool(3);
    platform::EnableStageTimes(true);
    const double unfold = platform::StageSeconds(Stage::Unfold);
    {
        platform::StageTimer timer(Stage::Unfold);
        pool.run([](unsigned) { Spin(0.02); });
    }
    const double counted = platform::StageSeconds(Stage::Unfold) - unfold;
    EXPECT_GE(counted, 0.06); // three parts of 20 ms each, on three threads
    EXPECT_LT(counted, 0.12);

    const double before = platform::StageSeconds(Stage::Unfold);
    pool.run([](unsigned) { Spin(0.01); });
    EXPECT_EQ(platform::StageSeconds(Stage::Unfold), before);
    platform::EnableStageTimes(false);
}

} // namespace
