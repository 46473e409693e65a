#include "modes/adjust_expander.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/engine/engine_fixture.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

using engine_testing::EngineTest;

class AdjustExpanderTest : public EngineTest {
protected:
    void frame(CAdjustExpander& e, uint16_t w, uint16_t h) {
        engine_testing::Picture p(16, 16, [](int, int) { return std::array<uint8_t, 4>{90, 90, 90, 0}; });
        upload(p, 16, 16);
        ASSERT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
        ASSERT_EQ(e.SetOutBufSize(device.get(), w, h), S_OK);
        std::vector<BYTE> out(size_t(w) * h * 3);
        ASSERT_EQ(e.RenderAll(context(), out.data()), S_OK);
        UINT n = 1;
        device->RSGetViewports(&n, &viewport);
        effect->GetVariableByName("matWVP")->AsMatrix()->GetMatrix(wvp.data());
    }
    D3D10_VIEWPORT viewport{};
    CMatrix wvp;
};

TEST_F(AdjustExpanderTest, DraggingAndZoomingWriteTheCalibration) {
    CAdjustExpander e;
    frame(e, 1280, 720);
    EXPECT_EQ(e.getPan(), 0.0f); // the load values show the picture centred
    EXPECT_EQ(e.getTilt(), 0.0f);
    const float U = 1439.0f / 2048;
    CEngineSharedState& shared = EngineShared();
    e.MoveBy(1280 * 3, 0);
    EXPECT_EQ(e.getPan(), 2.0f);
    EXPECT_FLOAT_EQ(shared.centreOffsetU, -U);
    e.MoveBy(-1280, -720 / 4.0f);
    EXPECT_FLOAT_EQ(e.getPan(), 1.0f);
    EXPECT_FLOAT_EQ(e.getTilt(), -0.25f);
    EXPECT_FLOAT_EQ(shared.centreOffsetU, -U * 0.5f);
    EXPECT_FLOAT_EQ(shared.centreOffsetV, -0.125f * U);
    e.ZoomBy(50);
    EXPECT_FLOAT_EQ(shared.circleRadius, 0.3333333f);
    e.ZoomBy(500);
    EXPECT_EQ(e.getZoom(), 2.0f);
    EXPECT_EQ(shared.circleRadius, 0.25f);
    e.ZoomBy(-500);
    EXPECT_EQ(shared.circleRadius, 0.5f);

    // The percentage operations touch nothing; the getters leave their outputs.
    e.SetPosition(10, 90);
    e.SetZoom(100);
    float h = -7, v = -8, z = -9;
    e.GetPosition(&h, &v);
    e.GetZoom(&z);
    EXPECT_EQ(h, -7.0f);
    EXPECT_EQ(z, -9.0f);
    EXPECT_FLOAT_EQ(e.getPan(), 1.0f);
    EXPECT_EQ(e.getZoom(), 1.0f);

    // A rebuild derives the view from the calibration; the zoom is not derived from the radius.
    shared.centreOffsetU = -0.1f;
    shared.centreOffsetV = 0.05f;
    ASSERT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
    EXPECT_FLOAT_EQ(e.getPan(), 0.2f / U);
    EXPECT_FLOAT_EQ(e.getTilt(), 0.1f / U);

    // Neither a drag nor a step that is not a number reaches the calibration every mode reads.
    e.MoveBy(NAN, 3);
    e.ZoomBy(NAN);
    EXPECT_EQ(shared.centreOffsetU, -0.1f);
    EXPECT_EQ(shared.circleRadius, 0.5f);
}

TEST_F(AdjustExpanderTest, AspectCorrectionAndGuide) {
    CAdjustExpander e;
    frame(e, 1920, 1080);
    float kx, ky;
    e.aspectFactors(kx, ky);
    EXPECT_FLOAT_EQ(kx, 0.5625f);
    EXPECT_EQ(ky, 1.0f);
    EXPECT_EQ(viewport.Width, 1920u);
    EXPECT_EQ(viewport.Height, 1080u);
    // The guide is drawn last, under Scaling(kx, ky, 1) alone: no shift, no zoom, no projection.
    e.MoveBy(300, 200);
    e.ZoomBy(40);
    frame(e, 1920, 1080);
    CMatrix expected;
    expected.Scaling(0.5625f, 1, 1);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(wvp.data()[i], expected.data()[i]) << i;
    frame(e, 720, 1280);
    e.aspectFactors(kx, ky);
    EXPECT_EQ(kx, 1.0f);
    EXPECT_FLOAT_EQ(ky, 0.5625f);
}

TEST_F(AdjustExpanderTest, FailuresAreReportedWithTheirTags) {
    CAdjustExpander e;
    platform::DebugOutputCapture log;
    // The base builds five buffers before the mode's own quad.
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5);
    EXPECT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
    EXPECT_NE(log.text().find(L"[ERR]CAdjustExpander::initialize:62 (0x8007000E)"), std::wstring::npos);
    EXPECT_NE(log.text().find(L"[ERR]CAdjustExpander::SetInputSize:146 (0x8007000E)"), std::wstring::npos);
}

class AdjustPictureTest : public ModeTest {
protected:
    void SetUp() override { EngineShared() = CEngineSharedState{}; }
    void TearDown() override { EngineShared() = CEngineSharedState{}; }

    // The adjust mode made current on `picture`, its zoom back at 1.
    CAdjustExpander& adjust(const Image& picture) {
        unfold(mode(1), picture);
        auto* a = static_cast<CAdjustExpander*>(engine().Current());
        a->ZoomBy(-1000);
        return *a;
    }
};

bool IsGuide(Rgba c) {
    return c.r > 200 && c.g < 60 && c.b < 60;
}

// The one-pixel guide line within a pixel of (x, y).
bool GuideNear(const Image& img, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < int(img.width()) && py < int(img.height()) &&
                IsGuide(img.pixel(px, py)))
                return true;
        }
    return false;
}

// Pixels of the output where the two pictures agree.
double Agreement(const Image& a, const Image& b) {
    size_t same = 0;
    for (uint32_t y = 0; y < a.height(); ++y)
        for (uint32_t x = 0; x < a.width(); ++x) same += Near(a.pixel(x, y), b.pixel(x, y), 60);
    return double(same) / (double(a.width()) * a.height());
}

TEST_F(AdjustPictureTest, ThePictureMovesUnderAFixedRedGuide) {
    namespace room = tools::scene::room;
    adjust(SceneFisheye());
    Image out = unfold(mode(1));
    // The picture fills the centred 720 x 720 square, the ceiling marker in the middle, black beside.
    EXPECT_TRUE(Near(out.pixel(640, 360), room::kMarkerColour, 60));
    EXPECT_TRUE(IsBlack(out.pixel(270, 360)));
    EXPECT_TRUE(IsBlack(out.pixel(1010, 360)));
    // The guide is red in the frame, on the circle inscribed in that square.
    for (auto [x, y] : {std::pair{280, 360}, {999, 360}, {640, 0}, {640, 719}})
        EXPECT_TRUE(GuideNear(out, x, y)) << x << "," << y;
    EXPECT_FALSE(GuideNear(out, 640, 300));
    // Dragged right by 128 pixels (pan 0.1): the picture moves 0.1 x 0.5625 x 640 = 36 pixels right
    // and the guide stays.
    auto& a = static_cast<CAdjustExpander&>(*engine().Current());
    a.MoveBy(128, 0);
    Image moved = unfold(mode(1));
    EXPECT_TRUE(Near(moved.pixel(640 + 36, 360), room::kMarkerColour, 60));
    EXPECT_FALSE(Near(moved.pixel(640 - 30, 360), room::kMarkerColour, 60));
    EXPECT_TRUE(GuideNear(moved, 280, 360));
}

TEST_F(AdjustPictureTest, CalibrationMovesTheCircleOtherModesSample) {
    // The reference picture shrunk into a larger one and moved off its centre: 1440 pixels at
    // (40, 40) in 1600 x 1600. The modes sample a circle of radius 0.5 x 1439 texels about texel
    // 719.5 of their picture; in the large one that circle lies about texel (759.5, 839.5) from the
    // top-left of the bottom-up texture, with radius 719.5.
    Image padded(1600, 1600);
    padded.blit(SceneFisheye(), 40, 40);
    const double U = 1599.0 / 2048, radius = 719.5 / 1599;
    const double du = -40.0 / 2048, dv = 40.0 / 2048;

    std::vector<Image> reference, uncalibrated;
    for (int32_t id : {9, 6, 7}) reference.push_back(unfold(mode(id)));
    for (int32_t id : {9, 6, 7}) uncalibrated.push_back(unfold(mode(id), padded));

    CAdjustExpander& a = adjust(padded);
    a.MoveBy(float(-2 * du / U * 1280), float(2 * dv / U * 720));
    a.ZoomBy(float((0.5 / radius - 1) * 100));
    EXPECT_NEAR(EngineShared().centreOffsetU, du, 1e-5);
    EXPECT_NEAR(EngineShared().centreOffsetV, dv, 1e-5);
    EXPECT_NEAR(EngineShared().circleRadius, radius, 1e-5);

    // The calibration view now shows the picture circle centred, its rim on the guide.
    Image calibrating = unfold(mode(1), padded);
    EXPECT_TRUE(Near(calibrating.pixel(640, 360), tools::scene::room::kMarkerColour, 60));
    int left = -1, right = -1;
    for (int x = 0; x < 1280; ++x)
        if (!IsBlack(calibrating.pixel(x, 360)) && !IsGuide(calibrating.pixel(x, 360))) {
            if (left < 0) left = x;
            right = x;
        }
    EXPECT_NEAR((left + right) / 2.0, 639.5, 1.5);
    EXPECT_NEAR(right - left + 1, 720 * 0.9986, 3);

    // Each mode rebuilt on its next selection unfolds the moved picture as it unfolds the original.
    int i = 0;
    for (int32_t id : {9, 6, 7}) {
        Image calibrated = unfold(mode(id), padded);
        EXPECT_GT(Agreement(calibrated, reference[i]), 0.97) << tools::unfold::ModeLabel(id);
        EXPECT_LT(Agreement(uncalibrated[i], reference[i]), 0.85) << tools::unfold::ModeLabel(id);
        ++i;
    }
}

} // namespace
} // namespace mode_testing
