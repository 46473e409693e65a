// CFrameWorker: a second thread for the engine's per-frame copies outside the device (the frame into
// the input texture, the read-back into 24-bit pixels), which would otherwise keep one core busy while
// the other waits for the next draw. Run splits a job into parts: the calling thread takes part 0, the
// worker part 1, and Run returns when both are done, so the two threads meet only at the end of a job.
//
// The thread starts with the first job and lives as long as the object; a job costs no allocation. On
// a machine with one core, or where the thread cannot be started, every part runs on the caller.
// One caller at a time: the facade's callers hold its engine lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class CFrameWorker {
public:
    // Does part `part` of `parts` of the job described by context.
    using Job = void (*)(void* context, unsigned part, unsigned parts);

    CFrameWorker() = default;
    ~CFrameWorker();
    CFrameWorker(const CFrameWorker&) = delete;
    CFrameWorker& operator=(const CFrameWorker&) = delete;

    void Run(Job job, void* context);
    // Runs f(part, parts) for every part; f is borrowed for the call.
    template <class F>
    void Run(F& f) {
        Run([](void* c, unsigned part, unsigned parts) { (*static_cast<F*>(c))(part, parts); }, &f);
    }

private:
    void loop();

    std::thread thread;
    bool started = false;
    std::mutex mutex;
    std::condition_variable start, done;
    Job job = nullptr;
    void* context = nullptr;
    int stage = -1; // the stage times category the caller is timing (platform::Stage)
    std::atomic<uint64_t> generation = 0;
    std::atomic<bool> busy = false;
    std::atomic<bool> quit = false;
};

// The rows a part of `parts` takes out of `rows`: [*begin, *end), contiguous and in order.
inline void PartRows(uint32_t rows, unsigned part, unsigned parts, uint32_t* begin, uint32_t* end) {
    *begin = uint32_t(uint64_t(rows) * part / parts);
    *end = uint32_t(uint64_t(rows) * (part + 1) / parts);
}
