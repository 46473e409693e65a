#include "modes/youtube_prev_expander.h"

#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

class YouTubePrevView : public ::testing::Test {
protected:
    void SetUp() override { EngineShared().Reset(); }
    void TearDown() override { EngineShared().Reset(); }
};

TEST_F(YouTubePrevView, OwnPositionMappingNoClampNoReport) {
    CYouTubePrevExpander y(0);
    // Unlike the inverted dome, neither a new output size nor a lens turn clamps the view.
    y.SetOutBufSize(nullptr, 1920, 1080);
    y.SetFlip(true, true);
    EXPECT_EQ(y.getTilt(), 0.0f);
    y.SetFlip(false, false);
    y.SetPosition(25, 50); // lo = 100/2 - 17 = 33 at zoom 1
    EXPECT_FLOAT_EQ(y.getPan(), 90.0f);
    EXPECT_FLOAT_EQ(y.getTilt(), 61.5f);
    float h = -3, z = -5;
    y.GetPosition(&h, nullptr);
    y.GetZoom(&z);
    EXPECT_EQ(h, -3.0f);
    EXPECT_EQ(z, -5.0f);
    y.SetZoom(50);
    EXPECT_FLOAT_EQ(y.getZoom(), 1.5f);
    y.ZoomBy(20);
    EXPECT_EQ(y.getZoom(), 2.0f);
    y.SetFlip(false, true);
    y.SetPosition(-1, 0); // lo = 8 at zoom 2, negated for a downward lens
    EXPECT_NEAR(y.getTilt(), -8.0f, 1e-4);
    // Drags neither wrap nor clamp.
    y.ZoomBy(-100);
    y.MoveBy(-1920 * 2, -1080);
    EXPECT_FLOAT_EQ(y.getPan(), 90 + 720.0f);
    EXPECT_NEAR(y.getTilt(), -8.0f + 360, 1e-3);
}

class YouTubePrevPictureTest : public ModeTest {};

TEST_F(YouTubePrevPictureTest, HorizonViewAndLensAxisView) {
    namespace room = tools::scene::room;
    // Variant 0 at tilt 0 looks at the horizon: the compass band is a straight horizontal line
    // through the middle, and below the lens's reach (17 degrees under the horizon) there is nothing.
    Image horizon = unfold(mode(12));
    auto band = HorizonPoints(horizon, 0, 1280, 8, 340, 380); // below the labels
    ASSERT_GT(band.size(), 60u);
    EXPECT_GT(band.back().first - band.front().first, 1100);
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
