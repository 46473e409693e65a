#include "modes/adjust_expander.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

using AdjustExpanderTest = ExpanderFrameTest;

TEST_F(AdjustExpanderTest, DraggingAndZoomingWriteTheCalibration) {
    CAdjustExpander e;
    frame(e, 1920, 1080);
    EXPECT_EQ(e.getPan(), 0.0f); // the load values show the picture centred
    float kx, ky;
    e.aspectFactors(kx, ky);
    EXPECT_FLOAT_EQ(kx, 0.5625f);
    EXPECT_EQ(ky, 1.0f);
    const float U = 1439.0f / 2048;
    e.MoveBy(1920 * 3, -1080 / 4.0f);
    EXPECT_EQ(e.getPan(), 2.0f); // clamped
    EXPECT_FLOAT_EQ(EngineShared().Snapshot().centreOffsetU, -U);
    EXPECT_FLOAT_EQ(EngineShared().Snapshot().centreOffsetV, -0.125f * U);
    e.ZoomBy(50);
    EXPECT_FLOAT_EQ(EngineShared().Snapshot().circleRadius, 0.3333333f);
    e.ZoomBy(500);
    EXPECT_EQ(EngineShared().Snapshot().circleRadius, 0.25f);
    e.ZoomBy(-500);
    EXPECT_EQ(EngineShared().Snapshot().circleRadius, 0.5f);
    // The percentage operations touch nothing; the getters leave their outputs.
    e.SetPosition(10, 90);
    e.SetZoom(100);
    float h = -7, z = -9;
    e.GetPosition(&h, nullptr);
    e.GetZoom(&z);
    EXPECT_EQ(h, -7.0f);
    EXPECT_EQ(z, -9.0f);
    EXPECT_EQ(e.getPan(), 2.0f);
    EXPECT_EQ(e.getZoom(), 1.0f);
    // A rebuild derives the view from the calibration.
    EngineShared().SetCentreOffset(-0.1f, 0.05f);
    ASSERT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
    EXPECT_FLOAT_EQ(e.getPan(), 0.2f / U);
    EXPECT_FLOAT_EQ(e.getTilt(), 0.1f / U);
    // A drag or step that is not a number does not reach the calibration every mode reads.
    e.MoveBy(NAN, 3);
    e.ZoomBy(NAN);
    EXPECT_EQ(EngineShared().Snapshot().centreOffsetU, -0.1f);
    EXPECT_EQ(EngineShared().Snapshot().circleRadius, 0.5f);

    platform::DebugOutputCapture log;
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5); // after the base's five
    EXPECT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
    EXPECT_NE(log.text().find(L"[ERR]CAdjustExpander::initialize:62 (0x8007000E)"), std::wstring::npos);
    EXPECT_NE(log.text().find(L"[ERR]CAdjustExpander::SetInputSize:146 (0x8007000E)"), std::wstring::npos);
}

class AdjustPictureTest : public ModeTest {
protected:
    void SetUp() override { EngineShared().Reset(); }
    void TearDown() override { EngineShared().Reset(); }

    // The adjust mode made current on `picture`, its zoom back at 1.
    CAdjustExpander& adjust(const Image& picture) {
        unfold(mode(1), picture);
        auto* a = static_cast<CAdjustExpander*>(engine().Current());
        a->ZoomBy(-1000);
        return *a;
    }
};

// The one-pixel red guide within a pixel of (x, y).
bool GuideNear(const Image& img, int x, int y) {
    for (int py = std::max(y - 1, 0); py <= std::min(y + 1, int(img.height()) - 1); ++py)
        for (int px = std::max(x - 1, 0); px <= std::min(x + 1, int(img.width()) - 1); ++px) {
            Rgba c = img.pixel(px, py);
            if (c.r > 200 && c.g < 60 && c.b < 60) return true;
        }
    return false;
}

double Agreement(const Image& a, const Image& b) {
    size_t same = 0;
    for (uint32_t y = 0; y < a.height(); ++y)
        for (uint32_t x = 0; x < a.width(); ++x) same += Near(a.pixel(x, y), b.pixel(x, y), 60);
    return double(same) / (double(a.width()) * a.height());
}

TEST_F(AdjustPictureTest, ThePictureMovesUnderAFixedRedGuide) {
    namespace room = tools::scene::room;
    CAdjustExpander& a = adjust(SceneFisheye());
    Image out = unfold(mode(1));
    // The picture fills the centred 720 x 720 square, black beside it, under the inscribed circle.
    EXPECT_TRUE(Near(out.pixel(640, 360), room::kMarkerColour, 60));
    EXPECT_TRUE(IsBlack(out.pixel(270, 360)));
    for (auto [x, y] : {std::pair{280, 360}, {999, 360}, {640, 0}, {640, 719}})
        EXPECT_TRUE(GuideNear(out, x, y)) << x << "," << y;
    EXPECT_FALSE(GuideNear(out, 640, 300));
    // Dragged 128 pixels right (pan 0.1), the picture moves 0.1 x 0.5625 x 640 = 36 pixels; the guide
    // stays.
    a.MoveBy(128, 0);
    Image moved = unfold(mode(1));
    EXPECT_TRUE(Near(moved.pixel(640 + 36, 360), room::kMarkerColour, 60));
    EXPECT_FALSE(Near(moved.pixel(640 - 30, 360), room::kMarkerColour, 60));
    EXPECT_TRUE(GuideNear(moved, 280, 360));
}

TEST_F(AdjustPictureTest, CalibrationMovesTheCircleOtherModesSample) {
    // The reference picture at (40, 40) in a 1600 x 1600 one. The modes sample a circle of radius
    // 0.5 x 1439 texels about texel 719.5 of the reference; in the large picture that circle lies about
    // texel (759.5, 839.5) of the bottom-up texture, with radius 719.5.
    Image padded(1600, 1600);
    padded.blit(SceneFisheye(), 40, 40);
    const double U = 1599.0 / 2048, radius = 719.5 / 1599, du = -40.0 / 2048, dv = 40.0 / 2048;
    const int32_t modes[] = {9, 6, 7}; // inverted dome, quad, ring
    std::vector<Image> reference, uncalibrated;
    for (int32_t id : modes) reference.push_back(unfold(mode(id)));
    for (int32_t id : modes) uncalibrated.push_back(unfold(mode(id), padded));

    CAdjustExpander& a = adjust(padded);
    a.MoveBy(float(-2 * du / U * 1280), float(2 * dv / U * 720));
    a.ZoomBy(float((0.5 / radius - 1) * 100));
    const EngineSettings calibrated = EngineShared().Snapshot();
    EXPECT_NEAR(calibrated.centreOffsetU, du, 1e-5);
    EXPECT_NEAR(calibrated.centreOffsetV, dv, 1e-5);
    EXPECT_NEAR(calibrated.circleRadius, radius, 1e-5);

    // The calibration view now shows the picture circle centred with its rim on the guide.
    Image calibrating = unfold(mode(1), padded);
    EXPECT_TRUE(Near(calibrating.pixel(640, 360), tools::scene::room::kMarkerColour, 60));
    int left = -1, right = -1;
    for (int x = 0; x < 1280; ++x)
        if (!IsBlack(calibrating.pixel(x, 360)) && !GuideNear(calibrating, x, 360)) {
            if (left < 0) left = x;
            right = x;
        }
    EXPECT_NEAR((left + right) / 2.0, 639.5, 1.5);
    EXPECT_NEAR(right - left + 1, 720 * 0.9986, 4);

    // Each mode, rebuilt at its next selection, unfolds the moved picture as it unfolds the original.
    for (size_t i = 0; i < std::size(modes); ++i) {
        EXPECT_GT(Agreement(unfold(mode(modes[i]), padded), reference[i]), 0.97) << modes[i];
        EXPECT_LT(Agreement(uncalibrated[i], reference[i]), 0.85) << modes[i];
    }
}

} // namespace
} // namespace mode_testing
