#include "tools/scene/room.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tools/image/bitmap_font.h"
#include "tools/scene/compass_ring.h"
#include "tools/scene/scene.h"

namespace tools::scene {
namespace {

using namespace room;

double Bearing(double east, double north) {
    return WrapAzimuth(std::atan2(east, north) * kDegrees);
}

TEST(Room, CornersAndWallsLieWhereTheGeometrySays) {
    EXPECT_NEAR(CornerAzimuth(Corner::NorthEast), Bearing(kEastWall, kNorthWall), 1e-12);
    EXPECT_NEAR(CornerAzimuth(Corner::SouthEast), 135.0, 1e-12);
    EXPECT_NEAR(CornerAzimuth(Corner::SouthWest), Bearing(kWestWall, kSouthWall), 1e-12);
    EXPECT_NEAR(CornerAzimuth(Corner::NorthWest), Bearing(kWestWall, kNorthWall), 1e-12);
    struct {
        double azimuth;
        Surface wall;
    } sectors[] = {{0, Surface::NorthWall},  {40, Surface::NorthWall},  {42, Surface::EastWall},
                   {134, Surface::EastWall}, {136, Surface::SouthWall}, {227, Surface::SouthWall},
                   {228, Surface::WestWall}, {316, Surface::WestWall},  {317, Surface::NorthWall}};
    for (auto s : sectors) {
        EXPECT_EQ(WallAtAzimuth(s.azimuth), s.wall) << s.azimuth;
        EXPECT_EQ(CastRay(ToVector({s.azimuth, 5})).surface, s.wall) << s.azimuth;
    }
    EXPECT_EQ(CastRay({0, 0, 1}).surface, Surface::Ceiling);
    EXPECT_EQ(CastRay({0, 0, -1}).surface, Surface::Floor);
    Hit east = CastRay(ToVector({90, 0}));
    EXPECT_NEAR(east.x, kEastWall, 1e-12);
    EXPECT_NEAR(east.z, kCameraHeight, 1e-12);
}

TEST(Room, HorizontalLinesSitAtTheirElevations) {
    // The east wall straight ahead is kEastWall metres away.
    EXPECT_NEAR(ElevationOfHeight(90, 0), -std::atan(kCameraHeight / kEastWall) * kDegrees, 1e-12);
    for (double az : {10.0, 90.0, 170.0, 300.0}) {
        const double floorLine = ElevationOfHeight(az, 0),
                     ceilingLine = ElevationOfHeight(az, kCeilingHeight);
        EXPECT_EQ(CastRay(ToVector({az, floorLine + 0.05})).surface, WallAtAzimuth(az)) << az;
        EXPECT_EQ(CastRay(ToVector({az, floorLine - 0.05})).surface, Surface::Floor) << az;
        EXPECT_EQ(CastRay(ToVector({az, ceilingLine - 0.05})).surface, WallAtAzimuth(az)) << az;
        EXPECT_EQ(CastRay(ToVector({az, ceilingLine + 0.05})).surface, Surface::Ceiling) << az;
        const double stripe = ElevationOfHeight(az, (kStripeBottom + kStripeTop) / 2);
        EXPECT_EQ(SceneColour(Direction{az, stripe}), kStripeColour) << az;
        EXPECT_EQ(SceneColour(Direction{az, ElevationOfHeight(az, kStripeTop + 0.05)}),
                  BaseColour(WallAtAzimuth(az)))
            << az;
    }
    // The floor-wall line stays within the upward lens's 17 degrees below the horizon everywhere,
    // and the stripe above the compass labels.
    for (double az = 0; az < 360; az += 1) {
        EXPECT_GT(ElevationOfHeight(az, 0), -13.0);
        EXPECT_GT(ElevationOfHeight(az, kStripeBottom), compass::kPlateTop + 0.5);
    }
}

TEST(Room, VerticalEdgesSeparateDifferentColours) {
    std::vector<VerticalEdge> edges = VerticalEdges();
    EXPECT_EQ(edges.size(), 16u);
    for (const VerticalEdge& e : edges) {
        int checked = 0;
        for (double z : {0.1, 2.0, 2.5}) {
            const double el = ElevationOfHeight(e.azimuth, z);
            if (z <= e.bottom || z >= e.top || std::abs(el) < compass::kPlateTop + 0.5) continue;
            EXPECT_NE(SceneColour(Direction{e.azimuth - 0.1, el}),
                      SceneColour(Direction{e.azimuth + 0.1, el}))
                << e.what << " at z " << z;
            EXPECT_EQ(SceneColour(Direction{e.azimuth - 0.1, el}),
                      SceneColour(Direction{e.azimuth - 0.4, el}))
                << e.what << ": the edge is sharp and in the right place";
            ++checked;
        }
        EXPECT_GT(checked, 0) << e.what;
    }
}

TEST(Room, FloorCeilingAndMarker) {
    EXPECT_EQ(SceneColour(Direction{0, 90}), kMarkerColour) << "the zenith";
    EXPECT_EQ(SceneColour(Direction{0, -90}), kFloorLight) << "the camera stands over a light square";
    const double up = kCeilingHeight - kCameraHeight;
    auto ceilingPoint = [&](double x, double y) { return SceneColour(Vec3{x, y, up}); };
    EXPECT_EQ(ceilingPoint(0, 0.6), kMarkerColour) << "arrowhead, north of the zenith";
    EXPECT_EQ(ceilingPoint(0.15, 0.5), kMarkerColour);
    EXPECT_EQ(ceilingPoint(0.15, -0.5), kCeilingColour) << "the south end has no head";
    EXPECT_EQ(ceilingPoint(0, kArrowTip + 0.02), kCeilingColour);
    EXPECT_EQ(ceilingPoint(kMarkerArm - 0.02, 0), kMarkerColour);
    EXPECT_EQ(ceilingPoint(kMarkerArm + 0.02, 0), kCeilingColour);
    auto floorPoint = [&](double x, double y) { return SceneColour(Vec3{x, y, -kCameraHeight}); };
    EXPECT_EQ(floorPoint(0.3, 0), kFloorDark);
    EXPECT_EQ(floorPoint(0.3, 0.3), kFloorLight);
    EXPECT_EQ(floorPoint(-0.3, -0.8), kFloorDark);
}

TEST(CompassRing, TicksEveryTenDegreesAndTheBand) {
    for (int az = 0; az < 360; az += 10) {
        EXPECT_EQ(compass::CompassColour({double(az), 1.5}), compass::kTickColour) << az;
        EXPECT_EQ(compass::CompassColour({az + 0.2, -1.5}), compass::kTickColour) << az;
        EXPECT_EQ(compass::CompassColour({az + 5.0, 0.5}), compass::kBandColour) << az;
        EXPECT_FALSE(compass::CompassColour({az + 5.0, -1.5})) << az;
        EXPECT_EQ(compass::CompassColour({az + 0.4, 0.0}), compass::kBandColour) << az;
        EXPECT_EQ(compass::CompassColour({double(az), -2.5}).has_value(), az % 30 == 0) << "longer every 30";
    }
    EXPECT_FALSE(compass::CompassColour({45, 20}));
    EXPECT_FALSE(compass::CompassColour({45, -9}));
}

TEST(CompassRing, LabelsReadLeftToRightAsAzimuthGrows) {
    EXPECT_EQ(compass::LabelText(0), "N");
    EXPECT_EQ(compass::LabelText(270), "W");
    EXPECT_EQ(compass::LabelText(120), std::string("120") + image::kDegreeSign);
    const double cell = (compass::kLabelTop - compass::kLabelBottom) / image::kGlyphHeight;
    // The centre of font pixel (column, row) of a label at `azimuth` with `columns` font columns.
    auto at = [&](double azimuth, int columns, int column, int row) {
        return Direction{WrapAzimuth(azimuth + (column + 0.5 - columns / 2.0) * cell),
                         compass::kLabelTop - (row + 0.5) * cell};
    };
    // "N" is #...# / #...# / ##..# ...: its diagonal starts at the left, smaller azimuth.
    EXPECT_EQ(compass::CompassColour(at(0, 5, 1, 2)), compass::kNorthLabelColour);
    EXPECT_EQ(compass::CompassColour(at(0, 5, 3, 2)), compass::kBandColour);
    EXPECT_EQ(compass::CompassColour(at(0, 5, 0, 0)), compass::kNorthLabelColour);
    EXPECT_EQ(compass::CompassColour(at(0, 5, 1, 0)), compass::kBandColour);
    // "E": the bars point right, towards larger azimuth; the stem is on the left.
    EXPECT_EQ(compass::CompassColour(at(90, 5, 0, 3)), compass::kLabelColour);
    EXPECT_EQ(compass::CompassColour(at(90, 5, 4, 3)), compass::kBandColour);
    EXPECT_EQ(compass::CompassColour(at(90, 5, 4, 0)), compass::kLabelColour);
    // "300°": the 3 is first. 3's top row is all ink, 0's top row only in the middle.
    const int columns = 4 * image::kGlyphAdvance - 1;
    EXPECT_EQ(compass::CompassColour(at(300, columns, 0, 0)), compass::kLabelColour);
    EXPECT_EQ(compass::CompassColour(at(300, columns, 6, 0)), compass::kBandColour);
    EXPECT_EQ(compass::CompassColour({300, compass::kPlateTop + 0.1}), std::nullopt);
}

} // namespace
} // namespace tools::scene
