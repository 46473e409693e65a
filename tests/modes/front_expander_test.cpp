#include "modes/front_expander.h"

#include "tests/engine/engine_fixture.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

using engine_testing::EngineTest;

class FrontExpanderTest : public EngineTest {
protected:
    // Draws one frame of e into a w x h out buffer and returns the viewport and matWVP it left.
    void frame(CFrontExpander& e, uint16_t imgW, uint16_t imgH, uint16_t w, uint16_t h) {
        engine_testing::Picture p(16, 16, [](int, int) { return std::array<uint8_t, 4>{90, 90, 90, 0}; });
        upload(p, 16, 16);
        ASSERT_EQ(e.SetInputSize(device.get(), imgW, imgH, 2048, 2048), S_OK);
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

TEST_F(FrontExpanderTest, FitStateViewportsAndView) {
    CFrontExpander e(1, 1);
    e.SetFlip(true, true); // the filter's default: the world matrix is the identity
    frame(e, 1920, 1920, 1280, 720);
    EXPECT_EQ(viewport.TopLeftX, 280);
    EXPECT_EQ(viewport.TopLeftY, 0);
    EXPECT_EQ(viewport.Width, 720u);
    EXPECT_EQ(viewport.Height, 720u);
    // Identity world, identity rotation and scale, flat projection.
    EXPECT_FLOAT_EQ(wvp.at(1, 1), 1.0f);
    EXPECT_FLOAT_EQ(wvp.at(3, 3), -0.05f);
    EXPECT_FLOAT_EQ(wvp.at(4, 3), 0.5f);
    frame(e, 1920, 1920, 720, 1280);
    EXPECT_EQ(viewport.TopLeftX, 0);
    EXPECT_EQ(viewport.TopLeftY, 280);
    EXPECT_EQ(viewport.Width, 720u);
}

TEST_F(FrontExpanderTest, CropStateForSixteenByNine) {
    CFrontExpander e(0.8715755f, 0.4902612f);
    e.SetFlip(true, true);
    frame(e, 1920, 1920, 1280, 720);
    EXPECT_EQ(viewport.TopLeftX, 0);
    EXPECT_EQ(viewport.Width, 1280u);
    EXPECT_EQ(viewport.Height, 1280u);
    // Scaling(1/m) x Translation(0, 0.4375, 0) at pan 0.
    EXPECT_NEAR(wvp.at(1, 1), 1.1473475f, 1e-6);
    EXPECT_NEAR(wvp.at(2, 2), 1.1473475f, 1e-6);
    EXPECT_NEAR(wvp.at(4, 2), 0.4375f, 1e-6);
}

TEST_F(FrontExpanderTest, NonSquarePictureFillsTheOutputUnmasked) {
    CFrontExpander e(1, 1);
    frame(e, 1920, 1080, 1280, 720);
    EXPECT_EQ(viewport.Width, 1280u);
    EXPECT_EQ(viewport.Height, 720u);
    // Both flags clear: a half turn about the view axis.
    EXPECT_NEAR(wvp.at(1, 1), -1.0f, 1e-6);
    EXPECT_NEAR(wvp.at(2, 2), -1.0f, 1e-6);
}

TEST(FrontExpanderView, PanAndZoomMappings) {
    CFrontExpander fit(1, 1), crop(0.8715755f, 0.4902612f);
    fit.SetZoom(100);
    fit.ZoomBy(5);
    EXPECT_EQ(fit.getZoom(), 1.0f);
    crop.SetZoom(100);
    EXPECT_FLOAT_EQ(crop.getZoom(), 4.0f);
    crop.SetZoom(101);
    EXPECT_FLOAT_EQ(crop.getZoom(), 4.0f);
    crop.ZoomBy(-100);
    EXPECT_EQ(crop.getZoom(), 1.0f);
    float z = -1;
    crop.SetZoom(50);
    crop.GetZoom(&z);
    EXPECT_NEAR(z, 50, 1e-4);
    fit.SetPosition(50, 77);
    EXPECT_FLOAT_EQ(fit.getPan(), 0.0f);
    float h = 0, v = 1;
    fit.GetPosition(&h, &v);
    EXPECT_NEAR(h, 50, 1e-5);
    EXPECT_EQ(v, 0.0f);
    fit.GetPosition(nullptr, nullptr);
    fit.SetPosition(101, 0); // ignored
    EXPECT_FLOAT_EQ(fit.getPan(), 0.0f);
}

TEST(FrontExpanderView, MoveByWrapsAtTwoPi) {
    CFrontExpander e(1, 1);
    // MoveBy reads the out-buffer width; give it one without a device.
    e.SetOutBufSize(nullptr, 1280, 720);
    e.MoveBy(1280, 999);
    EXPECT_FLOAT_EQ(e.getPan(), 3.7168145f);
    e.MoveBy(-1280 * 2, 0);
    EXPECT_NEAR(e.getPan(), -10.0f, 1e-5); // one wrap per call: -16.28 + 2 pi
}

class FrontPictureTest : public ModeTest {};

TEST_F(FrontPictureTest, TheCircleIsCentredWithBlackAround) {
    Image out = unfold(mode(0));
    // Outside the circle: black; inside: the scene.
    int left = -1, right = -1;
    for (int x = 0; x < 1280; ++x) {
        if (!IsBlack(out.pixel(x, 360))) {
            if (left < 0) left = x;
            right = x;
        }
    }
    int top = -1, bottom = -1;
    for (int y = 0; y < 720; ++y) {
        if (!IsBlack(out.pixel(640, y))) {
            if (top < 0) top = y;
            bottom = y;
        }
    }
    EXPECT_NEAR((left + right) / 2.0, 639.5, 1.5);
    EXPECT_NEAR((top + bottom) / 2.0, 359.5, 1.5);
    EXPECT_NEAR(right - left + 1, 720 * 0.9986, 3); // the picture circle fills the height
    for (int y : {0, 100, 620, 719}) {
        for (int x : {0, 200, 1079, 1279}) {
            double dx = x + 0.5 - 640, dy = y + 0.5 - 360;
            if (dx * dx + dy * dy > 362.0 * 362.0) {
                EXPECT_TRUE(IsBlack(out.pixel(x, y))) << x << "," << y;
            }
        }
    }
    // The ceiling marker is at the centre.
    EXPECT_TRUE(Near(out.pixel(640, 360), tools::scene::room::kMarkerColour, 60));
}

} // namespace
} // namespace mode_testing
