#include "platform/d3d10/worker_pool.h"

#include <algorithm>
#include <cstdlib>

#include "platform/win32/spin_wait.h"
#include "platform/win32/stage_times.h"

namespace platform::d3d10 {

WorkerPool::WorkerPool(unsigned threads) {
    threads = std::max(1u, threads);
    for (unsigned part = 1; part < threads; ++part) workers_.emplace_back([this, part] { loop(part); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    start_.notify_all();
    for (auto& t : workers_) t.join();
}

void WorkerPool::run(PartJob job) {
    if (workers_.empty()) {
        job(0);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        stage_ = platform::CurrentStage();
        pending_ = unsigned(workers_.size());
        generation_++;
    }
    start_.notify_all();
    job(0);
    platform::SpinWhile([this] { return pending_.load(std::memory_order_acquire) != 0; });
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
}

void WorkerPool::loop(unsigned part) {
    uint64_t seen = 0;
    for (;;) {
        const PartJob* job;
        platform::Stage stage;
        platform::SpinWhile([&] {
            return !quit_.load(std::memory_order_relaxed) &&
                   generation_.load(std::memory_order_acquire) == seen;
        });
        {
            std::unique_lock lock(mutex_);
            start_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_) return;
            seen = generation_;
            job = job_;
            stage = stage_;
        }
        // The part is the caller's work: its CPU time counts to the stage the caller is timing.
        const double cpu = stage != platform::Stage::None ? platform::ThreadCpuSeconds() : 0.0;
        (*job)(part);
        if (stage != platform::Stage::None) platform::AddStageTime(stage, platform::ThreadCpuSeconds() - cpu);
        {
            std::lock_guard lock(mutex_);
            if (--pending_ == 0) done_.notify_one();
        }
    }
}

unsigned DefaultDeviceThreads() {
    if (const char* env = std::getenv("UNFOLD_D3D10_THREADS")) {
        int n = std::atoi(env);
        if (n > 0) return unsigned(std::min(n, 64));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace platform::d3d10
