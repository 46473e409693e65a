#include "modes/indome_expander.h"

#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

class InDomeView : public ::testing::Test {
protected:
    void SetUp() override { EngineShared().Reset(); }
    void TearDown() override { EngineShared().Reset(); }
};

TEST_F(InDomeView, FieldOfViewAndTiltLimits) {
    CInDomeExpander d;
    // Before the output size is known there is no vertical field.
    EXPECT_EQ(d.verticalField(), 0.0f);
    EXPECT_NEAR(d.lowTilt(), -17.0f, 1e-4);
    d.SetOutBufSize(nullptr, 1920, 1080);
    EXPECT_NEAR(d.horizontalField(), 133.33f, 1e-4);
    EXPECT_NEAR(d.verticalField(), 74.998f, 1e-3);
    EXPECT_NEAR(d.lowTilt(), 20.499f, 1e-3);
    d.SetPosition(50, 0);
    float h, v;
    d.GetPosition(&h, &v);
    EXPECT_NEAR(h, 50, 1e-4);
    EXPECT_NEAR(v, 0, 1e-4);
    d.SetPosition(0, 100);
    d.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 100, 1e-4);
    d.ZoomBy(100); // zoom 2
    EXPECT_NEAR(d.verticalField(), 43.498f, 1e-3);
    EXPECT_NEAR(d.lowTilt(), 4.749f, 1e-3);
    float z;
    d.GetZoom(&z);
    EXPECT_NEAR(z, 100, 1e-4);
}

TEST_F(InDomeView, TheClampKeepsTheViewInsideTheLens) {
    CInDomeExpander d;
    d.SetOutBufSize(nullptr, 1920, 1080);
    const float lo = d.lowTilt();
    // A drag of the full height adds 360 degrees of tilt; the clamp holds it at the lens axis.
    d.SetPosition(0, 50);
    d.MoveBy(0, -1080);
    float v;
    d.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 100, 1e-3);
    // The lens turned down: the tilt goes to the other side at once.
    d.SetPosition(0, 10);
    d.SetFlip(true, true);
    d.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 0, 1e-3); // tilt -lo
    d.SetPosition(0, 0);
    d.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 0, 1e-3);
    (void)lo;
    // SetPosition and SetZoom do not clamp.
    d.SetFlip(false, false);
    d.SetZoom(100);
    d.SetPosition(0, 0);
    d.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 0, 1e-3);
}

class InDomePictureTest : public ModeTest {};

// Where, in each row, the colour turns from `a` to `b` going right (across at most two blended
// pixels); rows without such a turn are left out.
std::vector<std::pair<double, double>> boundary(const Image& img, Rgba a, Rgba b, int y0, int y1) {
    std::vector<std::pair<double, double>> points;
    for (int y = y0; y < y1; ++y) {
        int lastA = -10;
        for (int x = 0; x < int(img.width()); ++x) {
            if (Near(img.pixel(x, y), a)) {
                lastA = x;
            } else if (Near(img.pixel(x, y), b) && x - lastA <= 3) {
                points.push_back({(lastA + x) / 2.0, y});
                break;
            }
        }
    }
    return points;
}

TEST_F(InDomePictureTest, UprightWithStraightEdges) {
    namespace room = tools::scene::room;
    // Facing north: upright, the ceiling at the top, the floor at the bottom, west on the left and east
    // on the right (not mirrored).
    UnfoldSettings s = mode(9);
    s.horizontal = 0;
    s.vertical = 0;
    Image north = unfold(s);
    EXPECT_TRUE(Near(north.pixel(640, 5), room::kCeilingColour, 30));
    Rgba floor = north.pixel(640, 715);
    EXPECT_TRUE(Near(floor, room::kFloorLight, 60) || Near(floor, room::kFloorDark, 60));
    EXPECT_TRUE(Near(north.pixel(640, 600), room::kNorthColour, 60));
    EXPECT_TRUE(Near(north.pixel(5, 400), room::kWestColour, 60));
    EXPECT_TRUE(Near(north.pixel(1274, 400), room::kEastColour, 60));

    // Turned to the north-east corner (pan 41 degrees): the corner is a straight vertical line down
    // the middle, and the foot of the east wall a straight line.
    s.horizontal = float(room::CornerAzimuth(room::Corner::NorthEast) / 3.6);
    Image corner = unfold(s);
    auto edge = boundary(corner, room::kNorthColour, room::kEastColour, 380, 600);
    ASSERT_GT(edge.size(), 150u);
    LineFit e = FitLine(edge, true);
    EXPECT_LT(e.worst, 1.5);
    EXPECT_LT(std::fabs(e.angleDegrees), 1.0);
    EXPECT_NEAR(edge.front().first, 640, 12);
    std::vector<std::pair<double, double>> foot;
    for (int x = 700; x < 1270; x += 4)
        for (int y = 719; y > 400; --y)
            if (Near(corner.pixel(x, y), room::kEastColour) ||
                Near(corner.pixel(x, y), room::kPilasterColour)) {
                foot.push_back({x, y});
                break;
            }
    ASSERT_GT(foot.size(), 100u);
    EXPECT_LT(FitLine(foot, false).worst, 1.5);
}

TEST_F(InDomePictureTest, ADownwardLensIsUprightToo) {
    namespace room = tools::scene::room;
    UnfoldSettings s = mode(9);
    s.lensUp = false;
    s.horizontal = 0;
    s.vertical = 0;
    Image out = unfold(s, SceneFisheye(tools::scene::LensFacing::Down));
    Rgba floor = out.pixel(640, 715);
    EXPECT_TRUE(Near(floor, room::kFloorLight, 60) || Near(floor, room::kFloorDark, 60));
    EXPECT_FALSE(Near(out.pixel(640, 5), room::kFloorLight, 60) ||
                 Near(out.pixel(640, 5), room::kFloorDark, 60));
}

} // namespace
} // namespace mode_testing
