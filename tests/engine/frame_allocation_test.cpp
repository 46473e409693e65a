// A steady stream of frames allocates nothing: once a mode's first frames have built what replays use,
// UploadFrame + Render take no memory from the heap, in any mode, with the colour filter on or off.
// The program replaces the global allocation functions to count every allocation, the device's worker
// threads included.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/tools/unfold/quick_scene.h"

namespace {
std::atomic<uint64_t> g_allocations{0};

void* allocate(std::size_t size, std::size_t alignment = 0) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (size == 0) size = 1;
    void* p = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        if (posix_memalign(&p, alignment, size) != 0) p = nullptr;
    } else {
        p = std::malloc(size);
    }
    return p;
}
} // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t a) {
    if (void* p = allocate(size, std::size_t(a))) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t a) {
    if (void* p = allocate(size, std::size_t(a))) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace tools::unfold {
namespace {

TEST(FrameAllocation, SteadyFramesAllocateNothing) {
    const image::Image fisheye = testing::QuickFisheye();
    UnfoldSettings s;
    s.width = 320, s.height = 180;
    std::string error;
    auto unfolder = testing::ConnectedUnfolder(fisheye, s, error);
    ASSERT_TRUE(unfolder) << error;
    image::Image picture;
    COrbExpander& engine = unfolder->engine();
    std::vector<BYTE> frame(fisheye.data(), fisheye.data() + fisheye.byteSize()); // rows of 4 bytes a pixel
    std::vector<BYTE> output(size_t(320) * 180 * 3);

    // The counter counts: the set-up above allocated.
    EXPECT_GT(g_allocations.load(), 0u);
    for (int32_t mode = 0; mode < 16; ++mode) {
        if (mode == testing::kModeWithoutExpander) continue;
        for (bool filter : {false, true}) {
            s.mode = mode;
            ASSERT_TRUE(unfolder->unfold(fisheye, s, picture));
            if (filter) engine.Current()->SetSharpness(0.6f);
            // The first frames rasterise and build the caches replays shade from.
            for (int warm = 0; warm < 3; ++warm) {
                ASSERT_TRUE(engine.UploadFrame(frame.data(), testing::kQuickFisheyeSize * 4));
                ASSERT_TRUE(SUCCEEDED(engine.Render(output.data())));
            }
            bool uploaded = true, rendered = true;
            const uint64_t before = g_allocations.load();
            for (int i = 0; i < 4; ++i) {
                uploaded = engine.UploadFrame(frame.data(), testing::kQuickFisheyeSize * 4) && uploaded;
                rendered = SUCCEEDED(engine.Render(output.data())) && rendered;
            }
            const uint64_t allocations = g_allocations.load() - before;
            if (filter) engine.Current()->SetSharpness(0.0f);
            EXPECT_TRUE(uploaded && rendered) << ModeLabel(mode);
            EXPECT_EQ(allocations, 0u) << ModeLabel(mode) << (filter ? " filtered" : "");
        }
    }
}

} // namespace
} // namespace tools::unfold
