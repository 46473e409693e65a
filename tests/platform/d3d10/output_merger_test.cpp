// Depth, stencil and blending through the device, with the engine's mask states.
#include <array>
#include <limits>
#include <random>

#include "platform/d3d10/output_merger.h"
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

using OutputMergerTest = DeviceTest;

const std::vector<Vertex> kFullScreen = {V(-1, -1), V(-1, 1), V(1, -1), V(1, 1)};

std::vector<Vertex> fullScreen(float z, std::array<float, 4> c) {
    return {V(-1, -1, z, 1, c), V(-1, 1, z, 1, c), V(1, -1, z, 1, c), V(1, 1, z, 1, c)};
}

D3D10_DEPTH_STENCILOP_DESC face(D3D10_STENCIL_OP fail, D3D10_STENCIL_OP depthFail, D3D10_STENCIL_OP pass,
                                D3D10_COMPARISON_FUNC func) {
    return {fail, depthFail, pass, func};
}

TEST_F(OutputMergerTest, StencilMaskWrittenThenTestedLikeTheEngine) {
    // The engine's mask pair: the write state fails every depth test and replaces the stencil there,
    // so the mask geometry writes stencil and no colour; the test state draws where reference 1 is
    // greater than the stored value, i.e. where no mask was drawn.
    D3D10_DEPTH_STENCIL_DESC write{
        TRUE, D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_NEVER, TRUE, 0xFF, 0xFF, {}, {}};
    write.FrontFace = write.BackFace = face(D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_REPLACE,
                                            D3D10_STENCIL_OP_REPLACE, D3D10_COMPARISON_ALWAYS);
    D3D10_DEPTH_STENCIL_DESC test{
        TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL, TRUE, 0xFF, 0xFF, {}, {}};
    test.FrontFace = test.BackFace = face(D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP,
                                          D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_GREATER);
    ComPtr<ID3D10DepthStencilState> writeState, testState;
    ASSERT_EQ(device->CreateDepthStencilState(&write, writeState.put()), S_OK);
    ASSERT_EQ(device->CreateDepthStencilState(&test, testState.put()), S_OK);

    // Mask: the left half of the target, drawn green (which must never show).
    device->OMSetDepthStencilState(writeState.get(), 1);
    draw({V(-1, -1, 0.5f, 1, {0, 1, 0, 1}), V(-1, 1, 0.5f, 1, {0, 1, 0, 1}), V(0, -1, 0.5f, 1, {0, 1, 0, 1}),
          V(0, 1, 0.5f, 1, {0, 1, 0, 1})},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    for (uint32_t t : readBack()) ASSERT_EQ(t, 0xFF000000u) << "the mask wrote colour";

    device->OMSetDepthStencilState(testState.get(), 1);
    draw(fullScreen(0.5f, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto pixels = readBack();
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            ASSERT_EQ(red(pixels[y * kWidth + x]), x < kWidth / 2 ? 0 : 255) << x << "," << y;

    // Where the test passed, stencil kept its 0; the masked half keeps 1 and still refuses a redraw.
    float black[4] = {0, 0, 0, 1};
    device->ClearRenderTargetView(colourView.get(), black);
    device->ClearDepthStencilView(depthView.get(), D3D10_CLEAR_DEPTH, 1.0f, 0); // stencil survives
    draw(fullScreen(0.5f, {0, 0, 1, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    pixels = readBack();
    for (UINT x = 0; x < kWidth; ++x) EXPECT_EQ(blue(pixels[10 * kWidth + x]), x < kWidth / 2 ? 0 : 255) << x;
}

TEST_F(OutputMergerTest, DepthLessOrEqualKeepsTheNearestAndTies) {
    D3D10_DEPTH_STENCIL_DESC d{
        TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL, FALSE, 0xFF, 0xFF, {}, {}};
    d.FrontFace = d.BackFace =
        face(D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_ALWAYS);
    ComPtr<ID3D10DepthStencilState> state;
    ASSERT_EQ(device->CreateDepthStencilState(&d, state.put()), S_OK);
    device->OMSetDepthStencilState(state.get(), 0);
    draw(fullScreen(0.5f, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    draw(fullScreen(0.7f, {0, 1, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP); // behind: rejected
    EXPECT_EQ(readBack()[100], 0xFF0000FFu);
    draw(fullScreen(0.5f, {0, 0, 1, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP); // equal: passes
    EXPECT_EQ(readBack()[100], 0xFFFF0000u);
    draw(fullScreen(0.2f, {0, 1, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP); // nearer: passes
    EXPECT_EQ(readBack()[100], 0xFF00FF00u);

    // A sloped quad through z = 0.2: the half in front of it is drawn, the half behind is not.
    draw({V(-1, -1, 0.0f, 1, {1, 1, 1, 1}), V(-1, 1, 0.0f, 1, {1, 1, 1, 1}), V(1, -1, 0.4f, 1, {1, 1, 1, 1}),
          V(1, 1, 0.4f, 1, {1, 1, 1, 1})},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto pixels = readBack();
    EXPECT_EQ(red(pixels[20 * kWidth + 5]), 255);
    EXPECT_EQ(red(pixels[20 * kWidth + kWidth - 5]), 0);

    // The viewport's depth range clamps: with MaxDepth 0.1 everything lands at most at 0.1.
    setViewport(0, 0, kWidth, kHeight, 0.0f, 0.1f);
    draw(fullScreen(0.9f, {0, 0, 1, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    EXPECT_EQ(readBack()[20 * kWidth + kWidth - 5], 0xFFFF0000u);
}

// Without a depth-stencil surface every draw reaches the output merger (the default depth test, LESS,
// would otherwise reject a second draw at the same depth).
void colourOnly(ID3D10Device* device, ID3D10RenderTargetView* view) {
    device->OMSetRenderTargets(1, &view, nullptr);
}

TEST_F(OutputMergerTest, SourceAlphaBlendingAndUnormRounding) {
    colourOnly(device.get(), colourView.get());
    D3D10_BLEND_DESC b{};
    b.BlendEnable[0] = TRUE;
    b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
    b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
    b.BlendOp = D3D10_BLEND_OP_ADD;
    b.SrcBlendAlpha = D3D10_BLEND_ONE;
    b.DestBlendAlpha = D3D10_BLEND_ZERO;
    b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
    b.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_ALL;
    ComPtr<ID3D10BlendState> state;
    ASSERT_EQ(device->CreateBlendState(&b, state.put()), S_OK);
    float zero[4] = {0, 0, 0, 0};
    device->OMSetBlendState(state.get(), zero, 0xFFFFFFFF);

    clear({0.0f, 0.0f, 1.0f, 1.0f});
    // 0.7 black over blue: blue 0.3 -> 76.5 -> 77; alpha written as 0.7 -> 178.5 -> 179.
    draw(fullScreen(0.5f, {0, 0, 0, 0.7f}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    uint32_t t = readBack()[7];
    EXPECT_EQ(blue(t), 77);
    EXPECT_EQ(red(t), 0);
    EXPECT_EQ(alpha(t), 179);
    // Opaque colours replace the destination; out-of-range colours clamp before blending.
    draw(fullScreen(0.5f, {2.0f, -1.0f, 0.5f, 1.0f}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    t = readBack()[7];
    EXPECT_EQ(red(t), 255);
    EXPECT_EQ(green(t), 0);
    EXPECT_EQ(blue(t), 128); // 127.5 rounds to nearest, up
    EXPECT_EQ(alpha(t), 255);
}

TEST_F(OutputMergerTest, UnormRoundingWithoutBlendingAndWriteMasks) {
    colourOnly(device.get(), colourView.get());
    draw(fullScreen(0.5f, {1.0f / 255 * 10.49f, 1.0f / 255 * 10.51f, 0.2f, 0.0f}),
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    uint32_t t = readBack()[0];
    EXPECT_EQ(red(t), 10);
    EXPECT_EQ(green(t), 11);
    EXPECT_EQ(blue(t), 51);
    EXPECT_EQ(alpha(t), 0);

    D3D10_BLEND_DESC b{};
    b.SrcBlend = b.SrcBlendAlpha = D3D10_BLEND_ONE;
    b.DestBlend = b.DestBlendAlpha = D3D10_BLEND_ZERO;
    b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
    b.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_GREEN | D3D10_COLOR_WRITE_ENABLE_ALPHA;
    ComPtr<ID3D10BlendState> state;
    ASSERT_EQ(device->CreateBlendState(&b, state.put()), S_OK);
    device->OMSetBlendState(state.get(), nullptr, 0xFFFFFFFF);
    draw(fullScreen(0.5f, {1, 1, 1, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    t = readBack()[0];
    EXPECT_EQ(red(t), 10);
    EXPECT_EQ(green(t), 255);
    EXPECT_EQ(blue(t), 51);
    EXPECT_EQ(alpha(t), 255);
    // Sample mask 0 switches every write off.
    device->OMSetBlendState(nullptr, nullptr, 0);
    draw(fullScreen(0.5f, {0, 0, 0, 0}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    EXPECT_EQ(readBack()[0], t);
}

TEST_F(OutputMergerTest, CoverageReplayedFromTheCacheGivesTheSameFrame) {
    // Two frames of the engine's shape: clear, stencil mask, masked draw. The second frame replays both
    // draws' coverage and still produces identical pixels and depth-stencil effects.
    D3D10_DEPTH_STENCIL_DESC write{
        TRUE, D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_NEVER, TRUE, 0xFF, 0xFF, {}, {}};
    write.FrontFace = write.BackFace = face(D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_REPLACE,
                                            D3D10_STENCIL_OP_REPLACE, D3D10_COMPARISON_ALWAYS);
    D3D10_DEPTH_STENCIL_DESC test{
        TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL, TRUE, 0xFF, 0xFF, {}, {}};
    test.FrontFace = test.BackFace = face(D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP,
                                          D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_GREATER);
    ComPtr<ID3D10DepthStencilState> writeState, testState;
    ASSERT_EQ(device->CreateDepthStencilState(&write, writeState.put()), S_OK);
    ASSERT_EQ(device->CreateDepthStencilState(&test, testState.put()), S_OK);
    std::vector<Vertex> mask = {V(-1, -1), V(-1, 1), V(0.2f, -1), V(-0.3f, 1)};
    std::vector<Vertex> picture = {V(-1, -1, 0.5f, 1, {1, 0, 0, 1}), V(-1, 1, 0.5f, 1, {0, 1, 0, 1}),
                                   V(1, -1, 0.5f, 1, {0, 0, 1, 1}), V(1, 1, 0.5f, 1, {1, 1, 1, 1})};
    auto frame = [&](std::array<float, 4> tint) {
        clear();
        device->OMSetDepthStencilState(writeState.get(), 1);
        draw(mask, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        device->OMSetDepthStencilState(testState.get(), 1);
        std::vector<Vertex> p = picture;
        for (auto& v : p) v.r *= tint[0], v.g *= tint[1], v.b *= tint[2];
        draw(p, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        return readBack();
    };
    ClearCoverageCache(device.get());
    auto first = frame({1, 1, 1, 1});
    auto before = GetCoverageCacheStats(device.get());
    auto second = frame({1, 1, 1, 1});
    auto after = GetCoverageCacheStats(device.get());
    EXPECT_EQ(first, second);
    EXPECT_EQ(after.hits - before.hits, 2u);
    EXPECT_EQ(after.misses, before.misses);
    // Changed vertex colours are a different draw: it rasterises afresh and still matches.
    ClearCoverageCache(device.get());
    auto fresh = frame({0.5f, 1, 1, 1});
    auto replayed = frame({0.5f, 1, 1, 1});
    EXPECT_EQ(fresh, replayed);
    EXPECT_NE(fresh, first);
}

// Every lane merger on this processor writes the bytes of the portable merge: colours in and beyond
// [0, 1], at the rounding halves, negative zero, infinities and NaN; lanes in runs across rows; with
// and without source-alpha blending (whose opaque batches take the direct path), in whole batches and
// in tails.
TEST(LaneMergers, EveryMergerWritesThePortableBytes) {
    std::vector<std::pair<const char*, LaneMerger>> mergers;
    if (IsaSupported(Isa::Avx2)) mergers.push_back({"AVX2", detail::Avx2LaneMerger()});
    if (LaneMerger wide = detail::Avx512LaneMerger()) mergers.push_back({"AVX-512", wide});
    if (mergers.empty()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(3);
    const float special[] = {-0.0f,
                             0.5f / 255,
                             1.5f / 255,
                             254.5f / 255,
                             1.0f,
                             1.0001f,
                             -1e-30f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()};
    alignas(64) float colour[4][kLanes];
    float* const channels[4] = {colour[0], colour[1], colour[2], colour[3]};
    constexpr uint32_t kWidth = 40, kHeight = 6;
    for (int round = 0; round < 60; ++round) {
        const bool opaque = round % 3 == 0;
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < kLanes; ++i) {
                const int pick = int(random() % 14);
                colour[c][i] = pick < 10 ? special[pick] : float(int(random() % 3000) - 1000) / 1000.0f;
                if (c == 3 && opaque) colour[c][i] = random() % 2 ? 1.0f : 1.25f;
            }
        LanePositions at;
        const int n = std::array{kLanes, kLanes - 3, 17, 16, 5}[round % 5];
        for (int lane = 0; lane < n;) {
            const int length = std::min(n - lane, 1 + int(random() % 24));
            at.runs[at.runCount++] = {lane, length, int32_t(random() % (kWidth - 24)),
                                      int32_t(random() % kHeight)};
            lane += length;
        }
        for (bool blend : {false, true}) {
            std::vector<uint8_t> expected(kWidth * kHeight * 4);
            for (uint8_t& b : expected) b = uint8_t(random());
            RenderTargetSetup t;
            t.width = kWidth, t.height = kHeight, t.pitch = kWidth * 4, t.bytes = 4;
            t.format = DXGI_FORMAT_R8G8B8A8_UNORM;
            t.blend = blend;
            t.srcBlend = D3D10_BLEND_SRC_ALPHA, t.destBlend = D3D10_BLEND_INV_SRC_ALPHA;
            PrepareRenderTarget(t);
            const std::vector<uint8_t> before = expected;
            t.data = expected.data();
            MergeLanes(t, channels, at, n);
            for (const auto& [name, merge] : mergers) {
                std::vector<uint8_t> got = before;
                t.data = got.data();
                merge(t, channels, at, n);
                ASSERT_EQ(got, expected) << name << " round " << round << (blend ? " blended" : "");
            }
        }
    }
}

} // namespace
} // namespace platform::d3d10::testing
