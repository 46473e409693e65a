#include "tools/scene/fisheye_camera.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tools/scene/lens_model.h"

namespace tools::scene {
namespace {

struct CameraCase {
    LensFacing facing;
    double heading;
};

class FisheyeCameraTest : public ::testing::TestWithParam<CameraCase> {};

TEST_P(FisheyeCameraTest, PointsAndDirectionsMapBothWays) {
    const FisheyeCamera camera(720, GetParam().facing, GetParam().heading);
    int inside = 0;
    for (double y = 0.25; y < 720; y += 13.7) {
        for (double x = 0.5; x < 720; x += 11.3) {
            auto d = camera.DirectionOfPoint({x, y});
            const double distance = std::hypot(x - 360, y - 360);
            ASSERT_EQ(d.has_value(), distance <= camera.rimRadius()) << x << "," << y;
            if (!d) continue;
            ++inside;
            auto p = camera.PointOfDirection(*d);
            ASSERT_TRUE(p.has_value());
            EXPECT_NEAR(p->x, x, 1e-7);
            EXPECT_NEAR(p->y, y, 1e-7);
        }
    }
    EXPECT_GT(inside, 2500);
    for (double el = -16.9; el <= 90; el += 7.3) {
        for (double az = 0; az < 360; az += 17) {
            Direction d{az, GetParam().facing == LensFacing::Up ? el : -el};
            auto p = camera.PointOfDirection(d);
            ASSERT_TRUE(p.has_value()) << az << " " << el;
            auto back = camera.DirectionOfPoint(*p);
            ASSERT_TRUE(back.has_value());
            EXPECT_LT(AngleBetween(*back, d), 1e-7) << az << " " << el;
        }
    }
}

TEST_P(FisheyeCameraTest, RadiusFollowsTheLensModel) {
    const FisheyeCamera camera(1000, GetParam().facing, GetParam().heading);
    const double sign = GetParam().facing == LensFacing::Up ? 1 : -1;
    auto axis = camera.DirectionOfPoint({500, 500});
    ASSERT_TRUE(axis);
    EXPECT_NEAR(axis->elevation, 90 * sign, 1e-9);
    for (double polar : {10.0, 45.0, 90.0, 106.9}) {
        auto p = camera.PointOfDirection({123, sign * (90 - polar)});
        ASSERT_TRUE(p);
        EXPECT_NEAR(std::hypot(p->x - 500, p->y - 500), LensRadius(polar / 107) * 500, 1e-9) << polar;
    }
    EXPECT_FALSE(camera.PointOfDirection({0, sign * -17.5}).has_value()) << "beyond 107 degrees";
    EXPECT_TRUE(camera.PointOfDirection({0, sign * -16.9}).has_value());
    EXPECT_FALSE(camera.DirectionOfPoint({500 + camera.rimRadius() + 1e-6, 500}).has_value());
    EXPECT_FALSE(camera.DirectionOfPoint({0, 0}).has_value()) << "the picture's corner";
}

INSTANTIATE_TEST_SUITE_P(Lenses, FisheyeCameraTest,
                         ::testing::Values(CameraCase{LensFacing::Up, 0}, CameraCase{LensFacing::Up, 37.5},
                                           CameraCase{LensFacing::Down, 0},
                                           CameraCase{LensFacing::Down, 200}));

// Where the compass points land on the horizon (lens up) or 10 degrees below it (lens down).
PicturePoint Towards(const FisheyeCamera& camera, double azimuth) {
    return *camera.PointOfDirection({azimuth, camera.facing() == LensFacing::Up ? 0.0 : -10.0});
}

TEST(FisheyeCamera, UpwardLensShowsEastOnTheLeftLikeASkyChart) {
    const FisheyeCamera camera(800);
    EXPECT_NEAR(Towards(camera, 0).x, 400, 1e-9);
    EXPECT_LT(Towards(camera, 0).y, 150) << "north at the top";
    EXPECT_LT(Towards(camera, 90).x, 150) << "east on the left";
    EXPECT_NEAR(Towards(camera, 90).y, 400, 1e-9);
    EXPECT_GT(Towards(camera, 180).y, 650) << "south at the bottom";
    EXPECT_GT(Towards(camera, 270).x, 650) << "west on the right";
    // Turning the camera so that east faces the top of the picture.
    const FisheyeCamera turned(800, LensFacing::Up, 90);
    EXPECT_LT(Towards(turned, 90).y, 150);
    EXPECT_GT(Towards(turned, 0).x, 650) << "north then lies to the right";
}

TEST(FisheyeCamera, DownwardLensShowsEastOnTheRightLikeAMap) {
    const FisheyeCamera camera(800, LensFacing::Down);
    EXPECT_LT(Towards(camera, 0).y, 150);
    EXPECT_GT(Towards(camera, 90).x, 650);
    EXPECT_GT(Towards(camera, 180).y, 650);
    EXPECT_LT(Towards(camera, 270).x, 150);
    auto centre = camera.DirectionOfPoint({400, 400});
    ASSERT_TRUE(centre);
    EXPECT_NEAR(centre->elevation, -90, 1e-9);
}

} // namespace
} // namespace tools::scene
