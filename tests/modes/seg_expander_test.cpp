#include "modes/seg_expander.h"

#include "modes/flat_projection.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

class SegView : public ::testing::Test {
protected:
    void SetUp() override {
        EngineShared().Reset();
        s.SetOutBufSize(nullptr, 1920, 1080); // the sizes the view reads; no device needed
    }
    void TearDown() override { EngineShared().Reset(); }
    CSegExpander s;
};

TEST_F(SegView, PositionPercentagesAndTheirInverse) {
    float h = -1, v = -1;
    s.SetPosition(0, 70);
    EXPECT_EQ(s.getPan(), -3.0f);
    EXPECT_EQ(s.getTilt(), 0.0f); // zoom 1: no tilt whatever v is
    s.GetPosition(&h, &v);
    EXPECT_EQ(h, 0.0f);
    EXPECT_EQ(v, 0.0f);
    s.SetPosition(100, 0);
    EXPECT_EQ(s.getPan(), 1.0f);
    s.GetPosition(&h, nullptr);
    EXPECT_EQ(h, 100.0f);
    s.SetPosition(-0.5f, 100.5f); // both ignored
    EXPECT_EQ(s.getPan(), 1.0f);
    s.GetPosition(nullptr, nullptr);

    s.ZoomBy(10); // zoom 2: e = 0.25, tilt limit 0.5
    EXPECT_EQ(s.getZoom(), 2.0f);
    EXPECT_EQ(s.tiltLimit(), 0.5f);
    s.SetPosition(37, 50);
    EXPECT_EQ(s.getTilt(), 0.25f);
    s.GetPosition(&h, &v);
    EXPECT_FLOAT_EQ(h, 37);
    EXPECT_FLOAT_EQ(v, 50);
    s.MoveBy(0, 0); // inside the limit: kept
    EXPECT_EQ(s.getTilt(), 0.25f);
    s.SetPosition(37, 0);
    EXPECT_EQ(s.getTilt(), -0.25f);
    s.GetPosition(nullptr, &v);
    EXPECT_FLOAT_EQ(v, 0);
}

TEST_F(SegView, HighPercentagesStayOnTheStrip) {
    // The mapping reaches 3e, beyond the strip above zoom 2; the view stops at the strip's edge.
    s.ZoomBy(10);
    s.SetPosition(50, 100);
    EXPECT_EQ(s.getTilt(), 0.5f);
    float v;
    s.GetPosition(nullptr, &v);
    EXPECT_FLOAT_EQ(v, 75);
    s.ZoomBy(100); // zoom 4: 3e = 2.25 would show nothing of the strip
    s.SetPosition(50, 100);
    EXPECT_EQ(s.getTilt(), 0.75f);
    s.SetPosition(50, 0);
    EXPECT_EQ(s.getTilt(), -0.75f);
    s.SetPosition(50, 40); // 4e(0.4) - e = 0.45: inside, as mapped
    EXPECT_FLOAT_EQ(s.getTilt(), 0.45f);
}

TEST_F(SegView, ZoomClampsAndWraps) {
    s.ZoomBy(100);
    EXPECT_EQ(s.getZoom(), 4.0f);
    s.MoveBy(0, 100000);
    EXPECT_EQ(s.getTilt(), 0.75f);
    s.MoveBy(0, -200000);
    EXPECT_EQ(s.getTilt(), -0.75f);
    s.ZoomBy(-100);
    EXPECT_EQ(s.getZoom(), 1.0f);
    EXPECT_EQ(s.getTilt(), 0.0f);
    float z = -1;
    s.SetZoom(100);
    s.GetZoom(&z);
    EXPECT_NEAR(z, 100, 1e-4);
    s.ZoomBy(-100);

    // pan stays in [-3, 1]: 1 itself stays, past it wraps to -3, and below -3 to 1.
    s.SetPosition(87.5f, 0); // pan 0.5
    s.MoveBy(480, 0);        // + 0.5
    EXPECT_EQ(s.getPan(), 1.0f);
    s.MoveBy(9.6f, 0); // 1.01
    EXPECT_EQ(s.getPan(), -3.0f);
    s.MoveBy(-1, 0);
    EXPECT_EQ(s.getPan(), 1.0f);
    CSegExpander unsized;
    unsized.MoveBy(10, 10); // no output size yet: nothing to measure the drag against
    EXPECT_EQ(unsized.getPan(), 0.0f);
}

TEST_F(SegView, SegmentSize) {
    uint32_t w = 0;
    float aspect = 0, sx = 0;
    s.getSegSize(&w, &aspect, &sx);
    EXPECT_EQ(w, 1080u);
    EXPECT_EQ(aspect, 1.0f);
    EXPECT_EQ(sx, 1.0f);
    s.ZoomBy(10);
    s.getSegSize(&w, &aspect, &sx);
    EXPECT_EQ(w, 1920u);
    EXPECT_FLOAT_EQ(aspect, 1.7777778f);
    EXPECT_FLOAT_EQ(sx, 1.125f);
    EXPECT_FLOAT_EQ(sx * aspect, 2.0f); // the vertical scale is the zoom
    s.getSegSize(nullptr, nullptr, nullptr);
}

TEST(SegMesh, TwoTurnsFromTheRimUp) {
    EngineShared().Reset();
    CSegExpander s;
    s.SetInputSize(nullptr, 1440, 1440, 2048, 2048); // sizes only
    auto mesh = s.createSegVtx();
    ASSERT_TRUE(mesh);
    const float lu = 1439.0f / 2048, rim = s.lensRadius(1);
    // x = 4 shows the azimuth 180 - 90 x: the -u side of the picture, at the rim.
    EXPECT_EQ(mesh[0].x, 4.0f);
    EXPECT_EQ(mesh[0].y, -1.0f);
    EXPECT_NEAR(mesh[0].u, (0.5f - 0.5f * rim) * lu, 1e-6);
    EXPECT_NEAR(mesh[0].v, 0.5f * lu, 1e-6);
    EXPECT_NEAR(mesh[1].u, (0.5f - 0.5f * s.lensRadius(1 - 0.025f)) * lu, 1e-6);
    // x = 3 is 90 degrees back: the -v side.
    EXPECT_EQ(mesh[32].x, 3.0f);
    EXPECT_NEAR(mesh[32].u, 0.5f * lu, 1e-6);
    EXPECT_NEAR(mesh[32].v, (0.5f - 0.5f * rim) * lu, 1e-6);
    // The second band runs back from x = -4, with the same azimuth at the same x: at x = -3, 450
    // degrees, the +v side.
    EXPECT_EQ(mesh[258].x, -4.0f);
    EXPECT_EQ(mesh[259].y, -0.875f);
    EXPECT_NEAR(mesh[258 + 32].u, 0.5f * lu, 1e-6);
    EXPECT_NEAR(mesh[258 + 32].v, (0.5f + 0.5f * s.lensRadius(0.975f)) * lu, 1e-6);
    // The top row: polar parameter 1 - radiusScale.
    const VERTEX& top = mesh[kPanoramaVertices - 1];
    EXPECT_EQ(top.y, 1.0f);
    EXPECT_NEAR(std::hypot(top.u - 0.5f * lu, top.v - 0.5f * lu), 0.5f * s.lensRadius(0.2f) * lu, 1e-5);

    // The calibration: circle radius and centre offset.
    EngineShared().SetCircleRadius(0.45f);
    EngineShared().SetCentreOffset(0.02f, -0.01f);
    auto calibrated = s.createSegVtx();
    EXPECT_NEAR(calibrated[0].u, (0.5f - 0.45f * rim) * lu + 0.02f, 1e-6);
    EXPECT_NEAR(calibrated[0].v, 0.5f * lu - 0.01f, 1e-6);
    EngineShared().Reset();
}

TEST(SegPreview, OutlinesAroundBothSegments) {
    EngineShared().Reset();
    CSegExpander s;
    s.SetOutBufSize(nullptr, 1280, 720);
    auto angle = [](const float* p) {
        // The middle of the outer arc, in degrees.
        return std::atan2(p[31] + p[33], p[30] + p[32]) * 180 / M_PI;
    };
    auto same = [](double a, double b) { return std::fabs(tools::scene::AzimuthDifference(a, b)) < 0.01; };
    float a[130], b[130];
    for (bool flipped : {false, true}) {
        s.SetFlip(flipped, flipped);
        s.SetPosition(62.5f, 0); // pan -0.5
        s.previewOutlines(a, b);
        // On the front view of the picture (turned by pi while the flags are clear) the segments are
        // centred at -90 pan and 180 - 90 pan degrees, or 90 pan and 180 + 90 pan with the flags set.
        const double pan = -0.5, c0 = flipped ? 90 * pan : -90 * pan, c1 = c0 + 180;
        EXPECT_TRUE((same(angle(a), c0) && same(angle(b), c1)) || (same(angle(a), c1) && same(angle(b), c0)))
            << angle(a) << " " << angle(b);
        for (const float* p : {a, b}) {
            // At zoom 1: half a turn wide, from the rim to the strip's top, and closed.
            EXPECT_NEAR(std::hypot(p[0], p[1]), s.lensRadius(1), 1e-5);
            EXPECT_NEAR(std::hypot(p[64], p[65]), s.lensRadius(0.2f), 1e-5);
            EXPECT_NEAR(std::fabs(tools::scene::AzimuthDifference(std::atan2(p[1], p[0]) * 180 / M_PI,
                                                                  std::atan2(p[63], p[62]) * 180 / M_PI)),
                        180, 0.01);
            EXPECT_EQ(p[128], p[0]);
            EXPECT_EQ(p[129], p[1]);
        }
    }
    EngineShared().Reset();
}

class SegFrame : public ExpanderFrameTest {};

TEST_F(SegFrame, TwoStackedSegments) {
    CSegExpander s;
    s.SetFlip(true, true);
    s.SetPosition(75, 0); // pan 0
    frame(s, 960, 540);
    // The last viewport drawn is the lower segment, 180 degrees (2 mesh units) on.
    EXPECT_EQ(viewport.TopLeftX, 210);
    EXPECT_EQ(viewport.TopLeftY, 270);
    EXPECT_EQ(viewport.Width, 540u);
    EXPECT_EQ(viewport.Height, 270u);
    CMatrix t, sc;
    ExpectMatrixNear(
        wvp, Product({s.getFlipMatrix(), t.Translation(2, 0, 0), sc.Scaling(1, 1, 1), FlatProjection()}));
    for (int y : {100, 400}) {
        EXPECT_GT(green(480, y), 150) << y;
        EXPECT_GT(green(215, y), 150) << y;
        EXPECT_EQ(green(205, y), 0) << y;
        EXPECT_EQ(green(755, y), 0) << y;
    }
    // Zoomed past the output's width: narrowed to it and scaled in x.
    s.ZoomBy(10);
    frame(s, 960, 540);
    EXPECT_EQ(viewport.TopLeftX, 0);
    EXPECT_EQ(viewport.Width, 960u);
    ExpectMatrixNear(wvp, Product({s.getFlipMatrix(), t.Translation(2, 0, 0), sc.Scaling(1.125f, 2, 1),
                                   FlatProjection()}));
}

TEST_F(SegFrame, FailuresAreReported) {
    CSegExpander s;
    frame(s, 64, 32);
    {
        platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5, 1);
        platform::DebugOutputCapture log;
        EXPECT_EQ(s.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
        EXPECT_NE(log.text().find(L"[ERR]CSegExpander::initialize:78 (0x8007000E)"), std::wstring::npos);
    }
    EXPECT_EQ(s.RenderAll(context(), output.data()), S_OK); // nothing to draw, reported as success
    EXPECT_EQ(green(32, 16), 0);
    // The outlines go through the line drawing, whose failure is passed on.
    EXPECT_EQ(s.renderPreviewLine(device.get(), effect.get(), 0, 0), S_OK);
    platform::DebugOutputCapture log;
    EXPECT_EQ(s.renderPreviewLine(device.get(), nullptr, 0, 0), E_INVALIDARG);
    EXPECT_NE(log.text().find(L"[ERR]CSegExpander::renderPreviewLine:294"), std::wstring::npos);
}

class SegPictureTest : public ModeTest {};

// Each half shows half a turn with a straight horizontal horizon; the two halves look 180 degrees
// apart, azimuth running to the right in both, for either lens direction.
TEST_F(SegPictureTest, TwoHalfTurnsHalfATurnApart) {
    for (bool up : {true, false}) {
        SCOPED_TRACE(up ? "lens up" : "lens down");
        UnfoldSettings s = mode(5);
        s.lensUp = up;
        s.zoom = 0;
        s.horizontal = 75; // pan 0
        s.vertical = 50;
        Image out =
            unfold(s, SceneFisheye(up ? tools::scene::LensFacing::Up : tools::scene::LensFacing::Down));
        // The segment nearest the pan position is drawn in the first rows of the frame, which the
        // camera's bottom-up picture shows below.
        for (int half : {0, 1}) {
            const int top = half * 360;
            const int segment = 1 - half;
            for (int y : {top + 20, top + 340}) {
                EXPECT_TRUE(IsBlack(out.pixel(276, y))) << y;
                EXPECT_FALSE(IsBlack(out.pixel(284, y))) << y;
                EXPECT_FALSE(IsBlack(out.pixel(995, y))) << y;
                EXPECT_TRUE(IsBlack(out.pixel(1004, y))) << y;
            }
            const double row = top + (up ? 288.5 : 71.5);
            auto horizon = HorizonPoints(out, 280, 1000, 3, int(row) - 8, int(row) + 8);
            ASSERT_GT(horizon.size(), 100u);
            LineFit fit = FitLine(horizon, false);
            EXPECT_LT(fit.worst, 1.0);
            EXPECT_LT(std::fabs(fit.angleDegrees), 0.1);
            const double centre = (up ? 90 : 270) - 180 * segment;
            auto azimuthAt = [&](double x) { return centre + (x - 640) * 180 / 720; };
            EXPECT_GE(ExpectCornersAt(out, int(row + 21), 280, 1000, azimuthAt, 1.0), 1u) << "half " << half;
        }
    }
}

} // namespace
} // namespace mode_testing
