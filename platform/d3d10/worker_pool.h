// The device's worker threads. A draw splits its pixel work into as many parts as there are workers;
// the calling thread takes part 0 and the workers the rest, and run() returns when all are done, so
// threads meet only between draws.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/win32/stage_times.h"

namespace platform::d3d10 {

// A borrowed reference to a callable taking a part number: unlike std::function it never allocates,
// so a draw's per-part job costs nothing to hand over. The callable must outlive the reference.
class PartJob {
public:
    template <class F>
    requires(!std::is_same_v<std::decay_t<F>, PartJob>)
        PartJob(F&& f) // NOLINT(google-explicit-constructor): lambdas convert implicitly
        : object_(const_cast<void*>(static_cast<const void*>(&f))),
          call_([](void* o, unsigned part) { (*static_cast<std::remove_reference_t<F>*>(o))(part); }) {}
    void operator()(unsigned part) const { call_(object_, part); }

private:
    void* object_;
    void (*call_)(void*, unsigned);
};

class WorkerPool {
public:
    // threads: total number of parts a job is split into (the caller included), at least 1.
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned threads() const { return unsigned(workers_.size()) + 1; }
    // Calls job(part) for part = 0 .. threads() - 1, concurrently, and waits for all of them.
    void run(PartJob job);

private:
    void loop(unsigned part);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable start_, done_;
    const PartJob* job_ = nullptr;
    platform::Stage stage_ = platform::Stage::None; // the stage the caller of run() is timing
    std::atomic<uint64_t> generation_ = 0;
    std::atomic<unsigned> pending_ = 0;
    std::atomic<bool> quit_ = false;
};

// The number of threads a new device uses: UNFOLD_D3D10_THREADS when set, else the machine's cores.
unsigned DefaultDeviceThreads();

} // namespace platform::d3d10
