// Unfolding the reference scene through the engine, for the picture tests of the modes, and small
// measurements on the resulting pictures.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tools/image/image.h"
#include "tools/scene/compass_ring.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/scene/room.h"
#include "tools/unfold/unfolder.h"

namespace mode_testing {

using tools::image::Image;
using tools::image::Rgba;
using tools::unfold::UnfoldSettings;

// The reference room seen by an upward- (or downward-) facing lens, 1440 x 1440, made once per test run.
inline const Image& SceneFisheye(tools::scene::LensFacing facing = tools::scene::LensFacing::Up) {
    static std::unique_ptr<Image> pictures[2];
    auto& p = pictures[facing == tools::scene::LensFacing::Up ? 0 : 1];
    if (!p) {
        tools::scene::RenderOptions options;
        options.samplesPerAxis = 2;
        p = std::make_unique<Image>(
            tools::scene::RenderFisheye(tools::scene::FisheyeCamera(1440, facing), options));
    }
    return *p;
}

inline int ColourDistance(Rgba a, Rgba b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}
inline bool Near(Rgba a, Rgba b, int tolerance = 40) {
    return ColourDistance(a, b) <= tolerance;
}
inline bool IsBlack(Rgba a) {
    return a.r + a.g + a.b <= 6;
}

// A straight line fitted to points by least squares (x as a function of y when `vertical`); the worst
// distance of a point from it, and its direction in degrees from the axis it follows.
struct LineFit {
    double worst = 0, angleDegrees = 0;
    size_t points = 0;
};
inline LineFit FitLine(const std::vector<std::pair<double, double>>& points, bool vertical) {
    LineFit fit;
    fit.points = points.size();
    if (points.size() < 2) return fit;
    double sa = 0, sb = 0, saa = 0, sab = 0;
    for (auto [x, y] : points) {
        double a = vertical ? y : x, b = vertical ? x : y;
        sa += a, sb += b, saa += a * a, sab += a * b;
    }
    double n = double(points.size());
    double slope = (n * sab - sa * sb) / (n * saa - sa * sa), offset = (sb - slope * sa) / n;
    for (auto [x, y] : points) {
        double a = vertical ? y : x, b = vertical ? x : y;
        fit.worst = std::max(fit.worst, std::fabs(b - (slope * a + offset)) / std::sqrt(1 + slope * slope));
    }
    fit.angleDegrees = std::atan(slope) * 180 / M_PI;
    return fit;
}

// The centre row of the compass band (the horizon) in each column from x0 to x1 (every `step` columns),
// searched within rows y0 to y1. Columns where a tick or a label cuts into the band (its run shorter
// than the common one) are left out.
inline std::vector<std::pair<double, double>> HorizonPoints(const Image& img, int x0, int x1, int step,
                                                            int y0, int y1) {
    const Rgba band = tools::scene::compass::kBandColour;
    struct Run {
        int x, first, last;
    };
    std::vector<Run> runs;
    for (int x = x0; x < x1; x += step) {
        int first = -1, last = -1;
        for (int y = std::max(y0, 0); y <= std::min(y1, int(img.height()) - 1); ++y) {
            if (Near(img.pixel(x, y), band, 30)) {
                if (first < 0) first = y;
                last = y;
            } else if (first >= 0) {
                break;
            }
        }
        if (first >= 0) runs.push_back({x, first, last});
    }
    std::vector<int> lengths;
    for (const Run& r : runs) lengths.push_back(r.last - r.first);
    std::vector<std::pair<double, double>> points;
    if (lengths.empty()) return points;
    std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
    const int common = lengths[lengths.size() / 2];
    for (const Run& r : runs)
        if (r.last - r.first >= common) points.push_back({r.x, (r.first + r.last) / 2.0});
    return points;
}

// Where, going right along row y, the colour turns from one wall's to another's within a few pixels:
// the walls meet at a corner of the room there.
struct WallTurn {
    double x;
    tools::scene::room::Corner corner;
};
inline std::vector<WallTurn> WallTurns(const Image& img, int y, int x0, int x1) {
    namespace room = tools::scene::room;
    using room::Surface;
    const std::pair<Surface, Rgba> walls[] = {{Surface::NorthWall, room::kNorthColour},
                                              {Surface::EastWall, room::kEastColour},
                                              {Surface::SouthWall, room::kSouthColour},
                                              {Surface::WestWall, room::kWestColour}};
    auto cornerOf = [](Surface a, Surface b, room::Corner& c) {
        auto is = [&](Surface p, Surface q) { return (a == p && b == q) || (a == q && b == p); };
        if (is(Surface::NorthWall, Surface::EastWall))
            c = room::Corner::NorthEast;
        else if (is(Surface::SouthWall, Surface::EastWall))
            c = room::Corner::SouthEast;
        else if (is(Surface::SouthWall, Surface::WestWall))
            c = room::Corner::SouthWest;
        else if (is(Surface::NorthWall, Surface::WestWall))
            c = room::Corner::NorthWest;
        else
            return false;
        return true;
    };
    std::vector<WallTurn> turns;
    int lastX = -10;
    Surface last = Surface::Floor;
    for (int x = x0; x < x1; ++x) {
        for (const auto& [wall, colour] : walls) {
            if (!Near(img.pixel(x, y), colour)) continue;
            room::Corner c;
            if (lastX >= 0 && wall != last && x - lastX <= 4 && cornerOf(last, wall, c))
                turns.push_back({(lastX + x) / 2.0 + 0.5, c});
            last = wall;
            lastX = x;
        }
    }
    return turns;
}

// Every wall turn of row y must lie at its corner's azimuth, where azimuthAt(x) is the azimuth (degrees)
// the mode shows at x, in pixels from the picture's left edge; returns how many turns were found.
template <class F>
size_t ExpectCornersAt(const Image& img, int y, int x0, int x1, F azimuthAt, double toleranceDegrees) {
    auto turns = WallTurns(img, y, x0, x1);
    for (const WallTurn& t : turns) {
        double expected = tools::scene::room::CornerAzimuth(t.corner);
        EXPECT_LT(std::fabs(tools::scene::AzimuthDifference(azimuthAt(t.x), expected)), toleranceDegrees)
            << "corner " << int(t.corner) << " at x " << t.x << " row " << y;
    }
    return turns.size();
}

class ModeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        unfolder_ = tools::unfold::Unfolder::Create(error).release();
        ASSERT_NE(unfolder_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete unfolder_;
        unfolder_ = nullptr;
    }

    Image unfold(const UnfoldSettings& settings, const Image& fisheye = SceneFisheye()) {
        Image out;
        auto status = unfolder_->unfold(fisheye, settings, out);
        EXPECT_TRUE(status.ok()) << status.message();
        return out;
    }
    static UnfoldSettings mode(int32_t id) {
        UnfoldSettings s;
        s.mode = id;
        return s;
    }
    static COrbExpander& engine() { return unfolder_->engine(); }

private:
    static tools::unfold::Unfolder* unfolder_;
};

inline tools::unfold::Unfolder* ModeTest::unfolder_ = nullptr;

} // namespace mode_testing
