// The lane feeder interpolates each pixel's inputs from its primitive's planes. Attributes it fills
// once, because every primitive holds them constant at one value, must give the bits that interpolating
// them span by span gives: a constant plane's row value is v0 + 0 * dy, which differs from v0 at -0.
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/pixel_stage.h"
#include "platform/d3d10/primitive_setup.h"
#include "platform/d3d10/rasterizer.h"

namespace platform::d3d10 {
namespace {

// Attribute a of every primitive: constant at values[a][primitive], or varying where that is NaN.
struct Scene {
    std::vector<PrimitivePlanes> primitives;
    std::vector<Plane> attributes;
};

Scene sceneOf(const std::vector<std::vector<float>>& values, const std::vector<float>& refY) {
    Scene s;
    for (size_t p = 0; p < refY.size(); ++p) {
        PrimitivePlanes pp{};
        pp.refX = 3.25f, pp.refY = refY[p];
        pp.invW = {1.0f, 0.0f, 0.0f, true};
        pp.attributes = uint32_t(s.attributes.size());
        for (const auto& attribute : values) {
            const float v = attribute[p];
            s.attributes.push_back(std::isnan(v) ? Plane{0.5f, 0.125f, -0.0625f, false}
                                                 : Plane{v, 0.0f, 0.0f, true});
        }
        s.primitives.push_back(pp);
    }
    return s;
}

// Each lane's value as the planes give it at the lane's pixel.
float expected(const Scene& s, const Span& span, uint32_t x, uint32_t attribute) {
    const PrimitivePlanes& pp = s.primitives[span.primitive];
    const Plane& pl = s.attributes[pp.attributes + attribute];
    const float dy = float(span.y) + 0.5f - pp.refY, dx = float(x) + 0.5f - pp.refX;
    const float w = 1.0f / (pp.invW.v0 + pp.invW.b * dy + pp.invW.a * dx);
    const float base = pl.v0 + pl.b * dy;
    return pl.constant ? base : (base + pl.a * dx) * w;
}

// A feeder's attribute inputs 0 .. n-1 and the lanes it fills.
struct Lanes {
    std::vector<PixelInput> inputs;
    std::vector<std::vector<float>> values;
    std::vector<float*> pointers;
    explicit Lanes(size_t attributes) : values(attributes, std::vector<float>(kLanes, -1.0f)) {
        for (uint32_t a = 0; a < attributes; ++a) inputs.push_back({PixelInput::Attribute, a, a});
        for (auto& l : values) pointers.push_back(l.data());
    }
};

// Walks the feeder through the band, checking every lane against its pixel's planes; the pixels walked.
uint32_t checkEveryLane(const Scene& s, const CoverageBand& band, LaneFeeder& feeder, const Lanes& lanes,
                        const std::string& label) {
    size_t span = 0;
    uint32_t x = band.spans[0].x0, pixels = 0;
    while (int n = feeder.next()) {
        for (int lane = 0; lane < n; ++lane, ++pixels) {
            for (uint32_t a = 0; a < lanes.inputs.size(); ++a)
                EXPECT_EQ(std::bit_cast<uint32_t>(lanes.values[a][size_t(lane)]),
                          std::bit_cast<uint32_t>(expected(s, band.spans[span], x, a)))
                    << "attribute " << a << " at (" << x << ", " << band.spans[span].y << "), run of "
                    << band.spans[span].x1 - band.spans[span].x0 << label;
            if (::testing::Test::HasFailure()) return pixels; // the first wrong lane tells enough
            if (++x == band.spans[span].x1 && ++span < band.spans.size()) x = band.spans[span].x0;
        }
    }
    return pixels;
}

TEST(LaneFeeder, AttributesFilledOnceGiveTheBitsOfTheirPlanes) {
    const float nan = std::nanf("");
    // 0: 0.25 everywhere; 1: -0 everywhere (rows below and above the reference); 2: constant but not
    // the same in every primitive; 3: varying. Then again with a primitive whose rows are NaN.
    const std::vector<std::vector<float>> values = {
        {0.25f, 0.25f, 0.25f}, {-0.0f, -0.0f, -0.0f}, {1.0f, 2.0f, 1.0f}, {nan, nan, nan}};
    for (bool nanRow : {false, true}) {
        Scene s = sceneOf(values, {1.0f, 9.5f, nanRow ? nan : 4.0f});
        CoverageBand band;
        for (uint16_t y = 0; y < 12; ++y)
            for (uint32_t p = 0; p < 3; ++p)
                band.spans.push_back({y, uint16_t(p * 30 + y), uint16_t(p * 30 + y + 9), p});
        const Lanes lanes(values.size());
        ShadingPlanes planes{s.primitives.data(), s.attributes.data()};
        LaneFeeder feeder(planes, band, lanes.inputs, lanes.pointers.data());

        EXPECT_EQ(feeder.uniform(0), !nanRow) << "a NaN row makes even a constant plane NaN";
        EXPECT_FALSE(feeder.uniform(1)) << "-0 keeps its sign only where the row's zero product is -0";
        EXPECT_FALSE(feeder.uniform(2));
        EXPECT_FALSE(feeder.uniform(3));
        EXPECT_EQ(checkEveryLane(s, band, feeder, lanes, nanRow ? ", with a NaN row" : ""), 12u * 3 * 9);
    }
}

// Runs of every length from one pixel to past a batch, of primitives whose attributes all vary (short
// runs are filled pixel by pixel, long ones component by component), and of primitives where one is
// constant: each lane holds the bits of its pixel's planes.
TEST(LaneFeeder, RunsOfEveryLengthGiveTheBitsOfTheirPlanes) {
    const float nan = std::nanf("");
    for (int variant = 0; variant < 3; ++variant) {
        // Three varying attributes, two (a texture coordinate), three with one constant.
        const bool oneConstant = variant == 2;
        std::vector<std::vector<float>> values = {
            {nan, nan, nan}, {nan, nan, oneConstant ? 0.75f : nan}, {nan, nan, nan}};
        if (variant == 1) values.pop_back();
        Scene s = sceneOf(values, {2.0f, 7.5f, 13.0f});
        // Perspective: 1 / w varies across and down the primitives.
        s.primitives[1].invW = {0.75f, 0.01f, -0.004f, false};
        s.primitives[2].invW = {1.25f, -0.02f, 0.003f, false};
        CoverageBand band;
        uint16_t y = 0;
        for (uint16_t length = 1; length <= kLanes + 5; ++length, ++y)
            band.spans.push_back({y, uint16_t(length % 7), uint16_t(length % 7 + length), uint32_t(y % 3)});
        const Lanes lanes(values.size());
        ShadingPlanes planes{s.primitives.data(), s.attributes.data()};
        LaneFeeder feeder(planes, band, lanes.inputs, lanes.pointers.data());
        EXPECT_EQ(checkEveryLane(s, band, feeder, lanes, ", variant " + std::to_string(variant)),
                  uint32_t((kLanes + 5) * (kLanes + 6) / 2));
    }
}

} // namespace
} // namespace platform::d3d10
