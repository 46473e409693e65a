#include "modes/equirect_expander.h"

#include "modes/flat_projection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

TEST(EquirectView, OnlyPans) {
    EngineShared().Reset();
    CEquirectExpander e;
    e.SetOutBufSize(nullptr, 1280, 640);
    e.SetPosition(50, 0);
    EXPECT_EQ(e.getPan(), 0.0f);
    e.SetPosition(101, 0);
    EXPECT_EQ(e.getPan(), 0.0f);
    e.SetPosition(75, 0);
    EXPECT_EQ(e.getPan(), 0.5f);
    e.MoveBy(320, 999); // a quarter of the width: half a unit, onto the seam
    EXPECT_EQ(e.getPan(), -1.0f);
    e.MoveBy(-1, 0);
    EXPECT_EQ(e.getPan(), 1.0f);
    // No zoom, and no position reported: the caller's values stay.
    e.SetZoom(100);
    e.ZoomBy(5);
    float h = 12, v = 34, z = 56;
    e.GetPosition(&h, &v);
    e.GetZoom(&z);
    EXPECT_EQ(h, 12.0f);
    EXPECT_EQ(v, 34.0f);
    EXPECT_EQ(z, 56.0f);
}

class EquirectFrame : public ExpanderFrameTest {};

TEST_F(EquirectFrame, AxisOffsetAndSquareDegrees) {
    // psi = 107/180 pi / 2 and c = (1 - psi 2/pi) / (2 psi): a row at polar parameter t lands at
    // (1 - 2t 107/180) d e / 2.
    const float psi = 0.9337512f, c = 0.2171647f;
    CEquirectExpander e;
    e.SetPosition(75, 0);
    frame(e, 512, 256);
    EXPECT_EQ(viewport.Width, 512u);
    CMatrix t, s;
    ExpectMatrixNear(wvp, Product({t.Translation(0.5f, c, 0), s.Scaling(1, 2 * psi, 1), FlatProjection()}));
    float row[4] = {0, float((1 - 2 * 0.0) / kPi), 0, 1}, out[4];
    wvp.transform(row, out);
    EXPECT_NEAR(out[1], 1.0f, 1e-5); // the lens axis on the top edge of a 2:1 map
    row[1] = float((1 - 2 * 90.0 / 107) / kPi);
    wvp.transform(row, out);
    EXPECT_NEAR(out[1], 0.0f, 1e-5); // the horizon across the middle
    // A downward lens: the flip turns the mesh over first, and the offset changes sign.
    e.SetFlip(true, true);
    frame(e, 512, 256);
    ExpectMatrixNear(wvp, Product({e.getFlipMatrix(), t.Translation(0.5f, -c, 0), s.Scaling(1, 2 * psi, 1),
                                   FlatProjection()}));
    // Wider than pi : 1 the map keeps its proportions in a narrowed, centred viewport.
    frame(e, 1024, 256);
    EXPECT_EQ(viewport.Width, 804u);
    EXPECT_EQ(viewport.TopLeftX, 110);
    ExpectMatrixNear(wvp,
                     Product({e.getFlipMatrix(), t.Translation(0.5f, -c, 0), s.Scaling(1, kPi * psi, 1),
                              FlatProjection()}),
                     1e-5f);
}

class EquirectPictureTest : public ModeTest {};

// On a 2:1 output: the lens axis along the top row, the horizon straight across the middle, degrees
// square (the floor-wall line at its elevation), the rim 17 degrees below the horizon and black
// beneath; azimuth across as in the panorama.
TEST_F(EquirectPictureTest, TheMapOfTheRoom) {
    namespace room = tools::scene::room;
    UnfoldSettings s = mode(3);
    s.width = 1280;
    s.height = 640;
    s.horizontal = 50;
    Image out = unfold(s);
    const double perDegree = 640.0 / 180;
    for (int x = 0; x < 1280; x += 64) {
        EXPECT_TRUE(Near(out.pixel(x, 0), room::kMarkerColour, 60)) << x;
        EXPECT_FALSE(IsBlack(out.pixel(x, int(320 + 17 * perDegree) - 2))) << x;
        EXPECT_TRUE(IsBlack(out.pixel(x, int(320 + 17 * perDegree) + 2))) << x;
        EXPECT_TRUE(IsBlack(out.pixel(x, 639))) << x;
    }
    auto horizon = HorizonPoints(out, 0, 1280, 4, 310, 330);
    ASSERT_GT(horizon.size(), 200u);
    LineFit fit = FitLine(horizon, false);
    EXPECT_LT(fit.worst, 1.0);
    EXPECT_LT(std::fabs(fit.angleDegrees), 0.05);
    double mean = 0;
    for (auto& q : horizon) mean += q.second;
    EXPECT_NEAR(mean / horizon.size(), 319.5, 1.0);

    auto azimuthAt = [](double x) { return 270 + (x - 640) * 360 / 1280; };
    EXPECT_GE(ExpectCornersAt(out, int(320 + 5 * perDegree), 0, 1280, azimuthAt, 1.0), 4u);
    // The foot of the walls, straight below each sampled azimuth at its own elevation.
    int checked = 0;
    for (double az = 5; az < 360; az += 20) {
        const double elevation = room::ElevationOfHeight(az, 0);
        const int x = int(640 + tools::scene::AzimuthDifference(az, 270) * 1280 / 360);
        const int expected = int(std::lround(320 - elevation * perDegree));
        int y = expected - 6;
        while (y < expected + 6 &&
               !(Near(out.pixel(x, y), room::kFloorLight, 60) || Near(out.pixel(x, y), room::kFloorDark, 60)))
            ++y;
        if (Near(out.pixel(x, y - 1), room::BaseColour(room::WallAtAzimuth(az)), 60)) {
            EXPECT_NEAR(y, 320 - elevation * perDegree, 2.0) << "azimuth " << az;
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

TEST_F(EquirectPictureTest, SixteenByNineAndADownwardLens) {
    namespace room = tools::scene::room;
    UnfoldSettings s = mode(3);
    s.horizontal = 50;
    // 16:9 is narrower than pi : 1: full width, centred on the horizon, black above the axis.
    Image up = unfold(s);
    const double axis = 360 - 1280.0 / 720 / 2 * 360; // d e / 2 of the half-height above the middle
    EXPECT_TRUE(IsBlack(up.pixel(640, int(axis) - 2)));
    EXPECT_TRUE(Near(up.pixel(640, int(axis) + 2), room::kMarkerColour, 60));
    EXPECT_FALSE(IsBlack(up.pixel(0, 360)));
    EXPECT_FALSE(IsBlack(up.pixel(1279, 360)));
    EXPECT_NEAR(FitLine(HorizonPoints(up, 0, 1280, 8, 350, 370), false).worst, 0, 1.0);

    // Lens down: the nadir at the bottom, the horizon still across the middle, upright.
    s.lensUp = false;
    Image down = unfold(s, SceneFisheye(tools::scene::LensFacing::Down));
    EXPECT_TRUE(IsBlack(down.pixel(640, 720 - int(axis) + 2)));
    const Rgba nadir = down.pixel(640, 720 - int(axis) - 3);
    EXPECT_TRUE(Near(nadir, room::kFloorLight, 60) || Near(nadir, room::kFloorDark, 60));
    EXPECT_TRUE(IsBlack(down.pixel(640, 5)));
    auto horizon = HorizonPoints(down, 0, 1280, 4, 350, 370);
    ASSERT_GT(horizon.size(), 200u);
    EXPECT_LT(FitLine(horizon, false).worst, 1.0);
    auto azimuthAt = [](double x) { return 90 + (x - 640) * 360 / 1280; };
    EXPECT_GE(ExpectCornersAt(down, 380, 0, 1280, azimuthAt, 1.0), 4u);
}

} // namespace
} // namespace mode_testing
