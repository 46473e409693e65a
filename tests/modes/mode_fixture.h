// Unfolding the reference scene through the engine, for the picture tests of the modes, and small
// measurements on the resulting pictures.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tools/image/image.h"
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
