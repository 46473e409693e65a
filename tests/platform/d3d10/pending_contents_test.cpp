// Clears that are filled in only when something reads them, depth-stencil writes replayed behind a
// pending clear, and staging copies that read their source until it changes: none of it may show.
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

using PendingContentsTest = DeviceTest;

std::vector<Vertex> quad(float x0, float y0, float x1, float y1, std::array<float, 4> c, float z = 0.5f) {
    return {V(x0, y0, z, 1, c), V(x0, y1, z, 1, c), V(x1, y0, z, 1, c), V(x1, y1, z, 1, c)};
}

constexpr uint32_t kRed = 0xFF0000FF, kGreen = 0xFF00FF00, kBlue = 0xFFFF0000, kBlack = 0xFF000000;

ComPtr<ID3D10Texture2D> stagingFor(ID3D10Device* device, ID3D10Texture2D* texture, UINT access) {
    D3D10_TEXTURE2D_DESC d;
    texture->GetDesc(&d);
    d.Usage = D3D10_USAGE_STAGING;
    d.BindFlags = 0;
    d.CPUAccessFlags = access;
    ComPtr<ID3D10Texture2D> staging;
    EXPECT_EQ(device->CreateTexture2D(&d, nullptr, staging.put()), S_OK);
    return staging;
}

uint32_t texelAt(const D3D10_MAPPED_TEXTURE2D& m, UINT x, UINT y) {
    uint32_t t;
    std::memcpy(&t, static_cast<const uint8_t*>(m.pData) + size_t(y) * m.RowPitch + x * 4, 4);
    return t;
}

TEST_F(PendingContentsTest, StagingCopyKeepsItsBytesWhileAndAfterTheSourceChanges) {
    draw(quad(-1, -1, 1, 1, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto staging = stagingFor(device.get(), colourTarget.get(), D3D10_CPU_ACCESS_READ);
    device->CopyResource(staging.get(), colourTarget.get());
    D3D10_MAPPED_TEXTURE2D m{};
    ASSERT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
    ASSERT_EQ(texelAt(m, 5, 5), kRed);

    // A clear and a partial draw of the source while the copy is mapped: the mapping stays as it was.
    clear({0, 0, 1, 1});
    draw(quad(-1, -1, 0, 1, {0, 1, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x) ASSERT_EQ(texelAt(m, x, y), kRed) << x << "," << y;
    staging->Unmap(0);

    ASSERT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
    EXPECT_EQ(texelAt(m, kWidth - 1, kHeight - 1), kRed);
    staging->Unmap(0);
    auto now = readBack();
    EXPECT_EQ(now[0], kGreen);
    EXPECT_EQ(now[kWidth - 1], kBlue);
}

TEST_F(PendingContentsTest, DrawAfterACopyKeepsTheSourceBytesItDoesNotCover) {
    draw(quad(-1, -1, 1, 1, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto staging = stagingFor(device.get(), colourTarget.get(), D3D10_CPU_ACCESS_READ);
    device->CopyResource(staging.get(), colourTarget.get());
    // The left half, nearer, with no clear.
    draw(quad(-1, -1, 0, 1, {0, 1, 0, 1}, 0.25f), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto now = readBack();
    EXPECT_EQ(now[0], kGreen);
    EXPECT_EQ(now[kWidth - 1], kRed);
    auto copied = readBack(staging.get());
    for (uint32_t t : copied) ASSERT_EQ(t, kRed);
}

// Two staging copies of one texture, then every way the source's bytes change: each copy keeps what
// it was copied from. An update and a write map change the source's bytes in place; a clear replaces
// them all; the second pair of copies is taken from a dynamic texture.
TEST_F(PendingContentsTest, StagingCopiesKeepTheirBytesWhenTheSourceIsUpdatedMappedOrCleared) {
    auto check = [&](ID3D10Texture2D* copy, uint32_t texel, const char* what) {
        auto bytes = readBack(copy);
        for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], texel) << what << " texel " << i;
    };
    clear({1, 0, 0, 1});
    auto first = stagingFor(device.get(), colourTarget.get(), D3D10_CPU_ACCESS_READ);
    auto second = stagingFor(device.get(), colourTarget.get(), D3D10_CPU_ACCESS_READ);
    device->CopyResource(first.get(), colourTarget.get());
    device->CopyResource(second.get(), colourTarget.get());
    const std::vector<uint32_t> blue(4, kBlue);
    D3D10_BOX box{0, 0, 0, 2, 2, 1};
    device->UpdateSubresource(colourTarget.get(), 0, &box, blue.data(), 8, 0);
    EXPECT_EQ(readBack()[0], kBlue);
    check(first.get(), kRed, "updated, first copy");
    check(second.get(), kRed, "updated, second copy");

    device->CopyResource(first.get(), colourTarget.get());
    device->CopyResource(second.get(), colourTarget.get());
    clear({0, 1, 0, 1});
    EXPECT_EQ(readBack()[0], kGreen);
    for (ID3D10Texture2D* copy : {first.get(), second.get()}) {
        auto bytes = readBack(copy);
        EXPECT_EQ(bytes[0], kBlue);
        EXPECT_EQ(bytes[kWidth * 2 + 2], kRed);
    }

    D3D10_TEXTURE2D_DESC d;
    colourTarget->GetDesc(&d);
    d.Usage = D3D10_USAGE_DYNAMIC;
    d.BindFlags = D3D10_BIND_SHADER_RESOURCE;
    d.CPUAccessFlags = D3D10_CPU_ACCESS_WRITE;
    ComPtr<ID3D10Texture2D> dynamic;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, dynamic.put()), S_OK);
    auto fill = [&](uint32_t texel) {
        D3D10_MAPPED_TEXTURE2D m{};
        ASSERT_EQ(dynamic->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &m), S_OK);
        for (UINT y = 0; y < kHeight; ++y)
            for (UINT x = 0; x < kWidth; ++x)
                std::memcpy(static_cast<uint8_t*>(m.pData) + y * m.RowPitch + x * 4, &texel, 4);
        dynamic->Unmap(0);
    };
    fill(kRed);
    device->CopyResource(first.get(), dynamic.get());
    device->CopyResource(second.get(), dynamic.get());
    fill(kBlue);
    check(first.get(), kRed, "mapped, first copy");
    check(second.get(), kRed, "mapped, second copy");
    check(dynamic.get(), kBlue, "mapped source");
}

TEST_F(PendingContentsTest, WritingAStagingCopyLeavesItsSourceAlone) {
    draw(quad(-1, -1, 1, 1, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto staging =
        stagingFor(device.get(), colourTarget.get(), D3D10_CPU_ACCESS_READ | D3D10_CPU_ACCESS_WRITE);
    device->CopyResource(staging.get(), colourTarget.get());
    D3D10_MAPPED_TEXTURE2D m{};
    ASSERT_EQ(staging->Map(0, D3D10_MAP_READ_WRITE, 0, &m), S_OK);
    EXPECT_EQ(texelAt(m, 3, 3), kRed);
    std::memcpy(static_cast<uint8_t*>(m.pData) + 3 * m.RowPitch + 3 * 4, &kBlue, 4);
    staging->Unmap(0);
    EXPECT_EQ(readBack()[3 * kWidth + 3], kRed);
    EXPECT_EQ(readBack(staging.get())[3 * kWidth + 3], kBlue);
}

TEST_F(PendingContentsTest, ClearReadsBackWholeAndUnderPartialWrites) {
    clear({0, 0, 1, 1});
    for (uint32_t t : readBack()) ASSERT_EQ(t, kBlue);

    clear({0, 1, 0, 1});
    const uint32_t box[4] = {kRed, kRed, kRed, kRed};
    D3D10_BOX b{2, 1, 0, 4, 3, 1};
    device->UpdateSubresource(colourTarget.get(), 0, &b, box, 8, 0);
    auto pixels = readBack();
    EXPECT_EQ(pixels[1 * kWidth + 2], kRed);
    EXPECT_EQ(pixels[2 * kWidth + 3], kRed);
    EXPECT_EQ(pixels[1 * kWidth + 4], kGreen);
    EXPECT_EQ(pixels[0], kGreen);

    // A copy of a cleared texture reads the clear.
    D3D10_TEXTURE2D_DESC d;
    colourTarget->GetDesc(&d);
    ComPtr<ID3D10Texture2D> other;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, other.put()), S_OK);
    clear({1, 0, 0, 1});
    device->CopyResource(other.get(), colourTarget.get());
    for (uint32_t t : readBack(other.get())) ASSERT_EQ(t, kRed);
}

// The engine's frame: clear, a stencil mask, a depth-writing draw tested against it; replayed frames
// keep their depth-stencil writes pending behind the clear. A later draw that must read the surface
// sees exactly what a device that rasterised everything sees.
TEST_F(PendingContentsTest, ReplayedDepthStencilWritesReachALaterDraw) {
    D3D10_DEPTH_STENCIL_DESC write{
        TRUE, D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_NEVER, TRUE, 0xFF, 0xFF, {}, {}};
    write.FrontFace = write.BackFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_REPLACE,
                                        D3D10_STENCIL_OP_REPLACE, D3D10_COMPARISON_ALWAYS};
    D3D10_DEPTH_STENCIL_DESC test{
        TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL, TRUE, 0xFF, 0xFF, {}, {}};
    test.FrontFace = test.BackFace = {D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                                      D3D10_COMPARISON_GREATER};
    ComPtr<ID3D10DepthStencilState> writeState, testState;
    ASSERT_EQ(device->CreateDepthStencilState(&write, writeState.put()), S_OK);
    ASSERT_EQ(device->CreateDepthStencilState(&test, testState.put()), S_OK);

    auto frame = [&] {
        clear();
        device->OMSetDepthStencilState(writeState.get(), 1);
        draw(quad(-1, -1, -0.5f, 1, {0, 1, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        device->OMSetDepthStencilState(testState.get(), 1);
        draw(quad(-1, -1, 0.5f, 0.5f, {1, 0, 0, 1}, 0.3f), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    };
    auto later = [&] { // depth and stencil decide where this lands
        draw(quad(-1, -1, 1, 1, {0, 0, 1, 1}, 0.4f), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    };
    frame();
    frame();
    frame(); // replayed: both draws' depth-stencil writes pending
    EXPECT_GE(GetCoverageCacheStats(device.get()).hits, 2u);
    later();
    auto replayed = readBack();

    ClearCoverageCache(device.get());
    frame();
    later();
    EXPECT_EQ(readBack(), replayed);
    EXPECT_EQ(replayed[kWidth * 5 + 1], kBlack);                    // masked: nothing drawn
    EXPECT_EQ(replayed[kWidth * (kHeight - 1) + kWidth / 2], kRed); // nearer depth kept
    EXPECT_EQ(replayed[kWidth * 2 + kWidth - 2], kBlue);
}

// Replayed draws fill a pending clear in only around the pixels they write, and blend those with the
// clear colour: every frame reads back as on a device that filled the whole clear first. Draw A
// writes each pixel once (blended, half its channels masked); draw B's quads overlap, and draw C's
// two triangles share pixels on one row only (rows 8-10 and, nearer, 10-13), so both must see the
// whole clear filled in; a second draw of a frame blends over the first.
TEST_F(PendingContentsTest, ReplayedDrawsOverAPendingClearMatchAFullFill) {
    D3D10_BLEND_DESC b{};
    b.BlendEnable[0] = TRUE;
    b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
    b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
    b.SrcBlendAlpha = D3D10_BLEND_ONE;
    b.DestBlendAlpha = D3D10_BLEND_ZERO;
    b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
    b.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_RED | D3D10_COLOR_WRITE_ENABLE_BLUE;
    ComPtr<ID3D10BlendState> masked;
    ASSERT_EQ(device->CreateBlendState(&b, masked.put()), S_OK);
    ComPtr<ID3D10BlendState> adding = additive();
    std::vector<Vertex> overlapping = quad(0.0f, -0.5f, 0.75f, 0.5f, {0, 1, 0, 0.5f});
    const std::vector<Vertex> above = quad(-0.75f, -1, 0.5f, 0.25f, {1, 1, 0, 0.25f}, 0.25f);
    overlapping.insert(overlapping.end(), above.begin(), above.end());
    auto ndcX = [](float x) { return 2.0f * x / float(kWidth) - 1.0f; };
    auto ndcY = [](float y) { return 1.0f - 2.0f * y / float(kHeight); };
    const std::array<float, 4> dim{0.25f, 0.125f, 0.0f, 0.25f};
    const std::vector<Vertex> touching = {
        V(ndcX(4), ndcY(8), 0.5f, 1, dim),    V(ndcX(36), ndcY(8), 0.5f, 1, dim),
        V(ndcX(20), ndcY(11), 0.5f, 1, dim),  V(ndcX(20), ndcY(10), 0.25f, 1, dim),
        V(ndcX(36), ndcY(14), 0.25f, 1, dim), V(ndcX(4), ndcY(14), 0.25f, 1, dim)};

    auto drawA = [&] {
        device->OMSetBlendState(masked.get(), nullptr, 0xFFFFFFFF);
        draw(quad(-0.5f, -0.75f, 0.25f, 0.5f, {1, 0.25f, 0.5f, 0.5f}),
             D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    };
    auto drawB = [&] {
        device->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFF);
        std::vector<Vertex> list;
        for (size_t q = 0; q < overlapping.size(); q += 4)
            for (size_t k : {0, 1, 2, 2, 1, 3}) list.push_back(overlapping[q + k]);
        draw(list, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    };
    auto drawC = [&] {
        device->OMSetBlendState(adding.get(), nullptr, 0xFFFFFFFF);
        draw(touching, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    };
    auto frame = [&](int i) {
        clear({0.1f * float(i), 0.5f, 1.0f - 0.1f * float(i), 1});
        device->OMSetDepthStencilState(nullptr, 0);
        switch (i % 3) {
        case 0:
            drawA();
            drawB();
            break;
        case 1:
            drawB();
            drawA();
            break;
        default:
            drawC();
            break;
        }
        return readBack();
    };
    std::vector<std::vector<uint32_t>> replayed;
    for (int i = 0; i < 9; ++i) replayed.push_back(frame(i));
    EXPECT_GE(GetCoverageCacheStats(device.get()).hits, 10u);
    for (int i = 0; i < 9; ++i) {
        ClearCoverageCache(device.get());
        EXPECT_EQ(frame(i), replayed[i]) << "frame " << i;
    }
}

// The engine's frame on one clear colour: clear, draw, copy to a staging texture kept from frame to
// frame, read. Replays find the pixels around the draw filled in by an earlier replay; whatever wrote
// the target's bytes since (an update, another draw, a write through the staging texture whose bytes
// come back to the target) must make the next frame fill them in again.
TEST_F(PendingContentsTest, ReplaysOnOneClearStayRightWhateverWroteTheBytesBetween) {
    auto staging =
        stagingFor(device.get(), colourTarget.get(), D3D10_CPU_ACCESS_READ | D3D10_CPU_ACCESS_WRITE);
    auto frame = [&](std::array<float, 4> colour = {0.25f, 0.5f, 0.75f, 1}) {
        clear(colour);
        draw(quad(-0.5f, -0.75f, 0.25f, 0.5f, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        device->CopyResource(staging.get(), colourTarget.get());
        D3D10_MAPPED_TEXTURE2D m{};
        EXPECT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
        std::vector<uint32_t> out(size_t(kWidth) * kHeight);
        for (UINT y = 0; y < kHeight; ++y)
            for (UINT x = 0; x < kWidth; ++x) out[y * kWidth + x] = texelAt(m, x, y);
        staging->Unmap(0);
        return out;
    };
    const std::vector<uint32_t> expect = frame();
    EXPECT_EQ(expect[0], 0xFFBF8040u);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(frame(), expect) << "replay " << i;

    const std::vector<uint32_t> red(16, kRed);
    D3D10_BOX box{1, 1, 0, 5, 5, 1};
    device->UpdateSubresource(colourTarget.get(), 0, &box, red.data(), 16, 0);
    EXPECT_EQ(frame(), expect) << "after an update";
    EXPECT_EQ(frame(), expect);

    draw(quad(-1, -1, 1, 1, {0, 1, 0, 1}, 0.25f), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    EXPECT_EQ(frame(), expect) << "after another draw";
    EXPECT_EQ(frame(), expect);

    // The staging texture holds the target's former bytes after the frame's clear took them over;
    // scribbled on, they come back to the target at the next frame's clear.
    for (int i = 0; i < 2; ++i) {
        D3D10_MAPPED_TEXTURE2D m{};
        ASSERT_EQ(staging->Map(0, D3D10_MAP_WRITE, 0, &m), S_OK);
        for (UINT y = 0; y < kHeight; ++y)
            std::memset(static_cast<uint8_t*>(m.pData) + y * m.RowPitch, 0x5A, kWidth * 4);
        staging->Unmap(0);
        EXPECT_EQ(frame(), expect) << "after a staging write " << i;
        EXPECT_EQ(frame(), expect);
    }

    // Another clear colour has to be filled in again.
    ClearCoverageCache(device.get());
    const std::vector<uint32_t> green = frame({0, 1, 0, 1});
    EXPECT_EQ(green[0], kGreen);
    for (int i = 0; i < 3; ++i) frame();
    EXPECT_EQ(frame({0, 1, 0, 1}), green);
    EXPECT_EQ(frame({0, 1, 0, 1}), green);
}

// Replays in viewports side by side, as the quad view draws, leave the clear pending around all of
// them and have it filled in once something reads the target; a replay finds it filled in already
// only when the same draws came over the same clear. Every frame must read back as on a device that
// filled the whole clear first: with a view left out (its pixels read as the clear, not as the last
// frame's), in another order, in more viewports than a clear is left pending around, over one another.
TEST_F(PendingContentsTest, ReplaysSideBySideMatchAFullFill) {
    ComPtr<ID3D10BlendState> adding = additive();
    // Without a depth test every draw's coverage is the same whatever was drawn before it.
    D3D10_DEPTH_STENCIL_DESC none{
        FALSE, D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_ALWAYS, FALSE, 0xFF, 0xFF, {}, {}};
    none.FrontFace = none.BackFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                                      D3D10_COMPARISON_ALWAYS};
    ComPtr<ID3D10DepthStencilState> noDepth;
    ASSERT_EQ(device->CreateDepthStencilState(&none, noDepth.put()), S_OK);
    device->OMSetDepthStencilState(noDepth.get(), 0);
    struct View {
        INT x, y;
        UINT w, h;
    };
    auto grid = [](int across, int down) {
        std::vector<View> views;
        for (int j = 0; j < down; ++j)
            for (int i = 0; i < across; ++i)
                views.push_back({INT(kWidth * i / across), INT(kHeight * j / down), UINT(kWidth / across),
                                 UINT(kHeight / down)});
        return views;
    };
    const std::vector<View> quarters = grid(2, 2), ninths = grid(3, 3);
    auto frame = [&](std::array<float, 4> colour, const std::vector<View>& views, std::vector<int> order) {
        clear(colour);
        for (int v : order) {
            const View& view = views[size_t(v)];
            setViewport(view.x, view.y, view.w, view.h);
            device->OMSetBlendState(v % 2 ? adding.get() : nullptr, nullptr, 0xFFFFFFFF);
            const float c = 0.125f * float(v % 4);
            draw(quad(-0.75f, -0.5f + 0.125f * float(v % 3), 0.5f, 0.75f, {c, 0.25f, 1 - c, 0.5f}),
                 D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        }
        setViewport(0, 0, kWidth, kHeight);
        return readBack();
    };
    const std::array<float, 4> grey{0.25f, 0.5f, 0.75f, 1}, dark{0.0f, 0.125f, 0.25f, 1};
    const std::vector<View> overlapping = {{0, 0, 40, 30}, {12, 8, 40, 30}};
    const std::vector<std::tuple<std::array<float, 4>, const std::vector<View>*, std::vector<int>>> frames = {
        {grey, &quarters, {0, 1, 2, 3}},
        {grey, &quarters, {0, 1, 2, 3}},
        {grey, &quarters, {0, 1, 2, 3}},
        {grey, &quarters, {0, 1, 3}},
        {grey, &quarters, {0, 1, 2}},
        {grey, &quarters, {0, 1, 2, 3}},
        {dark, &quarters, {0, 1, 2, 3}},
        {dark, &quarters, {3, 2, 1, 0}},
        {dark, &ninths, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {dark, &ninths, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {grey, &overlapping, {0, 1}},
        {grey, &quarters, {0, 1, 2, 3}},
        {grey, &overlapping, {0, 1}},
        {grey, &quarters, {0, 1, 2, 3}},
    };
    std::vector<std::vector<uint32_t>> replayed;
    for (const auto& [colour, views, order] : frames) replayed.push_back(frame(colour, *views, order));
    EXPECT_GE(GetCoverageCacheStats(device.get()).hits, 30u);
    for (size_t i = 0; i < frames.size(); ++i) {
        ClearCoverageCache(device.get());
        const auto& [colour, views, order] = frames[i];
        EXPECT_EQ(frame(colour, *views, order), replayed[i]) << "frame " << i;
    }
    // A view left out reads as the clear where its quad was drawn the frame before.
    EXPECT_EQ(replayed[3][32 * kWidth + 14], 0xFFBF8040u);
    EXPECT_EQ(replayed[4][32 * kWidth + 46], 0xFFBF8040u);
    EXPECT_NE(replayed[2][32 * kWidth + 46], 0xFFBF8040u);
}

TEST_F(PendingContentsTest, PartialDepthStencilClearKeepsThePendingPart) {
    D3D10_DEPTH_STENCIL_DESC equal{
        FALSE, D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_ALWAYS, TRUE, 0xFF, 0xFF, {}, {}};
    equal.FrontFace = equal.BackFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                                        D3D10_COMPARISON_EQUAL};
    ComPtr<ID3D10DepthStencilState> state;
    ASSERT_EQ(device->CreateDepthStencilState(&equal, state.put()), S_OK);
    device->ClearDepthStencilView(depthView.get(), D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 7);
    device->ClearDepthStencilView(depthView.get(), D3D10_CLEAR_DEPTH, 0.25f, 0);
    device->OMSetDepthStencilState(state.get(), 7);
    draw(quad(-1, -1, 1, 1, {1, 0, 0, 1}), D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    for (uint32_t t : readBack()) ASSERT_EQ(t, kRed);
}

} // namespace
} // namespace platform::d3d10::testing
