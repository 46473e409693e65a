// Deals a draw's pixel work out in chunks while it runs. Each part owns a run of chunks (its own rows)
// and takes them from the front; a part that has run out takes the others' from the back. Each thread
// still works through neighbouring rows, and a draw ends when the last chunk is done rather than when
// the part with the costliest pixels is: equal pixel counts can differ by a third in time, as the
// texels they read lie in or out of the caches.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace platform::d3d10 {

class ChunkDealer {
public:
    explicit ChunkDealer(unsigned parts)
        : parts_(parts), runs_(std::make_unique<std::atomic<uint64_t>[]>(parts)) {
        close();
    }

    // Before a draw: no part has chunks to give.
    void close() {
        for (unsigned p = 0; p < parts_; ++p) runs_[p].store(0, std::memory_order_relaxed);
    }

    // Part `part` offers chunks 0 to count - 1; whoever takes one has seen everything the part wrote
    // before offering them.
    void offer(unsigned part, uint32_t count) {
        runs_[part].store(uint64_t(count) << 32, std::memory_order_release);
    }

    // The part's next chunk of its own, from the front; false when none is left.
    bool takeOwn(unsigned part, uint32_t& chunk) {
        std::atomic<uint64_t>& run = runs_[part];
        uint64_t v = run.load(std::memory_order_relaxed);
        for (;;) {
            const uint32_t front = uint32_t(v), back = uint32_t(v >> 32);
            if (front >= back) return false;
            if (run.compare_exchange_weak(v, v + 1, std::memory_order_acquire, std::memory_order_relaxed)) {
                chunk = front;
                return true;
            }
        }
    }

    // A chunk of another part's, from the back of its run, looking at the parts after `thief` first;
    // false when no part has one left.
    bool takeOther(unsigned thief, unsigned& owner, uint32_t& chunk) {
        for (unsigned k = 1; k < parts_; ++k) {
            const unsigned p = (thief + k) % parts_;
            std::atomic<uint64_t>& run = runs_[p];
            uint64_t v = run.load(std::memory_order_relaxed);
            for (;;) {
                const uint32_t front = uint32_t(v), back = uint32_t(v >> 32);
                if (front >= back) break;
                const uint64_t taken = (uint64_t(back - 1) << 32) | front;
                if (run.compare_exchange_weak(v, taken, std::memory_order_acquire,
                                              std::memory_order_relaxed)) {
                    owner = p;
                    chunk = back - 1;
                    takenFromOthers_.fetch_add(1, std::memory_order_relaxed);
                    return true;
                }
            }
        }
        return false;
    }

    // Chunks taken by a part other than their owner so far.
    uint64_t takenFromOthers() const { return takenFromOthers_.load(std::memory_order_relaxed); }

private:
    unsigned parts_;
    std::atomic<uint64_t> takenFromOthers_{0};
    std::unique_ptr<std::atomic<uint64_t>[]> runs_;
};

} // namespace platform::d3d10
