// The AVX2 kernels and the footprint fetches (AVX2, AVX-512) against the portable code they stand in for,
// on special values and on random ones: the same bits (every NaN counted as one NaN).
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/texel_fetch.h"
#include "platform/d3d10/vm_kernels.h"

namespace platform::d3d10 {
namespace {

uint32_t canonical(float f) {
    return std::isnan(f) ? 0x7FC00000u : std::bit_cast<uint32_t>(f);
}

std::vector<float> specialValues() {
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> v = {0.0f,  -0.0f,  1.0f,   -1.0f,   0.5f, -0.5f, 1.5f,       -1.5f,
                            2.5f,  255.0f, inf,    -inf,    NAN,  -NAN,  1e-40f,     -1e-40f,
                            1e30f, -1e30f, 0.999f, 1.0001f, 3e9f, -3e9f, 16777217.0f};
    for (uint32_t bits : {0u, 1u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 12345u, 0xFFFFFFF6u})
        v.push_back(std::bit_cast<float>(bits));
    return v;
}

TEST(VmKernels, Avx2KernelsGiveThePortableBits) {
    if (!IsaSupported(Isa::Avx2)) GTEST_SKIP() << "no AVX2 on this processor";
    std::vector<float> special = specialValues();
    std::mt19937 random(7);
    std::vector<float> arena(size_t(kLanes) * 4);
    int checked = 0;
    for (int round = 0; round < 64; ++round) {
        for (int slot = 0; slot < 3; ++slot)
            for (int i = 0; i < kLanes; ++i)
                arena[size_t(slot) * kLanes + i] =
                    round % 2
                        ? special[random() % special.size()]
                        : std::bit_cast<float>(uint32_t(random()) & (round % 4 ? 0xBFFFFFFFu : 0xFFFFFFFFu));
        for (int id = 0; id < int(KernelId::Count); ++id) {
            StepKernel fast = KernelFor(KernelId(id), Isa::Avx2);
            if (!fast) continue;
            Step s{};
            s.id = KernelId(id);
            s.d = 3, s.a = 0, s.b = 1, s.c = 2;
            VmContext vm{arena.data(), nullptr, nullptr};
            PortableKernel(KernelId(id))(vm, s, kLanes);
            std::vector<float> expected(arena.begin() + 3 * kLanes, arena.end());
            fast(vm, s, kLanes);
            for (int i = 0; i < kLanes; ++i)
                ASSERT_EQ(canonical(arena[3 * kLanes + i]), canonical(expected[i]))
                    << "kernel " << id << " lane " << i << " of " << arena[i] << ", " << arena[kLanes + i]
                    << ", " << arena[2 * kLanes + i];
            checked++;
        }
    }
    EXPECT_GT(checked, 64 * 20);
}

// A chain of a multiply and one or two multiply-adds or multiply-subtracts, fused, gives the bits of
// its steps run one by one, in either instruction set.
TEST(VmKernels, MulChainsGiveTheBitsOfTheirSteps) {
    std::vector<float> special = specialValues();
    std::mt19937 random(13);
    constexpr int kSlots = 9; // six operands, two partial results, the chain's result
    std::vector<float> arena(size_t(kLanes) * kSlots);
    VmContext vm{arena.data(), nullptr, nullptr};
    auto run = [&](KernelId id, PlanSlot d, PlanSlot a, PlanSlot b, PlanSlot c) {
        Step s{};
        s.id = id, s.d = d, s.a = a, s.b = b, s.c = c;
        PortableKernel(id)(vm, s, kLanes);
    };
    for (int round = 0; round < 16; ++round) {
        for (int i = 0; i < kLanes * 6; ++i)
            arena[size_t(i)] = round % 2 ? special[random() % special.size()]
                                         : std::bit_cast<float>(uint32_t(random()) & 0xBFFFFFFFu);
        for (int links = 1; links <= 2; ++links) {
            for (unsigned subtracts = 0; subtracts < (links == 1 ? 2u : 4u); ++subtracts) {
                // The steps: 6 = 0 * 1, then 7 = 2 * 3 (+|-) 6, then 6 = 4 * 5 (+|-) 7.
                run(KernelId::Mul, 6, 0, 1, 0);
                run(subtracts & 1 ? KernelId::MulSub : KernelId::Mad, 7, 2, 3, 6);
                PlanSlot result = 7;
                if (links == 2) run(subtracts & 2 ? KernelId::MulSub : KernelId::Mad, 6, 4, 5, 7), result = 6;
                std::vector<float> expected(arena.begin() + result * kLanes,
                                            arena.begin() + (result + 1) * kLanes);
                Step chain{};
                chain.id = KernelId::MulChain;
                chain.d = 8, chain.a = 0, chain.b = 1, chain.c = 2;
                chain.out[0] = 3, chain.out[1] = 4, chain.out[2] = 5;
                for (Isa isa : {Isa::Portable, Isa::Avx2}) {
                    if (!IsaSupported(isa)) continue;
                    std::fill_n(arena.begin() + 8 * kLanes, kLanes, 0.0f);
                    MulChainKernel(isa, links, subtracts)(vm, chain, kLanes);
                    for (int i = 0; i < kLanes; ++i)
                        ASSERT_EQ(canonical(arena[8 * size_t(kLanes) + i]), canonical(expected[size_t(i)]))
                            << links << " links, subtracts " << subtracts << ", lane " << i
                            << (isa == Isa::Avx2 ? " (AVX2)" : " (portable)");
                }
            }
        }
    }
}

// Every footprint fetch there is on this processor, by name.
std::vector<std::pair<const char*, FootprintFetch>> footprintFetchers(DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    std::vector<std::pair<const char*, FootprintFetch>> fetchers = {
        {"portable", swap ? detail::FetchFootprintsPortable<true> : detail::FetchFootprintsPortable<false>}};
    if (IsaSupported(Isa::Avx2)) fetchers.push_back({"AVX2", detail::Avx2FootprintFetcher(swap)});
    if (FootprintFetch wide = detail::Avx512FootprintFetcher(swap)) fetchers.push_back({"AVX-512", wide});
    return fetchers;
}

// Every window fetch there is on this processor, from axes and from kept axes, by name.
std::vector<std::pair<const char*, WindowFetch>> windowFetchers(DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    std::vector<std::pair<const char*, WindowFetch>> fetchers = {
        {"portable", WindowFetcher(Isa::Portable, format)}};
    if (IsaSupported(Isa::Avx2)) fetchers.push_back({"AVX2", detail::Avx2WindowFetcher(swap)});
    if (WindowFetch wide = detail::Avx512WindowFetcher(swap)) fetchers.push_back({"AVX-512 VL", wide});
    return fetchers;
}

std::vector<std::pair<const char*, KeptWindowFetch>> keptWindowFetchers(DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    std::vector<std::pair<const char*, KeptWindowFetch>> fetchers = {
        {"portable", KeptWindowFetcher(Isa::Portable, format)}};
    if (IsaSupported(Isa::Avx2)) fetchers.push_back({"AVX2", detail::Avx2KeptWindowFetcher(swap)});
    if (KeptWindowFetch wide = detail::Avx512KeptWindowFetcher(swap))
        fetchers.push_back({"AVX-512 VL", wide});
    return fetchers;
}

// Footprints fetched by every instruction set equal the sampler's own result, at random coordinates
// inside, at the edges of and far outside the texture, and at NaN; on textures of odd widths and row
// pitches, for counts that leave every kind of tail.
TEST(TexelFetch, FootprintsGiveTheSamplersBits) {
    std::mt19937 random(11);
    struct Layout {
        uint32_t width, height, pitch;
    };
    for (Layout layout : {Layout{1, 4, 64}, Layout{2, 5, 64}, Layout{5, 8, 64}, Layout{64, 67, 256},
                          Layout{37, 3, 37 * 4 + 12}, Layout{3, 40, 3 * 4}}) {
        const uint32_t width = layout.width, height = layout.height, pitch = layout.pitch;
        std::vector<uint8_t> texels(size_t(pitch) * (height + 1) + 64);
        for (uint8_t& t : texels) t = uint8_t(random());
        for (DXGI_FORMAT format : {DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}) {
            SampledTexture t{texels.data(), width, height, pitch, format};
            SamplerSettings clamp;
            ASSERT_TRUE(FootprintSampled(clamp, format));
            std::vector<float> u(kLanes), v(kLanes);
            for (int i = 0; i < kLanes; ++i) {
                auto coordinate = [&]() {
                    switch (random() % 6) {
                    case 0:
                        return float(random() % 8) / 4.0f - 0.5f; // texel edges and centres
                    case 1:
                        return std::bit_cast<float>(uint32_t(random())); // anything, NaN included
                    default:
                        return float(int(random() % 3000) - 1000) / 1000.0f;
                    }
                };
                u[i] = coordinate(), v[i] = coordinate();
            }
            float expected[4][kLanes], got[4][kLanes];
            float* e[4] = {expected[0], expected[1], expected[2], expected[3]};
            SampleLanes(t, clamp, u.data(), v.data(), e, kLanes);
            std::vector<uint32_t> offsets(kLanes);
            std::vector<uint16_t> weights(kLanes);
            ComputeFootprints(t, u.data(), v.data(), offsets.data(), weights.data(), kLanes);
            // Worked out one direction at a time and joined, the footprints are the same.
            for (Isa isa : {Isa::Portable, Isa::Avx2}) {
                if (!IsaSupported(isa)) continue;
                std::vector<float> x(kLanes), y(kLanes);
                std::vector<uint32_t> joinedOffsets(kLanes);
                std::vector<uint16_t> joinedWeights(kLanes);
                FootprintAxisComputer(isa)(width, u.data(), x.data(), kLanes - 1);
                FootprintAxisComputer(isa)(height, v.data(), y.data(), kLanes - 1);
                FootprintJoiner(isa)(x.data(), y.data(), pitch, joinedOffsets.data(), joinedWeights.data(),
                                     kLanes - 1);
                for (int i = 0; i < kLanes - 1; ++i)
                    ASSERT_TRUE(joinedOffsets[i] == offsets[i] && joinedWeights[i] == weights[i])
                        << "footprint from axes at (" << u[i] << ", " << v[i] << ")"
                        << (isa == Isa::Avx2 ? " AVX2" : " portable");
            }
            if (IsaSupported(Isa::Avx2)) {
                std::vector<uint32_t> fastOffsets(kLanes);
                std::vector<uint16_t> fastWeights(kLanes);
                FootprintComputer(Isa::Avx2)(t, u.data(), v.data(), fastOffsets.data(), fastWeights.data(),
                                             kLanes - 1);
                for (int i = 0; i < kLanes - 1; ++i)
                    ASSERT_TRUE(fastOffsets[i] == offsets[i] && fastWeights[i] == weights[i])
                        << "AVX2 footprint at (" << u[i] << ", " << v[i] << ")";
            }
            for (auto [name, fetch] : footprintFetchers(format)) {
                for (int count : {kLanes, kLanes - 3, 17, 15, 8, 1}) {
                    for (bool alpha : {true, false}) {
                        for (float* channel : got) std::fill_n(channel, kLanes, -1.0f);
                        float* g[4] = {got[0], got[1], got[2], alpha ? got[3] : nullptr};
                        fetch(texels.data(), pitch, offsets.data(), weights.data(), g, count);
                        // The lanes fetched hold the sampler's bits; nothing beyond them is written.
                        for (int c = 0; c < 4; ++c)
                            for (int i = 0; i < kLanes; ++i)
                                ASSERT_EQ(std::bit_cast<uint32_t>(got[c][i]),
                                          std::bit_cast<uint32_t>(
                                              i >= count || (c == 3 && !alpha) ? -1.0f : expected[c][i]))
                                    << width << " x " << height << " pitch " << pitch << " channel " << c
                                    << " lane " << i << " of " << count << " at (" << u[i] << ", " << v[i]
                                    << ") " << name << (alpha ? "" : " without alpha");
                    }
                }
            }
        }
    }
}

// A 3 x 3 filter's nine taps fetched as one window give, tap by tap, the sampler's bits at the tap's
// coordinate, whether the window is read once (taps a texel apart, well inside the texture) or tap by tap
// (taps clamped at an edge, far apart, or at NaN). Only the channels asked for are written, and only in
// the lanes fetched.
TEST(TexelFetch, WindowsGiveTheSamplersBitsAtEveryTap) {
    std::mt19937 random(23);
    struct Layout {
        uint32_t width, height, pitch;
    };
    for (Layout layout :
         {Layout{64, 48, 256}, Layout{37, 29, 37 * 4 + 12}, Layout{5, 8, 64}, Layout{1, 1, 64}}) {
        const uint32_t width = layout.width, height = layout.height, pitch = layout.pitch;
        std::vector<uint8_t> texels(size_t(pitch) * (height + 1) + 64);
        for (uint8_t& t : texels) t = uint8_t(random());
        const float dx = 1.0f / float(width), dy = 1.0f / float(height);
        // Groups of eight lanes: the first half well inside, the rest anywhere, NaN included.
        std::vector<float> u(kLanes), v(kLanes);
        for (int i = 0; i < kLanes; ++i) {
            auto coordinate = [&](float step) {
                if (i < kLanes / 2) return 2 * step + float(random() % 10000) / 10000.0f * (1 - 4 * step);
                if (random() % 9 == 0) return std::bit_cast<float>(uint32_t(random()));
                return float(int(random() % 1400) - 200) / 1000.0f;
            };
            u[i] = coordinate(dx), v[i] = coordinate(dy);
        }
        for (DXGI_FORMAT format : {DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}) {
            SampledTexture t{texels.data(), width, height, pitch, format};
            std::vector<float> expected[9][4];
            std::vector<float> axes[6];
            for (int k = 0; k < 3; ++k) {
                std::vector<float> uk(kLanes), vk(kLanes);
                for (int i = 0; i < kLanes; ++i)
                    uk[i] = u[i] + float(k - 1) * dx, vk[i] = v[i] + float(k - 1) * dy;
                axes[k].resize(kLanes), axes[3 + k].resize(kLanes);
                ComputeFootprintAxis(width, uk.data(), axes[k].data(), kLanes);
                ComputeFootprintAxis(height, vk.data(), axes[3 + k].data(), kLanes);
            }
            for (int tap = 0; tap < 9; ++tap) {
                std::vector<float> uk(kLanes), vk(kLanes);
                for (int i = 0; i < kLanes; ++i)
                    uk[i] = u[i] + float(tap % 3 - 1) * dx, vk[i] = v[i] + float(tap / 3 - 1) * dy;
                float* e[4];
                for (int c = 0; c < 4; ++c) e[c] = (expected[tap][c] = std::vector<float>(kLanes)).data();
                SampleLanes(t, SamplerSettings{}, uk.data(), vk.data(), e, kLanes);
            }
            const float* x[3] = {axes[0].data(), axes[1].data(), axes[2].data()};
            const float* y[3] = {axes[3].data(), axes[4].data(), axes[5].data()};
            for (const auto& [name, fetch] : windowFetchers(format)) {
                // Every channel; the red one alone (a planar filter's); green and alpha; one tap's alpha.
                for (uint64_t wanted : {0xFFFFFFFFFull, 0x111111111ull, 0xAAAAAAAAAull, 0x877777777ull}) {
                    for (int count : {kLanes, kLanes - 3, 17, 8, 5}) {
                        float got[9][4][kLanes];
                        float* g[9][4];
                        for (int tap = 0; tap < 9; ++tap)
                            for (int c = 0; c < 4; ++c) {
                                std::fill_n(got[tap][c], kLanes, -1.0f);
                                g[tap][c] = wanted >> (4 * tap + c) & 1 ? got[tap][c] : nullptr;
                            }
                        fetch(texels.data(), pitch, x, y, g, count);
                        for (int tap = 0; tap < 9; ++tap)
                            for (int c = 0; c < 4; ++c)
                                for (int i = 0; i < kLanes; ++i)
                                    ASSERT_EQ(std::bit_cast<uint32_t>(got[tap][c][i]),
                                              std::bit_cast<uint32_t>(
                                                  i >= count || !g[tap][c] ? -1.0f : expected[tap][c][i]))
                                        << width << " x " << height << " tap " << tap << " channel " << c
                                        << " lane " << i << " of " << count << " at (" << u[i] << ", " << v[i]
                                        << ") " << name;
                    }
                }
            }
        }
    }
}

// The window fetch's contract is over the axes themselves: with consecutive texel indices but each
// tap's own weight (the taps' coordinates round apart), and with a few lanes out of step, every tap is
// the footprint joined from its two axes and fetched on its own.
TEST(TexelFetch, WindowsBlendEachTapWithItsOwnWeights) {
    if (!IsaSupported(Isa::Avx2)) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(5);
    const uint32_t width = 41, height = 23, pitch = 41 * 4 + 20;
    std::vector<uint8_t> texels(size_t(pitch) * (height + 1) + 64);
    for (uint8_t& t : texels) t = uint8_t(random());
    std::vector<float> axes[6];
    for (auto& a : axes) a.resize(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        const uint32_t x0 = random() % (width - 2), y0 = random() % (height - 2);
        for (uint32_t k = 0; k < 3; ++k) {
            // One lane in eight has a tap two texels on, or back on the first.
            const bool outOfStep = i % 8 == 3 && k == 2;
            const uint32_t xk = outOfStep && i % 16 == 3 ? x0 : x0 + k,
                           yk = outOfStep && i % 16 == 11 ? y0 + 2 : y0 + k;
            axes[k][i] = std::bit_cast<float>(uint32_t(xk << 8 | (random() & 255)));
            axes[3 + k][i] = std::bit_cast<float>(uint32_t(yk << 8 | (random() & 255)));
        }
    }
    const float* x[3] = {axes[0].data(), axes[1].data(), axes[2].data()};
    const float* y[3] = {axes[3].data(), axes[4].data(), axes[5].data()};
    for (DXGI_FORMAT format : {DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}) {
        float expected[9][4][kLanes], got[9][4][kLanes];
        float* e[9][4];
        float* g[9][4];
        for (int tap = 0; tap < 9; ++tap)
            for (int c = 0; c < 4; ++c) e[tap][c] = expected[tap][c], g[tap][c] = got[tap][c];
        WindowFetcher(Isa::Portable, format)(texels.data(), pitch, x, y, e, kLanes);
        for (const auto& [name, fetch] : windowFetchers(format)) {
            fetch(texels.data(), pitch, x, y, g, kLanes);
            for (int tap = 0; tap < 9; ++tap)
                for (int c = 0; c < 4; ++c)
                    for (int i = 0; i < kLanes; ++i)
                        ASSERT_EQ(std::bit_cast<uint32_t>(got[tap][c][i]),
                                  std::bit_cast<uint32_t>(expected[tap][c][i]))
                            << "tap " << tap << " channel " << c << " lane " << i << " " << name;
        }
    }
}

// Axes kept per pixel unpack to what was packed, and the window fetch from them gives what the window
// fetch gives from the axes: lanes that step by one texel, lanes clamped (a step of 0) and lanes whose
// taps lie apart (a step of 2 or 15), in groups of eight and sixteen and in tails. Axes that cannot be kept
// are refused: a step back, a step beyond 15, an index beyond 16 bits.
TEST(TexelFetch, KeptWindowsFetchWhatTheirAxesFetch) {
    std::mt19937 random(11);
    const uint32_t width = 60, height = 40, pitch = 60 * 4 + 12;
    std::vector<uint8_t> texels(size_t(pitch) * (height + 1) + 64);
    for (uint8_t& t : texels) t = uint8_t(random());
    std::vector<float> axes[6];
    for (auto& a : axes) a.resize(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        // Lanes 16 to 47 hold the ones out of step, so that wide fetches find whole groups in step too.
        const bool mixed = i >= 16 && i < 48;
        const uint32_t stepX = mixed && i % 8 == 5    ? 0
                               : mixed && i % 16 == 6 ? 2
                                                      : 1,
                       stepY = mixed && i % 8 == 2 ? 15 : 1;
        const uint32_t x0 = random() % (width - 2 * stepX - 1), y0 = random() % (height - 2 * stepY - 1);
        for (uint32_t k = 0; k < 3; ++k) {
            axes[k][i] = std::bit_cast<float>(uint32_t((x0 + k * stepX) << 8 | (random() & 255)));
            axes[3 + k][i] = std::bit_cast<float>(uint32_t((y0 + k * stepY) << 8 | (random() & 255)));
        }
    }
    const float* x[3] = {axes[0].data(), axes[1].data(), axes[2].data()};
    const float* y[3] = {axes[3].data(), axes[4].data(), axes[5].data()};
    std::vector<uint32_t> corners(kLanes);
    std::vector<uint64_t> taps(kLanes);
    ASSERT_TRUE(PackWindowAxes(x, y, corners.data(), taps.data(), kLanes));
    float unpacked[6][kLanes];
    float* const ux[3] = {unpacked[0], unpacked[1], unpacked[2]};
    float* const uy[3] = {unpacked[3], unpacked[4], unpacked[5]};
    UnpackWindowAxes(corners.data(), taps.data(), ux, uy, kLanes);
    for (int a = 0; a < 6; ++a)
        for (int i = 0; i < kLanes; ++i)
            ASSERT_EQ(std::bit_cast<uint32_t>(unpacked[a][i]), std::bit_cast<uint32_t>(axes[a][i]))
                << "axis " << a << " lane " << i;

    for (DXGI_FORMAT format : {DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM})
        for (const auto& [name, fetch] : keptWindowFetchers(format)) {
            for (int count : {kLanes, kLanes - 3, 17, 8, 5}) {
                float expected[9][4][kLanes], got[9][4][kLanes];
                float* e[9][4];
                float* g[9][4];
                for (int tap = 0; tap < 9; ++tap)
                    for (int c = 0; c < 4; ++c) {
                        std::fill_n(got[tap][c], kLanes, -1.0f);
                        std::fill_n(expected[tap][c], kLanes, -1.0f);
                        // The red channel alone in the middle row of taps, as a planar filter reads.
                        const bool wanted = tap / 3 != 1 || c == 0;
                        e[tap][c] = wanted ? expected[tap][c] : nullptr;
                        g[tap][c] = wanted ? got[tap][c] : nullptr;
                    }
                WindowFetcher(Isa::Portable, format)(texels.data(), pitch, x, y, e, count);
                fetch(texels.data(), pitch, corners.data(), taps.data(), g, count);
                for (int tap = 0; tap < 9; ++tap)
                    for (int c = 0; c < 4; ++c)
                        for (int i = 0; i < kLanes; ++i)
                            ASSERT_EQ(std::bit_cast<uint32_t>(got[tap][c][i]),
                                      std::bit_cast<uint32_t>(expected[tap][c][i]))
                                << "tap " << tap << " channel " << c << " lane " << i << " of " << count
                                << " " << name;
            }
        }

    auto refused = [&](int axis, uint32_t bits) {
        std::vector<float> changed = axes[axis];
        changed[9] = std::bit_cast<float>(bits);
        const float* cx[3] = {x[0], x[1], x[2]};
        const float* cy[3] = {y[0], y[1], y[2]};
        (axis < 3 ? cx[axis] : cy[axis - 3]) = changed.data();
        return !PackWindowAxes(cx, cy, corners.data(), taps.data(), kLanes);
    };
    // Lane 9 steps by one texel on both axes.
    const uint32_t x1 = std::bit_cast<uint32_t>(axes[1][9]) >> 8,
                   y1 = std::bit_cast<uint32_t>(axes[4][9]) >> 8;
    EXPECT_TRUE(refused(2, (x1 - 1) << 8 | 7)) << "a step back";
    EXPECT_TRUE(refused(5, (y1 + 16) << 8)) << "a step of 16";
    EXPECT_TRUE(refused(0, 0x10000u << 8)) << "an index beyond 16 bits";
    EXPECT_FALSE(refused(2, (x1 + 15) << 8 | 200)) << "a step of 15";
}

} // namespace
} // namespace platform::d3d10
