// The frame path's row copies and the worker that shares them out: packed pixels equal the plain
// per-pixel packing for any width, pitch and split of the rows, each part writes only its own rows,
// and both parts of every job run, on two threads where there are two cores.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/frame_worker.h"
#include "engine/pixel_rows.h"

namespace {

using PackFn = void (*)(uint8_t*, const uint8_t*, size_t, uint32_t, uint32_t, uint32_t);

std::vector<uint8_t> texelRows(uint32_t width, uint32_t height, size_t pitch) {
    std::vector<uint8_t> t(pitch * height);
    uint32_t s = 12345u + width * 7 + uint32_t(pitch);
    for (uint8_t& b : t) b = uint8_t((s = s * 1664525u + 1013904223u) >> 24);
    return t;
}

std::vector<uint8_t> plainPacking(const std::vector<uint8_t>& t, size_t pitch, uint32_t width,
                                  uint32_t height) {
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) out.push_back(t[y * pitch + x * 4 + c]);
    return out;
}

class PackRows24Test : public ::testing::TestWithParam<PackFn> {};

TEST_P(PackRows24Test, EveryWidthPitchAndSplitGivesThePlainPacking) {
    const PackFn pack = GetParam();
    for (uint32_t width : {1u, 2u, 4u, 5u, 15u, 16u, 17u, 18u, 19u, 33u, 34u, 50u, 1283u}) {
        for (size_t pad : {size_t(0), size_t(4), size_t(60)}) {
            const uint32_t height = 7;
            const size_t pitch = size_t(width) * 4 + pad;
            const std::vector<uint8_t> texels = texelRows(width, height, pitch);
            const std::vector<uint8_t> expect = plainPacking(texels, pitch, width, height);
            for (unsigned parts : {1u, 2u, 3u, 7u}) {
                // Each part alone writes its own rows' pixels and nothing else, so parts run in any
                // order (or at once) give the whole picture.
                std::vector<uint8_t> out(expect.size() + 16, 0xA5);
                for (unsigned part = parts; part-- > 0;) {
                    std::vector<uint8_t> alone(out.size(), 0xA5);
                    uint32_t begin, end;
                    PartRows(height, part, parts, &begin, &end);
                    pack(alone.data(), texels.data(), pitch, width, begin, end);
                    pack(out.data(), texels.data(), pitch, width, begin, end);
                    for (size_t i = 0; i < alone.size(); ++i) {
                        const bool mine = i >= size_t(begin) * width * 3 && i < size_t(end) * width * 3;
                        ASSERT_EQ(alone[i], mine ? expect[i] : 0xA5)
                            << "width " << width << " pad " << pad << " part " << part << "/" << parts
                            << " byte " << i;
                    }
                }
                ASSERT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(expect.size())), expect);
                for (size_t i = expect.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0xA5);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PackRows24Test,
    ::testing::Values(&detail::PackRows24Portable, &detail::PackRows24Ssse3, &PackRows24),
    [](const auto& info) {
        return std::string(info.index == 0 ? "Portable" : info.index == 1 ? "Ssse3" : "Chosen");
    });

TEST(CopyRows, CopiesOnlyTheRowsAskedAcrossPitches) {
    const size_t srcPitch = 37, dstPitch = 64, bytes = 33;
    const std::vector<uint8_t> src = texelRows(9, 6, srcPitch);
    std::vector<uint8_t> dst(dstPitch * 6, 0);
    CopyRows(dst.data(), dstPitch, src.data(), srcPitch, bytes, 2, 5);
    for (size_t y = 0; y < 6; ++y)
        for (size_t x = 0; x < dstPitch; ++x)
            ASSERT_EQ(dst[y * dstPitch + x], y >= 2 && y < 5 && x < bytes ? src[y * srcPitch + x] : 0)
                << y << "," << x;
}

TEST(FrameWorker, EveryJobRunsEachPartOnceAndIsDoneWhenRunReturns) {
    CFrameWorker worker;
    std::vector<uint32_t> cells(1000);
    std::atomic<int> otherThread{0};
    const std::thread::id caller = std::this_thread::get_id();
    unsigned seenParts = 0;
    for (uint32_t job = 1; job <= 200; ++job) {
        auto fill = [&](unsigned part, unsigned parts) {
            seenParts = parts;
            if (std::this_thread::get_id() != caller) otherThread++;
            uint32_t begin, end;
            PartRows(uint32_t(cells.size()), part, parts, &begin, &end);
            for (uint32_t i = begin; i < end; ++i) cells[i] += job;
        };
        worker.Run(fill);
        // Every cell has this job's addition: both parts ran once, and their writes are visible here.
        for (uint32_t i = 0; i < cells.size(); ++i) ASSERT_EQ(cells[i], job * (job + 1) / 2) << i;
    }
    if (std::thread::hardware_concurrency() > 1) {
        EXPECT_EQ(seenParts, 2u);
        EXPECT_EQ(otherThread.load(), 200);
    } else {
        EXPECT_EQ(seenParts, 1u);
    }
}

} // namespace
