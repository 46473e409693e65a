#include "engine/frame_worker.h"

#include <system_error>

#include "platform/win32/spin_wait.h"
#include "platform/win32/stage_times.h"

CFrameWorker::~CFrameWorker() {
    if (!thread.joinable()) return;
    {
        std::lock_guard lock(mutex);
        quit = true;
    }
    start.notify_one();
    thread.join();
}

void CFrameWorker::Run(Job fn, void* ctx) {
    if (!started) {
        started = true;
        if (std::thread::hardware_concurrency() > 1) {
            try {
                thread = std::thread([this] { loop(); });
            } catch (const std::system_error&) {
                // No second thread: the caller does both parts.
            }
        }
    }
    if (!thread.joinable()) {
        fn(ctx, 0, 1);
        return;
    }
    {
        std::lock_guard lock(mutex);
        job = fn;
        context = ctx;
        stage = int(platform::CurrentStage());
        busy = true;
        generation++;
    }
    start.notify_one();
    fn(ctx, 0, 2);
    platform::SpinWhile([this] { return busy.load(std::memory_order_acquire); });
    std::unique_lock lock(mutex);
    done.wait(lock, [this] { return !busy; });
}

void CFrameWorker::loop() {
    uint64_t seen = 0;
    for (;;) {
        Job fn;
        void* ctx;
        platform::Stage timed;
        platform::SpinWhile([&] {
            return !quit.load(std::memory_order_relaxed) &&
                   generation.load(std::memory_order_acquire) == seen;
        });
        {
            std::unique_lock lock(mutex);
            start.wait(lock, [&] { return quit || generation != seen; });
            if (quit) return;
            seen = generation;
            fn = job;
            ctx = context;
            timed = platform::Stage(stage);
        }
        // The part is the caller's work: its CPU time counts to the stage the caller is timing.
        const double cpu = timed != platform::Stage::None ? platform::ThreadCpuSeconds() : 0.0;
        fn(ctx, 1, 2);
        if (timed != platform::Stage::None) platform::AddStageTime(timed, platform::ThreadCpuSeconds() - cpu);
        {
            std::lock_guard lock(mutex);
            busy = false;
        }
        done.notify_one();
    }
}
