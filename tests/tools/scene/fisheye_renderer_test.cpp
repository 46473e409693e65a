#include "tools/scene/fisheye_renderer.h"

#include <array>
#include <cmath>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "tools/scene/lens_model.h"
#include "tools/scene/scene.h"

namespace tools::scene {
namespace {

using image::Image;
using room::Corner;

const Image& Picture(int size, LensFacing facing, double heading = 0) {
    static std::map<std::tuple<int, LensFacing, double>, Image> cache;
    auto key = std::make_tuple(size, facing, heading);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, RenderFisheye(FisheyeCamera(size, facing, heading))).first;
    return it->second;
}

Rgba At(const Image& img, PicturePoint p) {
    return img.pixel(uint32_t(p.x), uint32_t(p.y));
}

// Bilinear colour at a point of the picture, pixel centres at half-integers; as (r, g, b).
std::array<double, 3> Sample(const Image& img, PicturePoint p) {
    const double x = p.x - 0.5, y = p.y - 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    std::array<double, 3> c{};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const Rgba t = img.pixel(uint32_t(x0 + i), uint32_t(y0 + j));
            const double w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
            c[0] += w * t.r, c[1] += w * t.g, c[2] += w * t.b;
        }
    return c;
}

class RenderedLens : public ::testing::TestWithParam<LensFacing> {};

TEST_P(RenderedLens, BlackOutsideTheRimAndTheCircleCentred) {
    const int size = 360;
    const Image& img = Picture(size, GetParam());
    const double c = size / 2.0, rim = FisheyeCamera(size).rimRadius();
    double sumX = 0, sumY = 0, count = 0;
    int left = size, right = -1, top = size, bottom = -1;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Nearest and farthest points of the pixel's square from the centre.
            const double nx = std::max({double(x) - c, c - (x + 1.0), 0.0}),
                         ny = std::max({double(y) - c, c - (y + 1.0), 0.0});
            const double fx = std::max(std::abs(x - c), std::abs(x + 1 - c)),
                         fy = std::max(std::abs(y - c), std::abs(y + 1 - c));
            const Rgba p = img.pixel(uint32_t(x), uint32_t(y));
            const bool black = p.r == 0 && p.g == 0 && p.b == 0;
            ASSERT_EQ(p.a, 255);
            if (std::hypot(nx, ny) > rim) {
                ASSERT_TRUE(black) << x << "," << y;
            }
            if (std::hypot(fx, fy) < rim) {
                ASSERT_FALSE(black) << x << "," << y << ": the scene has no black";
            }
            if (!black) {
                sumX += x + 0.5, sumY += y + 0.5, ++count;
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_NEAR(sumX / count, c, 0.05);
    EXPECT_NEAR(sumY / count, c, 0.05);
    EXPECT_EQ(left, size - 1 - right);
    EXPECT_EQ(top, size - 1 - bottom);
    EXPECT_NEAR(count, M_PI * rim * rim, 2 * M_PI * rim);
}

// Where all of a pixel's samples see one colour, the picture shows exactly that colour.
TEST_P(RenderedLens, FlatPixelsShowTheSceneColourOfTheirDirection) {
    for (double heading : {0.0, 30.0}) {
        const int size = 360;
        const FisheyeCamera camera(size, GetParam(), heading);
        const Image& img = Picture(size, GetParam(), heading);
        int checked = 0;
        for (int y = 1; y < size; y += 5) {
            for (int x = 2; x < size; x += 7) {
                std::optional<Rgba> only;
                bool flat = true;
                for (int j = 0; j < 4 && flat; ++j)
                    for (int i = 0; i < 4 && flat; ++i) {
                        Vec3 v;
                        Rgba s = camera.VectorOfPoint({x + (i + 0.5) / 4, y + (j + 0.5) / 4}, v)
                                     ? SceneColour(v)
                                     : room::kOutsideColour;
                        if (!only) only = s;
                        flat = *only == s;
                    }
                if (!flat) continue;
                ASSERT_EQ(img.pixel(uint32_t(x), uint32_t(y)), *only)
                    << x << "," << y << " heading " << heading;
                ++checked;
            }
        }
        EXPECT_GT(checked, 3000);
    }
}

TEST_P(RenderedLens, WallsAppearInTheirCompassSectors) {
    const int size = 480;
    const Image& img = Picture(size, GetParam());
    const FisheyeCamera camera(size, GetParam());
    const double corners[] = {room::CornerAzimuth(Corner::NorthEast), room::CornerAzimuth(Corner::SouthEast),
                              room::CornerAzimuth(Corner::SouthWest), room::CornerAzimuth(Corner::NorthWest)};
    const room::Surface walls[] = {room::Surface::EastWall, room::Surface::SouthWall, room::Surface::WestWall,
                                   room::Surface::NorthWall};
    for (int i = 0; i < 4; ++i) {
        const double from = corners[i], width = WrapAzimuth(corners[(i + 1) % 4] - from);
        // Across the sector at 5 degrees below the horizon, between the compass ring and the floor,
        // wherever the wall shows its own colour (not a door, window or pilaster).
        int plain = 0;
        for (double a = 1.5; a < width - 1.5; a += 2) {
            const Direction d{WrapAzimuth(from + a), -5};
            auto plainWall = [&](double offset) {
                Direction n{d.azimuth + offset, d.elevation};
                return room::SurfaceColour(room::CastRay(ToVector(n))) == room::BaseColour(walls[i]);
            };
            if (!plainWall(-0.8) || !plainWall(0) || !plainWall(0.8)) continue;
            auto p = camera.PointOfDirection(d);
            ASSERT_TRUE(p);
            EXPECT_EQ(At(img, *p), room::BaseColour(walls[i])) << d.azimuth;
            ++plain;
        }
        EXPECT_GT(plain, 20) << i;
    }
    // Where a person looks: the mean position of each wall's own colour.
    struct Mean {
        double x = 0, y = 0, n = 0;
    };
    std::map<room::Surface, Mean> means;
    for (uint32_t y = 0; y < img.height(); ++y)
        for (uint32_t x = 0; x < img.width(); ++x)
            for (room::Surface w : walls)
                if (img.pixel(x, y) == room::BaseColour(w)) {
                    Mean& m = means[w];
                    m.x += x + 0.5 - size / 2.0, m.y += y + 0.5 - size / 2.0, ++m.n;
                }
    const double sideways = GetParam() == LensFacing::Up ? -1 : 1; // east left for lens up, right for down
    EXPECT_LT(means[room::Surface::NorthWall].y / means[room::Surface::NorthWall].n, -size / 4.0);
    EXPECT_GT(means[room::Surface::SouthWall].y / means[room::Surface::SouthWall].n, size / 4.0);
    EXPECT_GT(sideways * means[room::Surface::EastWall].x / means[room::Surface::EastWall].n, size / 4.0);
    EXPECT_LT(sideways * means[room::Surface::WestWall].x / means[room::Surface::WestWall].n, -size / 4.0);
}

INSTANTIATE_TEST_SUITE_P(Lenses, RenderedLens, ::testing::Values(LensFacing::Up, LensFacing::Down),
                         [](const auto& info) { return info.param == LensFacing::Up ? "Up" : "Down"; });

TEST(RenderedScene, ZenithMarkerAtTheCentreWithItsArrowTowardsNorth) {
    const int size = 360;
    for (double heading : {0.0, 90.0}) {
        const Image& img = Picture(size, LensFacing::Up, heading);
        const FisheyeCamera camera(size, LensFacing::Up, heading);
        for (uint32_t y : {179u, 180u})
            for (uint32_t x : {179u, 180u}) EXPECT_EQ(img.pixel(x, y), room::kMarkerColour) << heading;
        const double up = room::kCeilingHeight - room::kCameraHeight;
        auto head = camera.PointOfDirection(ToDirection({0, 0.65, up}));
        ASSERT_TRUE(head);
        EXPECT_EQ(At(img, *head), room::kMarkerColour);
        if (heading == 0) {
            EXPECT_NEAR(head->x, 180, 0.5);
            EXPECT_LT(head->y, 180 - 10) << "north at the top";
        } else {
            EXPECT_GT(head->x, 180 + 10) << "camera turned to face east: north on the right";
            EXPECT_NEAR(head->y, 180, 0.5);
        }
        // Beside the shaft the head has width, the tail has not.
        EXPECT_EQ(At(img, *camera.PointOfDirection(ToDirection({0.15, 0.5, up}))), room::kMarkerColour);
        EXPECT_EQ(At(img, *camera.PointOfDirection(ToDirection({0.15, -0.5, up}))), room::kCeilingColour);
    }
    EXPECT_EQ(Picture(size, LensFacing::Down).pixel(180, 180), room::kFloorLight) << "the nadir";
}

// A vertical edge of the room is a radial line of the fisheye picture: the colour change across a
// corner lies at the corner's azimuth at every radius.
TEST(RenderedScene, CornerEdgesLieOnRadialLines) {
    const int size = 720;
    const Image& img = Picture(size, LensFacing::Up);
    const FisheyeCamera camera(size);
    for (Corner corner : {Corner::NorthEast, Corner::SouthEast, Corner::SouthWest, Corner::NorthWest}) {
        const double az = room::CornerAzimuth(corner);
        const Rgba before = room::BaseColour(room::WallAtAzimuth(az - 1)),
                   after = room::BaseColour(room::WallAtAzimuth(az + 1));
        ASSERT_NE(before, after);
        const double d[3] = {double(after.r) - before.r, double(after.g) - before.g,
                             double(after.b) - before.b};
        const double d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        for (double el : {-5.0, 12.0, 16.0}) {
            const double radius = std::hypot(camera.PointOfDirection({az, el})->x - size / 2.0,
                                             camera.PointOfDirection({az, el})->y - size / 2.0);
            // Walk the circle of this radius across the corner and find where the colour is half-way.
            double crossing = NAN, previous = 0;
            for (double a = az - 2; a <= az + 2; a += 0.01) {
                auto c = Sample(img, *camera.PointOfDirection({a, el}));
                const double s =
                    ((c[0] - before.r) * d[0] + (c[1] - before.g) * d[1] + (c[2] - before.b) * d[2]) / d2;
                if (a > az - 2 && previous < 0.5 && s >= 0.5) {
                    crossing = a - 0.01 * (s - 0.5) / (s - previous);
                    break;
                }
                previous = s;
            }
            ASSERT_FALSE(std::isnan(crossing)) << int(corner) << " at " << el;
            const double offPixels = (crossing - az) * kRadians * radius;
            EXPECT_LT(std::abs(offPixels), 0.3) << "corner " << int(corner) << " at elevation " << el;
        }
    }
}

TEST(RenderedScene, AdaptiveSamplingMatchesFullSupersampling) {
    const FisheyeCamera camera(300, LensFacing::Up, 12);
    RenderOptions full;
    full.adaptive = false;
    const Image a = RenderFisheye(camera), b = RenderFisheye(camera, full);
    long differing = 0, total = 0;
    int worst = 0;
    for (uint32_t y = 0; y < a.height(); ++y)
        for (uint32_t x = 0; x < a.width(); ++x) {
            Rgba p = a.pixel(x, y), q = b.pixel(x, y);
            int diff = std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
            worst = std::max(worst, diff);
            differing += diff > 0;
            total += diff;
        }
    EXPECT_LT(differing, long(a.width() * a.height() / 1000));
    EXPECT_LT(worst, 64);
    EXPECT_LT(double(total) / (a.width() * a.height()), 0.05);
    RenderOptions single;
    single.threads = 1;
    EXPECT_EQ(RenderFisheye(camera, single), a) << "threads change nothing";
}

} // namespace
} // namespace tools::scene
