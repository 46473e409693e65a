// Rasterisation through the device: coverage rules, clipping, culling and lines.
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "platform/d3d10/format.h"
#include "platform/d3d10/rasterizer.h"
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

using RasterizerTest = DeviceTest;

// The pixels a walk over spans visits, in order.
std::vector<std::pair<int, int>> pixelsOf(const std::vector<Span>& spans) {
    std::vector<std::pair<int, int>> out;
    for (const Span& s : spans)
        for (int x = s.x0; x < s.x1; ++x) out.emplace_back(s.y, x);
    return out;
}

TEST(OrderSpans, DisjointSpansAreSortedAndJoinedOverlappingOnesKeepTheirOrder) {
    // Two triangles' rows, in primitive order: the second fills the gaps of the first's rows.
    CoverageBand band;
    band.spans = {{3, 10, 14, 0}, {4, 9, 15, 0}, {3, 14, 20, 1}, {4, 2, 9, 1}, {4, 30, 31, 1}};
    OrderSpans(band);
    std::vector<std::pair<int, int>> expected;
    for (int x = 10; x < 20; ++x) expected.emplace_back(3, x);
    for (int x = 2; x < 15; ++x) expected.emplace_back(4, x);
    expected.emplace_back(4, 30);
    EXPECT_EQ(pixelsOf(band.spans), expected);
    EXPECT_EQ(pixelsOf(band.replaySpans()), expected);
    ASSERT_EQ(band.rows.size(), 3u); // a gap keeps (4, 30) apart
    // Each span keeps its own primitive, which the first shading interpolates from.
    for (const Span& s : band.spans) EXPECT_EQ(s.primitive, s.x0 == 10 || s.x0 == 9 ? 0u : 1u);

    // A pixel covered twice: blending order matters, so nothing moves.
    CoverageBand shared;
    shared.spans = {{5, 0, 8, 0}, {2, 0, 4, 1}, {5, 7, 9, 2}};
    const std::vector<Span> original = shared.spans;
    OrderSpans(shared);
    EXPECT_TRUE(shared.rows.empty());
    EXPECT_EQ(pixelsOf(shared.spans), pixelsOf(original));
    EXPECT_EQ(shared.spans[1].primitive, 1u);

    // Sorted spans with nothing to join are walked as they are.
    CoverageBand apart;
    apart.spans = {{1, 5, 6, 0}, {0, 0, 2, 1}};
    OrderSpans(apart);
    EXPECT_TRUE(apart.rows.empty());
    EXPECT_EQ(pixelsOf(apart.replaySpans()), (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 5}}));
}

// Rows cut into disjoint spans at random and dealt out in random order (rows apart, rows empty): the
// walk is every row's pixels left to right, top to bottom; two spans starting at one pixel keep theirs.
TEST(OrderSpans, ShuffledRowsComeBackInRowAndColumnOrder) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 20; ++trial) {
        CoverageBand band;
        std::vector<std::pair<int, int>> expected;
        for (uint16_t y = 600; y < 640; y += uint16_t(1 + random() % 3)) {
            uint16_t x = uint16_t(random() % 5);
            while (x < 1200) {
                uint16_t end = uint16_t(x + 1 + random() % 40);
                band.spans.push_back({y, x, end, uint32_t(band.spans.size())});
                for (int i = x; i < end; ++i) expected.emplace_back(y, i);
                x = uint16_t(end + random() % 3);
            }
        }
        std::shuffle(band.spans.begin(), band.spans.end(), random);
        OrderSpans(band);
        ASSERT_EQ(pixelsOf(band.spans), expected);
        ASSERT_EQ(pixelsOf(band.replaySpans()), expected);
        CoverageBand twice = band;
        twice.spans.push_back({twice.spans[5].y, twice.spans[5].x0, uint16_t(twice.spans[5].x0 + 1), 9});
        const std::vector<Span> original = twice.spans;
        OrderSpans(twice);
        EXPECT_TRUE(twice.rows.empty());
        EXPECT_EQ(pixelsOf(twice.spans), pixelsOf(original));
    }
}

// A draw's rows go to its parts in contiguous runs that cover every row once and hold about the same
// number of covered pixels, however the coverage lies within the bounds: here a mesh of small
// triangles over the bottom rows only, reaching past the bounds on both sides.
TEST(RowSplit, ContiguousRunsHoldEqualSharesOfTheCoveredPixels) {
    const PixelRect bounds{0, 100, 200, 300};
    PrimitiveSet set;
    auto triangle = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
        RasterTriangle t{{x0 * 256, x1 * 256, x2 * 256},
                         {y0 * 256, y1 * 256, y2 * 256},
                         int32_t(std::max<int64_t>(std::min({x0, x1, x2}), bounds.left)),
                         int32_t(std::max<int64_t>(std::min({y0, y1, y2}), bounds.top)),
                         int32_t(std::min<int64_t>(std::max({x0, x1, x2}), bounds.right - 1)),
                         int32_t(std::min<int64_t>(std::max({y0, y1, y2}), bounds.bottom - 1)),
                         uint32_t(set.triangles.size())};
        set.triangles.push_back(t);
    };
    for (int64_t y = 220; y < 300; y += 10)
        for (int64_t x = -50; x < 250; x += 10) {
            triangle(x, y, x + 10, y, x, y + 10);
            triangle(x + 10, y, x + 10, y + 10, x, y + 10);
        }
    for (unsigned parts : {1u, 2u, 3u, 4u}) {
        const RowSplit split(set, bounds, parts);
        EXPECT_EQ(split.rows(0).begin, INT32_MIN);
        EXPECT_EQ(split.rows(parts - 1).end, INT32_MAX);
        std::vector<size_t> pixels;
        for (unsigned p = 0; p < parts; ++p) {
            if (p + 1 < parts) {
                EXPECT_EQ(split.rows(p).end, split.rows(p + 1).begin) << parts << " parts";
            }
            CoverageBand band;
            RasterizeBand(set, bounds, nullptr, split.rows(p), band);
            size_t n = 0;
            for (const Span& s : band.spans) {
                EXPECT_TRUE(split.rows(p).contains(s.y));
                n += s.x1 - s.x0;
            }
            pixels.push_back(n);
        }
        const size_t total = 200 * 80;
        for (size_t n : pixels) EXPECT_NEAR(double(n), double(total) / parts, 0.05 * total / parts) << parts;
    }
    // Without coverage the bounds' rows are split evenly.
    const RowSplit empty(PrimitiveSet{}, bounds, 2);
    EXPECT_EQ(empty.rows(0).end, 200);
}

// The depth and stencil tests of random states on a surface holding every stencil value, for a front
// and a back-facing triangle, against the tests applied pixel by pixel as Direct3D 10 defines them.
// Random triangles, small and reaching far beyond the bounds, slivers, flat edges and vertices on pixel
// centres, over the whole rectangle and over a band of its rows: each covers exactly the pixels whose
// centre lies inside all three edges, or on a top or left one, as each edge function evaluated at the
// centre says.
TEST(RasterizeBand, TrianglesCoverThePixelsTheirEdgesEnclose) {
    const PixelRect bounds{3, 2, 61, 45};
    std::mt19937 random(5);
    auto coordinate = [&](int64_t lo, int64_t hi) {
        const int64_t v = lo * 256 + int64_t(random() % uint64_t((hi - lo) * 256));
        return random() % 4 == 0 ? (v & ~int64_t(255)) + 128 : v; // on a pixel centre now and then
    };
    // A vertex on a pixel centre: edges between two such pass through centres, where the rule for
    // centres on an edge decides.
    auto centre = [&](int64_t lo, int64_t hi) {
        return (lo + int64_t(random() % uint64_t(hi - lo))) * 256 + 128;
    };
    for (int trial = 0; trial < 400; ++trial) {
        const int64_t reach = trial % 3 == 0 ? 3000 : 70;
        int64_t x[3], y[3];
        for (int i = 0; i < 3; ++i) {
            if (trial % 4 == 3)
                x[i] = centre(-reach, reach), y[i] = centre(-reach, reach);
            else
                x[i] = coordinate(-reach, reach), y[i] = coordinate(-reach, reach);
        }
        if (trial % 5 == 1) y[1] = y[0];     // a flat edge
        if (trial % 7 == 2) x[2] = x[0] + 1; // a sliver
        int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
        if (area == 0) continue;
        if (area < 0) std::swap(x[1], x[2]), std::swap(y[1], y[2]); // clockwise, y down
        auto firstPixel = [](int64_t f) { return int32_t((f - 128 + 255) >> 8); };
        auto lastPixel = [](int64_t f) { return int32_t((f - 128) >> 8); };
        RasterTriangle t{{x[0], x[1], x[2]},
                         {y[0], y[1], y[2]},
                         std::max(firstPixel(std::min({x[0], x[1], x[2]})), bounds.left),
                         std::max(firstPixel(std::min({y[0], y[1], y[2]})), bounds.top),
                         std::min(lastPixel(std::max({x[0], x[1], x[2]})), bounds.right - 1),
                         std::min(lastPixel(std::max({y[0], y[1], y[2]})), bounds.bottom - 1),
                         0};
        if (t.minX > t.maxX || t.minY > t.maxY) continue;
        PrimitiveSet set;
        set.triangles.push_back(t);
        set.primitives.push_back({});
        const RowRange rows = trial % 2 ? PartRowRange(bounds, 1, 3) : RowSplit().rows(0);
        std::vector<std::pair<int, int>> expected;
        for (int py = std::max(bounds.top, rows.begin); py < std::min(bounds.bottom, rows.end); ++py)
            for (int px = bounds.left; px < bounds.right; ++px) {
                bool inside = true;
                for (int i = 0; i < 3; ++i) {
                    const int j = (i + 1) % 3;
                    const int64_t dx = x[j] - x[i], dy = y[j] - y[i];
                    const int64_t e =
                        dx * (int64_t(py) * 256 + 128 - y[i]) - dy * (int64_t(px) * 256 + 128 - x[i]);
                    const bool topOrLeft = (dy == 0 && dx > 0) || dy < 0;
                    inside = inside && (e > 0 || (e == 0 && topOrLeft));
                }
                if (inside) expected.emplace_back(py, px);
            }
        CoverageBand band;
        RasterizeBand(set, bounds, nullptr, rows, band);
        ASSERT_EQ(pixelsOf(band.spans), expected) << "trial " << trial;
    }
}

TEST(RasterizeBand, DepthAndStencilTestsOfRandomStatesFollowTheRules) {
    constexpr int32_t kW = 32, kH = 16;
    PrimitiveSet set;
    auto triangle = [&](std::array<int64_t, 6> p, bool front) {
        RasterTriangle t{
            {p[0] * 256, p[2] * 256, p[4] * 256}, {p[1] * 256, p[3] * 256, p[5] * 256}, 0, 0, kW - 1, kH - 1,
            uint32_t(set.primitives.size())};
        set.triangles.push_back(t);
        set.primitives.push_back({0.0f, 0.0f, {0.5f, 0.011f, -0.023f}, {1.0f, 0.0f, 0.0f}, 0, front});
    };
    triangle({0, 0, kW, 0, 0, kH}, true);
    triangle({kW, 0, kW, kH, 0, kH}, false);
    const PixelRect bounds{0, 0, kW, kH};
    CoverageBand all;
    RasterizeBand(set, bounds, nullptr, RowSplit().rows(0), all);

    auto compare = [](D3D10_COMPARISON_FUNC f, uint32_t a, uint32_t b) {
        switch (f) {
        case D3D10_COMPARISON_NEVER:
            return false;
        case D3D10_COMPARISON_LESS:
            return a < b;
        case D3D10_COMPARISON_EQUAL:
            return a == b;
        case D3D10_COMPARISON_LESS_EQUAL:
            return a <= b;
        case D3D10_COMPARISON_GREATER:
            return a > b;
        case D3D10_COMPARISON_NOT_EQUAL:
            return a != b;
        case D3D10_COMPARISON_GREATER_EQUAL:
            return a >= b;
        default:
            return true;
        }
    };
    auto apply = [](D3D10_STENCIL_OP op, uint32_t s, uint32_t ref) -> uint32_t {
        switch (op) {
        case D3D10_STENCIL_OP_ZERO:
            return 0;
        case D3D10_STENCIL_OP_REPLACE:
            return ref;
        case D3D10_STENCIL_OP_INCR_SAT:
            return std::min(s + 1, 255u);
        case D3D10_STENCIL_OP_DECR_SAT:
            return s ? s - 1 : 0;
        case D3D10_STENCIL_OP_INVERT:
            return ~s & 255;
        case D3D10_STENCIL_OP_INCR:
            return (s + 1) & 255;
        case D3D10_STENCIL_OP_DECR:
            return (s - 1) & 255;
        default:
            return s;
        }
    };
    std::mt19937 random(11);
    auto pick = [&](int first, int last) { return first + int(random() % unsigned(last - first + 1)); };
    for (int trial = 0; trial < 300; ++trial) {
        D3D10_DEPTH_STENCIL_DESC d{};
        d.DepthEnable = pick(0, 3) != 0;
        d.DepthWriteMask = D3D10_DEPTH_WRITE_MASK(pick(0, 1));
        d.DepthFunc = D3D10_COMPARISON_FUNC(pick(1, 8));
        d.StencilEnable = pick(0, 3) != 0;
        d.StencilReadMask = uint8_t(pick(0, 1) ? 0xFF : random());
        d.StencilWriteMask = uint8_t(pick(0, 1) ? 0xFF : random());
        for (D3D10_DEPTH_STENCILOP_DESC* f : {&d.FrontFace, &d.BackFace})
            *f = {D3D10_STENCIL_OP(pick(1, 8)), D3D10_STENCIL_OP(pick(1, 8)), D3D10_STENCIL_OP(pick(1, 8)),
                  D3D10_COMPARISON_FUNC(pick(1, 8))};
        DepthStencilSetup ds;
        ds.pitch = kW;
        ds.desc = d;
        ds.reference = uint8_t(random());
        std::vector<uint32_t> texels(kW * kH), expected;
        for (uint32_t& t : texels) t = (random() & 0x00FFFFFF) | ((random() % 256) << 24);
        texels[5] = 0x00800000u | (uint32_t(ds.reference) << 24); // an equal stencil value
        expected = texels;
        std::vector<uint32_t> before = texels;
        std::vector<std::pair<int, int>> passed;
        for (const Span& span : all.spans) {
            const PrimitivePlanes& pp = set.primitives[span.primitive];
            const D3D10_DEPTH_STENCILOP_DESC& face = pp.front ? d.FrontFace : d.BackFace;
            for (int x = span.x0; x < span.x1; ++x) {
                uint32_t& t = expected[size_t(span.y) * kW + size_t(x)];
                uint32_t stencil = t >> 24, depth = t & 0x00FFFFFF, ref = ds.reference;
                D3D10_STENCIL_OP op = face.StencilPassOp;
                bool pass = true;
                if (d.StencilEnable &&
                    !compare(face.StencilFunc, ref & d.StencilReadMask, stencil & d.StencilReadMask)) {
                    pass = false, op = face.StencilFailOp;
                } else if (d.DepthEnable) {
                    float z = (0.5f + -0.023f * (float(span.y) + 0.5f)) + 0.011f * (float(x) + 0.5f);
                    uint32_t z24 = FloatToUnorm24(std::clamp(z, 0.0f, 1.0f));
                    if (!compare(d.DepthFunc, z24, depth))
                        pass = false, op = face.StencilDepthFailOp;
                    else if (d.DepthWriteMask == D3D10_DEPTH_WRITE_MASK_ALL)
                        depth = z24;
                }
                if (d.StencilEnable)
                    stencil = (stencil & ~uint32_t(d.StencilWriteMask)) |
                              (apply(op, stencil, ref) & d.StencilWriteMask);
                t = depth | (stencil << 24);
                if (pass) passed.emplace_back(span.y, x);
            }
        }
        ds.texels = texels.data();
        CoverageBand band;
        RasterizeBand(set, bounds, &ds, RowSplit().rows(0), band);
        ASSERT_EQ(texels, expected) << "trial " << trial;
        ASSERT_EQ(pixelsOf(band.spans), passed) << "trial " << trial;
        // The recorded writes, replayed on the surface as it was, give the same surface.
        ReplayDepthStencil(band, before.data());
        ASSERT_EQ(before, expected) << "trial " << trial << ": replayed";
    }
}

// Each covered pixel receives 1/4 with additive blending, so a pixel covered twice reads 128.
TEST_F(RasterizerTest, TrianglesSharingAnEdgeCoverEveryPixelOnce) {
    auto blend = additive();
    device->OMSetBlendState(blend.get(), nullptr, 0xFFFFFFFF);
    clear({0, 0, 0, 0});
    // A full-viewport quad split along its diagonal, then random fans around the centre.
    draw({V(-1, -1, 0.5f, 1, {0.25f, 0.25f, 0.25f, 0.25f}), V(-1, 1, 0.5f, 1, {0.25f, 0.25f, 0.25f, 0.25f}),
          V(1, -1, 0.5f, 1, {0.25f, 0.25f, 0.25f, 0.25f}), V(1, 1, 0.5f, 1, {0.25f, 0.25f, 0.25f, 0.25f})},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    for (uint32_t t : readBack()) ASSERT_EQ(red(t), 64) << "quad";

    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-0.9f, 0.9f);
    for (int round = 0; round < 20; ++round) {
        clear({0, 0, 0, 0});
        // A fan of triangles around a random inner point, closing on itself: inside the fan every
        // pixel is covered exactly once, whatever sub-pixel positions the shared edges take.
        float cx = d(rng) * 0.3f, cy = d(rng) * 0.3f;
        const int n = 7;
        std::vector<Vertex> tris;
        std::array<float, 4> c = {0.25f, 0.25f, 0.25f, 0.25f};
        float px[n], py[n];
        for (int i = 0; i < n; ++i) {
            float a = float(i) / n * 6.2831853f + d(rng) * 0.2f;
            float r = 0.6f + d(rng) * 0.3f;
            px[i] = cx + r * std::cos(a);
            py[i] = cy + r * std::sin(a);
        }
        for (int i = 0; i < n; ++i) {
            tris.push_back(V(cx, cy, 0.5f, 1, c));
            tris.push_back(V(px[i], py[i], 0.5f, 1, c));
            tris.push_back(V(px[(i + 1) % n], py[(i + 1) % n], 0.5f, 1, c));
        }
        draw(tris, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        auto pixels = readBack();
        int covered = 0;
        for (uint32_t t : pixels) {
            ASSERT_TRUE(red(t) == 0 || red(t) == 64) << "round " << round << " value " << int(red(t));
            covered += red(t) == 64;
        }
        EXPECT_GT(covered, 100);
    }
}

TEST_F(RasterizerTest, PixelCentresAndTheTopLeftRule) {
    // A square from pixel edge 8 to 16 in both axes: exactly the 8 x 8 pixels 8..15, the right and
    // bottom edges (through centres of no pixel here) excluded by the half-open rule.
    auto px = [&](float x) { return x / float(kWidth) * 2.0f - 1.0f; };
    auto py = [&](float y) { return 1.0f - y / float(kHeight) * 2.0f; };
    draw({V(px(8), py(8)), V(px(16), py(8)), V(px(8), py(16)), V(px(16), py(16))},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto pixels = readBack();
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            EXPECT_EQ(red(pixels[y * kWidth + x]) == 255, x >= 8 && x < 16 && y >= 8 && y < 16)
                << x << "," << y;

    // Edges through pixel centres: a square from 20.5 to 24.5 covers centres 21..24 on the top and
    // left edges (top-left rule) but not 24.5 on the right and bottom edges: pixels 20..23.
    clear();
    draw({V(px(20.5f), py(20.5f)), V(px(24.5f), py(20.5f)), V(px(20.5f), py(24.5f)), V(px(24.5f), py(24.5f))},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    pixels = readBack();
    int covered = 0;
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x) {
            bool expected = x >= 20 && x < 24 && y >= 20 && y < 24;
            EXPECT_EQ(red(pixels[y * kWidth + x]) == 255, expected) << x << "," << y;
            covered += expected;
        }
    EXPECT_EQ(covered, 16);
}

TEST_F(RasterizerTest, DefaultStateCullsWhatNoCullDraws) {
    // Counter-clockwise on screen: a back face for the default state.
    std::vector<Vertex> ccw = {V(-0.5f, -0.5f), V(0.5f, -0.5f), V(0, 0.5f)};
    std::vector<Vertex> cw = {V(-0.5f, -0.5f), V(0, 0.5f), V(0.5f, -0.5f)};
    auto lit = [&] {
        int n = 0;
        for (uint32_t t : readBack()) n += red(t) == 255;
        return n;
    };
    draw(ccw, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    int noCull = lit();
    EXPECT_GT(noCull, 100);

    device->RSSetState(nullptr); // solid, back faces culled, clockwise front faces
    clear();
    draw(ccw, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(lit(), 0);
    draw(cw, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(lit(), noCull);

    D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_BACK, TRUE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
    ComPtr<ID3D10RasterizerState> ccwFront;
    ASSERT_EQ(device->CreateRasterizerState(&r, ccwFront.put()), S_OK);
    device->RSSetState(ccwFront.get());
    clear();
    draw(ccw, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(lit(), noCull);
}

TEST_F(RasterizerTest, TriangleCrossingTheNearPlaneIsClippedNotWrapped) {
    // Eye-space points through a right-handed perspective (fov 90, near 1, far 100): a floor-like
    // triangle that starts in front of the camera and passes behind it. Without clipping the vertex
    // behind the eye (w < 0) would project to the opposite side of the screen.
    auto project = [](float x, float y, float z) {
        const float zn = 1, zf = 100;
        float m33 = -zf / (zf - zn), m43 = -zf * zn / (zf - zn);
        return V(x, y, z * m33 + m43, -z);
    };
    std::vector<Vertex> tri = {project(-2, -1, -5), project(2, -1, -5), project(0, -1, 5)};
    draw(tri, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    auto pixels = readBack();
    int lower = 0, upper = 0;
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            if (red(pixels[y * kWidth + x]) == 255) (y >= kHeight / 2 ? lower : upper)++;
    // The floor lies below the horizon (lower half) only, and it reaches the bottom row.
    EXPECT_GT(lower, 200);
    EXPECT_EQ(upper, 0);
    bool bottom = false;
    for (UINT x = 0; x < kWidth; ++x) bottom |= red(pixels[(kHeight - 1) * kWidth + x]) == 255;
    EXPECT_TRUE(bottom);
}

TEST_F(RasterizerTest, GeometryBeyondTheFarPlaneIsDropped) {
    draw({V(-1, -1, 1.5f), V(-1, 1, 1.5f), V(1, -1, 1.5f)}, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    for (uint32_t t : readBack()) ASSERT_EQ(red(t), 0);
}

TEST_F(RasterizerTest, ViewportsOffsetAndLargerThanTheTarget) {
    // A 128 x 128 viewport at (-32, -40) on a 64 x 48 target: its centre (32, 24) is the target centre.
    setViewport(-32, -40, 128, 128);
    auto px = [](float x) { return (x + 32) / 128.0f * 2 - 1; };
    auto py = [](float y) { return 1 - (y + 40) / 128.0f * 2; };
    draw({V(px(30), py(20)), V(px(34), py(20)), V(px(30), py(28)), V(px(34), py(28))},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto pixels = readBack();
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            EXPECT_EQ(red(pixels[y * kWidth + x]) == 255, x >= 30 && x < 34 && y >= 20 && y < 28)
                << x << "," << y;
    // A quad covering the whole viewport fills exactly the target, nothing wraps or overflows.
    clear();
    draw({V(-1, -1), V(-1, 1), V(1, -1), V(1, 1)}, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    for (uint32_t t : readBack()) ASSERT_EQ(red(t), 255);
    // A viewport to the right of the target draws nothing.
    clear();
    setViewport(64, 0, 64, 48);
    draw({V(-1, -1), V(-1, 1), V(1, -1), V(1, 1)}, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    for (uint32_t t : readBack()) ASSERT_EQ(red(t), 0);
}

TEST_F(RasterizerTest, PerspectiveCorrectInterpolation) {
    // A quad receding in depth: near edge at w = 1, far edge at w = 4. The colour runs 0..1 along the
    // quad's length; perspective-correct interpolation puts the middle of the quad (colour 0.5) at
    // w = 1.6 (harmonic mean), i.e. not half-way down the screen.
    std::vector<Vertex> quad = {V(-1, -1, 0.5f, 1, {0, 0, 0, 1}), V(1, -1, 0.5f, 1, {0, 0, 0, 1}),
                                V(-4, 4, 0.5f * 4, 4, {1, 0, 0, 1}), V(4, 4, 0.5f * 4, 4, {1, 0, 0, 1})};
    draw(quad, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto pixels = readBack();
    // Screen y of a point at parameter s along the quad: ndc = ( -1 + 5 s ) / (1 + 3 s).
    for (float s : {0.25f, 0.5f, 0.75f}) {
        float ndc = (-1 + 5 * s) / (1 + 3 * s);
        int row = int((1 - ndc) * 0.5f * kHeight);
        float value = float(red(pixels[size_t(row) * kWidth + kWidth / 2])) / 255.0f;
        EXPECT_NEAR(value, s, 0.04f) << s;
    }
}

TEST_F(RasterizerTest, LineStripLightsOnePixelPerStepWithoutItsLastPixel) {
    auto px = [&](float x) { return x / float(kWidth) * 2.0f - 1.0f; };
    auto py = [&](float y) { return 1.0f - y / float(kHeight) * 2.0f; };
    // Horizontal from (2.5, 5.5) to (12.5, 5.5), then vertical down to (12.5, 15.5).
    draw({V(px(2.5f), py(5.5f)), V(px(12.5f), py(5.5f)), V(px(12.5f), py(15.5f))},
         D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP);
    auto pixels = readBack();
    int lit = 0;
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x) {
            bool on = red(pixels[y * kWidth + x]) == 255;
            bool first = y == 5 && x >= 2 && x < 12;
            bool second = x == 12 && y >= 5 && y < 15;
            EXPECT_EQ(on, first || second) << x << "," << y;
            lit += on;
        }
    EXPECT_EQ(lit, 20);
    // A diagonal: one pixel per column.
    clear();
    draw({V(px(30), py(10)), V(px(50), py(20))}, D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP);
    pixels = readBack();
    for (UINT x = 30; x < 50; ++x) {
        int inColumn = 0;
        for (UINT y = 0; y < kHeight; ++y) inColumn += red(pixels[y * kWidth + x]) == 255;
        EXPECT_EQ(inColumn, 1) << x;
    }
}

TEST_F(RasterizerTest, OneAndTwoThreadsDrawTheSameBytes) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-1.2f, 1.2f), c(0, 1);
    std::vector<Vertex> strip;
    for (int i = 0; i < 40; ++i) strip.push_back(V(d(rng), d(rng), 0.5f, 1, {c(rng), c(rng), c(rng), 1}));
    // A fine band of 1200 vertices, enough for the vertex stage to be shared by the threads; it is read
    // back before the strip's additive layers saturate most pixels.
    std::vector<Vertex> fine;
    for (int i = 0; i < 1200; ++i)
        fine.push_back(
            V(-1.0f + float(i / 2) / 300.0f, i % 2 ? 0.3f : -0.2f, 0.5f, 1, {c(rng), c(rng), c(rng), 1}));
    auto blend = additive();
    device->OMSetBlendState(blend.get(), nullptr, 0xFFFFFFFF);
    std::vector<std::vector<uint32_t>> results;
    // The whole target, then a viewport away from its corner, drawn and replayed, and lines.
    for (unsigned threads : {1u, 2u, 3u}) {
        SetDeviceThreads(device.get(), threads);
        std::vector<uint32_t> frames;
        for (int frame = 0; frame < 3; ++frame) {
            setViewport(0, 0, kWidth, kHeight);
            clear({0, 0, 0, 0});
            draw(fine, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
            const std::vector<uint32_t> band = readBack();
            frames.insert(frames.end(), band.begin(), band.end());
            draw(strip, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
            if (frame > 0) {
                setViewport(5, 7, kWidth - 9, kHeight - 11);
                draw(strip, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
                draw(strip, D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP);
            }
            const std::vector<uint32_t> pixels = readBack();
            frames.insert(frames.end(), pixels.begin(), pixels.end());
        }
        results.push_back(frames);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

// A thread that runs out of its own rows shades what is left of the others' in chunks, which start
// part-way along rows of a turned quad; the bytes are those of one thread, on the first frame of a
// coverage and on its replays. Four threads on fewer cores make sure some chunks change hands.
TEST_F(RasterizerTest, ChunksShadedByAnyThreadGiveTheSameBytes) {
    constexpr UINT w = 403, h = 301;
    makeTargets(w, h);
    setViewport(0, 0, w, h);
    const std::vector<Vertex> quad = {
        V(-0.9f, -0.2f, 0.5f, 1, {1, 0, 0, 1}), V(0.1f, 0.95f, 0.5f, 1, {0, 1, 0, 1}),
        V(-0.1f, -0.95f, 0.5f, 1, {0, 0, 1, 1}), V(0.9f, 0.2f, 0.5f, 1, {1, 1, 1, 0})};
    auto frame = [&] {
        clear({0.2f, 0.3f, 0.4f, 1});
        draw(quad, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        return readBack();
    };
    SetDeviceThreads(device.get(), 1);
    const std::vector<uint32_t> reference = frame();
    ASSERT_EQ(frame(), reference); // a replay
    SetDeviceThreads(device.get(), 4);
    int frames = 0;
    for (; frames < 40 || (GetChunksShadedByOtherThreads(device.get()) == 0 && frames < 2000); ++frames) {
        if (frames % 8 == 0) ClearCoverageCache(device.get());
        ASSERT_EQ(frame(), reference) << "frame " << frames;
    }
    EXPECT_GT(GetChunksShadedByOtherThreads(device.get()), 0u) << frames << " frames";
}

} // namespace
} // namespace platform::d3d10::testing
