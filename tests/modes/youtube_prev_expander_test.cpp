#include "modes/youtube_prev_expander.h"

#include "tests/modes/mode_fixture.h"
#include "tools/scene/compass_ring.h"

namespace mode_testing {
namespace {

class YouTubePrevView : public ::testing::Test {
protected:
    void SetUp() override { EngineShared() = CEngineSharedState{}; }
    void TearDown() override { EngineShared() = CEngineSharedState{}; }
};

TEST_F(YouTubePrevView, OwnPositionMappingNoClampNoReport) {
    CYouTubePrevExpander y(0);
    EXPECT_EQ(y.getPan(), 0.0f);
    EXPECT_EQ(y.getTilt(), 0.0f);
    EXPECT_EQ(y.getZoom(), 1.0f);
    EXPECT_EQ(y.getModeParam(), 0.0f);
    // Unlike the inverted dome, neither a new output size nor a lens turn clamps the view.
    y.SetOutBufSize(nullptr, 1920, 1080);
    y.SetFlip(true, true);
    EXPECT_EQ(y.getTilt(), 0.0f);
    y.SetFlip(false, false);

    y.SetPosition(25, 50); // lo = 100/2 - 17 = 33 at zoom 1
    EXPECT_FLOAT_EQ(y.getPan(), 90.0f);
    EXPECT_FLOAT_EQ(y.getTilt(), 61.5f);
    float h = -3, v = -4, z = -5;
    y.GetPosition(&h, &v);
    y.GetZoom(&z);
    EXPECT_EQ(h, -3.0f);
    EXPECT_EQ(v, -4.0f);
    EXPECT_EQ(z, -5.0f);

    y.SetZoom(50);
    EXPECT_FLOAT_EQ(y.getZoom(), 1.5f);
    y.ZoomBy(20);
    EXPECT_EQ(y.getZoom(), 2.0f);
    y.SetPosition(-1, 0); // lo = 8 at zoom 2
    EXPECT_NEAR(y.getTilt(), 8.0f, 1e-4);
    y.SetFlip(false, true);
    y.SetPosition(-1, 0);
    EXPECT_NEAR(y.getTilt(), -8.0f, 1e-4);
    y.ZoomBy(-100);
    EXPECT_EQ(y.getZoom(), 1.0f);

    // Drags neither wrap nor clamp.
    y.MoveBy(-1920 * 2, -1080);
    EXPECT_FLOAT_EQ(y.getPan(), 90 + 720.0f);
    EXPECT_NEAR(y.getTilt(), -8.0f + 360, 1e-3);
}

TEST_F(YouTubePrevView, VariantsAimTheCameraDifferently) {
    // Where the lens axis (the dome's pole, +y) ends up in view space; the camera looks along -z.
    auto pole = [](const CYouTubePrevExpander& y) {
        const float in[4] = {0, 1, 0, 1};
        float out[4];
        y.viewMatrix().transform(in, out);
        return std::array<float, 3>{out[0], out[1], out[2]};
    };
    CYouTubePrevExpander horizon(0), axis(1);
    auto p0 = pole(horizon), p1 = pole(axis);
    EXPECT_NEAR(p0[1], 1.0f, 1e-6);  // variant 0 at tilt 0: the pole straight up, the horizon ahead
    EXPECT_NEAR(p1[2], -1.0f, 1e-6); // variant 1 at tilt 0: looking along the lens axis
    EngineShared().flipVertical = true;
    EXPECT_NEAR(pole(axis)[2], 1.0f, 1e-6); // turned the other way, as the flip turns the dome over
    // In variant 1 the pan turns about the view's vertical axis: the pole swings sideways along the
    // view's horizontal midline (pan 108 degrees: to sin 108 = 0.95 off the axis, behind the camera).
    axis.SetPosition(30, -1);
    EngineShared().flipVertical = false;
    p1 = pole(axis);
    EXPECT_NEAR(p1[1], 0.0f, 1e-6);
    EXPECT_NEAR(std::fabs(p1[0]), 0.951f, 1e-3);
    EXPECT_GT(p1[2], 0.0f);
}

class YouTubePrevPictureTest : public ModeTest {};

TEST_F(YouTubePrevPictureTest, HorizonViewAndLensAxisView) {
    namespace room = tools::scene::room;
    // Variant 0 at tilt 0 looks at the horizon: the compass band is a straight horizontal line
    // through the middle, and below the lens's reach (17 degrees under the horizon) there is nothing.
    Image horizon = unfold(mode(12));
    std::vector<std::pair<double, double>> band;
    for (int x = 0; x < 1280; x += 8) {
        int top = -1, bottom = -1;
        for (int y = 300; y < 420; ++y)
            if (Near(horizon.pixel(x, y), tools::scene::compass::kBandColour, 30)) {
                if (top < 0) top = y;
                bottom = y;
            }
        if (top >= 0 && bottom - top < 30) band.push_back({x, (top + bottom) / 2.0});
    }
    ASSERT_GT(band.size(), 90u); // the ticks and labels interrupt the band
    LineFit fit = FitLine(band, false);
    EXPECT_LT(fit.worst, 1.5);
    EXPECT_LT(std::fabs(fit.angleDegrees), 0.2);
    EXPECT_NEAR(band[band.size() / 2].second, 359.5, 2);
    EXPECT_TRUE(IsBlack(horizon.pixel(640, 690)));
    EXPECT_TRUE(Near(horizon.pixel(800, 280), room::kNorthColour, 60));

    // Variant 1 at tilt 0 looks along the lens axis: the zenith with the ceiling marker.
    Image axis = unfold(mode(13));
    EXPECT_TRUE(Near(axis.pixel(640, 360), room::kMarkerColour, 60));
    EXPECT_TRUE(Near(axis.pixel(100, 100), room::kCeilingColour, 30));
    // With the lens turned down the same view looks at the nadir, over a light floor square.
    UnfoldSettings down = mode(13);
    down.lensUp = false;
    Image nadir = unfold(down, SceneFisheye(tools::scene::LensFacing::Down));
    EXPECT_TRUE(Near(nadir.pixel(640, 360), room::kFloorLight, 40));
}

} // namespace
} // namespace mode_testing
