#include "modes/panorama_expander.h"

#include "modes/ext_expander.h"
#include "modes/flat_projection.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

class PanoramaView : public ::testing::Test {
protected:
    void SetUp() override {
        EngineShared().Reset();
        p.SetOutBufSize(nullptr, 1280, 720); // the sizes the view reads; no device needed
    }
    void TearDown() override { EngineShared().Reset(); }
    CPanoramaExpander p;
};

TEST_F(PanoramaView, PositionPercentagesAndTheirInverse) {
    float h = -1, v = -1;
    p.SetPosition(0, 50);
    EXPECT_EQ(p.getPan(), -1.0f);
    EXPECT_EQ(p.getTilt(), 0.0f);
    p.GetPosition(&h, &v);
    EXPECT_EQ(h, 0.0f);
    EXPECT_EQ(v, 0.0f); // no vertical travel on 16:9 at zoom 1
    p.SetPosition(100, 77);
    EXPECT_EQ(p.getPan(), 1.0f);
    p.GetPosition(&h, nullptr);
    EXPECT_EQ(h, 100.0f);
    p.SetPosition(-1, 150); // both ignored
    EXPECT_EQ(p.getPan(), 1.0f);
    EXPECT_EQ(p.getTilt(), 0.0f);
    p.GetPosition(nullptr, nullptr);

    // At zoom 4 the strip is taller than the view: T = a - 1/A with A = 16/9 x 4.
    p.ZoomBy(100);
    EXPECT_EQ(p.getZoom(), 4.0f);
    const float T = p.verticalTravel();
    EXPECT_NEAR(T, 0.2546479f - 1 / 7.111111f, 1e-6);
    p.SetPosition(50, 100);
    EXPECT_FLOAT_EQ(p.getTilt(), T);
    p.GetPosition(&h, &v);
    EXPECT_FLOAT_EQ(h, 50);
    EXPECT_FLOAT_EQ(v, 100);
    p.SetPosition(50, 0);
    EXPECT_FLOAT_EQ(p.getTilt(), -T);
    p.SetPosition(50, 30);
    p.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 30, 1e-4);
}

TEST_F(PanoramaView, TiltClampFollowsTheZoom) {
    p.MoveBy(0, 300); // no travel at zoom 1: forced to 0
    EXPECT_EQ(p.getTilt(), 0.0f);
    p.ZoomBy(100);
    const float T = p.verticalTravel();
    p.MoveBy(0, 10000);
    EXPECT_EQ(p.getTilt(), T);
    p.MoveBy(0, -20000);
    EXPECT_EQ(p.getTilt(), -T);
    p.MoveBy(0, 1); // inside the travel: moved, not clamped
    EXPECT_FLOAT_EQ(p.getTilt(), -T + 2.0f / (720 * 4));
    p.ZoomBy(-100);
    EXPECT_EQ(p.getZoom(), 1.0f);
    EXPECT_EQ(p.getTilt(), 0.0f);
    p.ZoomBy(-3); // a zoom that lands below 1 stays at 1
    EXPECT_EQ(p.getZoom(), 1.0f);

    float z = -1;
    p.SetZoom(100);
    EXPECT_EQ(p.getZoom(), 4.0f);
    p.GetZoom(&z);
    EXPECT_NEAR(z, 100, 1e-4);
    p.SetZoom(101);
    EXPECT_EQ(p.getZoom(), 4.0f);
}

TEST_F(PanoramaView, PanWrapsAtTheSeam) {
    p.SetPosition(75, 50); // pan 0.5
    p.MoveBy(160, 0);      // + 0.25
    EXPECT_EQ(p.getPan(), 0.75f);
    p.MoveBy(160, 0); // exactly 1: the same picture as -1
    EXPECT_EQ(p.getPan(), -1.0f);
    p.SetPosition(25, 50); // -0.5
    p.MoveBy(-320, 0);
    EXPECT_EQ(p.getPan(), 1.0f);
    // Before the output size is known a drag has no scale and leaves the view alone.
    CPanoramaExpander unsized;
    unsized.MoveBy(100, 100);
    EXPECT_EQ(unsized.getPan(), 0.0f);
    EXPECT_EQ(unsized.getTilt(), 0.0f);
    EXPECT_EQ(unsized.verticalTravel(), 0.0f);
}

TEST_F(PanoramaView, PreviewOutlineAroundTheView) {
    float points[130];
    for (bool flipped : {false, true}) {
        SCOPED_TRACE(flipped ? "flags set" : "flags clear");
        p.SetFlip(flipped, flipped);
        p.SetPosition(60, 50); // pan 0.2
        p.ZoomBy(10);          // zoom 2: half a turn
        p.previewOutline(points);
        // The view's centre shows mesh x = -pan (x = pan once the flip has mirrored the mesh), whose
        // texture angle is -180 x degrees; on the picture drawn upright (y up, v down) that is the
        // angle 180 x. The outline's outer arc is centred there, half a turn wide.
        const double x = flipped ? 0.2 : -0.2;
        const double middle = std::atan2(points[31] + points[33], points[30] + points[32]) * 180 / M_PI;
        EXPECT_NEAR(tools::scene::AzimuthDifference(middle, 180 * x), 0, 0.01);
        const double first = std::atan2(points[1], points[0]) * 180 / M_PI;
        const double last = std::atan2(points[63], points[62]) * 180 / M_PI;
        EXPECT_NEAR(std::fabs(tools::scene::AzimuthDifference(last, first)), 180, 0.01);
        p.ZoomBy(-10);
        // At zoom 1 the whole strip is in view: from the rim to the strip's top, all the way round.
        p.previewOutline(points);
        EXPECT_NEAR(std::hypot(points[0], points[1]), p.lensRadius(1), 1e-5);
        EXPECT_NEAR(std::hypot(points[64], points[65]), p.lensRadius(0.2f), 1e-5);
        EXPECT_EQ(points[128], points[0]);
        EXPECT_EQ(points[129], points[1]);
    }
}

TEST(ViewFit, NarrowsOnlyOutputsWiderThanTheStrip) {
    ViewFit f = ComputeViewFit(1280, 720, 0.8f);
    EXPECT_EQ(f.e, 1.0f);
    EXPECT_EQ(f.viewport.TopLeftX, 0);
    EXPECT_EQ(f.viewport.Width, 1280u);
    EXPECT_EQ(f.viewport.Height, 720u);
    // 5:1 is wider than the strip's 3.927:1: width x 3.927/5, centred.
    f = ComputeViewFit(1800, 360, 0.8f);
    EXPECT_NEAR(f.e, 3.9269907f / 5, 1e-6);
    EXPECT_EQ(f.viewport.Width, 1413u);
    EXPECT_EQ(f.viewport.TopLeftX, (1800 - 1413) / 2);
    EXPECT_EQ(f.viewport.Height, 360u);
    EXPECT_NEAR(f.d * f.e, 3.9269907f, 1e-5); // a mesh unit is as tall as it is wide
    f = ComputeViewFit(0, 720, 0.8f);         // not sized yet: nothing to divide by
    EXPECT_EQ(f.viewport.Width, 0u);
}

TEST(ExtView, ZoomStartsWhereTheStripFillsSixteenByNine) {
    EngineShared().Reset();
    CExtExpander e;
    EXPECT_FLOAT_EQ(e.getMinZoom(), 2.2089323f);
    EXPECT_EQ(e.getZoom(), e.getMinZoom());
    e.SetZoom(100);
    EXPECT_NEAR(e.getZoom(), 4.0f, 1e-5);
    e.SetZoom(0);
    EXPECT_EQ(e.getZoom(), e.getMinZoom());
    e.SetZoom(50);
    EXPECT_NEAR(e.getZoom(), (2.2089323f + 4) / 2, 1e-5);
    e.SetZoom(-1);
    EXPECT_NEAR(e.getZoom(), (2.2089323f + 4) / 2, 1e-5);
    // At the smallest zoom a 16:9 view is exactly as tall as the strip: no travel.
    e.SetZoom(0);
    e.SetOutBufSize(nullptr, 1280, 720);
    EXPECT_NEAR(e.verticalTravel(), 0.0f, 1e-6);
    // The wheel keeps the panorama's range.
    e.ZoomBy(-100);
    EXPECT_EQ(e.getZoom(), 1.0f);
}

class PanoramaFrame : public ExpanderFrameTest {};

TEST_F(PanoramaFrame, ViewportAndMatrix) {
    CPanoramaExpander p;
    p.SetFlip(true, true);
    p.SetPosition(75, 50);
    frame(p, 1280, 720);
    EXPECT_EQ(viewport.TopLeftX, 0);
    EXPECT_EQ(viewport.Width, 1280u);
    EXPECT_EQ(viewport.Height, 720u);
    CMatrix t, s;
    ExpectMatrixNear(wvp, Product({p.getFlipMatrix(), t.Translation(0.5f, 0, 0),
                                   s.Scaling(1, 1280.0f / 720, 1), FlatProjection()}));
    // An output wider than the strip: narrowed viewport, and a mesh unit as tall as it is wide.
    p.ZoomBy(10); // zoom 2
    frame(p, 1800, 360);
    EXPECT_EQ(viewport.TopLeftX, 193);
    EXPECT_EQ(viewport.Width, 1413u);
    ExpectMatrixNear(wvp, Product({p.getFlipMatrix(), t.Translation(0.5f, 0, 0),
                                   s.Scaling(2, 2 * 3.9269907f, 1), FlatProjection()}));
}

TEST_F(PanoramaFrame, WithoutAMeshTheFrameFails) {
    CPanoramaExpander p;
    frame(p, 64, 36);
    // The base's own five buffers are made; the strip for the main mesh is not. initialize still
    // succeeds, and the frame's draw reports the missing buffer.
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5, 1);
    platform::DebugOutputCapture log;
    EXPECT_EQ(p.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
    EXPECT_EQ(fault.hits(), 1u);
    EXPECT_NE(log.text().find(L"[ERR]CBaseExpander::createPanoramaVtx"), std::wstring::npos);
    EXPECT_EQ(p.RenderAll(context(), output.data()), E_INVALIDARG);
}

// The overview: the whole strip, and outside the current view's rectangle a 70% black veil.
class PanoramaOverlay : public ExpanderFrameTest {
protected:
    // Draws the overlay of p for `size` (the target's own by default) into a fresh w x h target cleared
    // to green 128, and returns its green channel, top row first.
    std::vector<int> overlay(CPanoramaExpander& p, uint16_t w, uint16_t h, const uint16_t* size = nullptr) {
        D3D10_TEXTURE2D_DESC d{
            w, h, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_RENDER_TARGET,
            0, 0};
        platform::ComPtr<ID3D10Texture2D> colour, depth, staging;
        platform::ComPtr<ID3D10RenderTargetView> rtv;
        platform::ComPtr<ID3D10DepthStencilView> dsv;
        EXPECT_EQ(device->CreateTexture2D(&d, nullptr, colour.put()), S_OK);
        EXPECT_EQ(device->CreateRenderTargetView(colour.get(), nullptr, rtv.put()), S_OK);
        D3D10_TEXTURE2D_DESC dd = d;
        dd.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
        dd.BindFlags = D3D10_BIND_DEPTH_STENCIL;
        EXPECT_EQ(device->CreateTexture2D(&dd, nullptr, depth.put()), S_OK);
        EXPECT_EQ(device->CreateDepthStencilView(depth.get(), nullptr, dsv.put()), S_OK);
        ID3D10RenderTargetView* targets[] = {rtv.get()};
        device->OMSetRenderTargets(1, targets, dsv.get());
        const float clear[4] = {0, 0.5f, 0, 1};
        device->ClearRenderTargetView(rtv.get(), clear);
        device->ClearDepthStencilView(dsv.get(), D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
        const uint16_t whole[2] = {w, h};
        EXPECT_EQ(p.renderOverlay(device.get(), effect.get(), 2, size ? size : whole), S_OK);
        D3D10_TEXTURE2D_DESC sd = d;
        sd.Usage = D3D10_USAGE_STAGING;
        sd.BindFlags = 0;
        sd.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        EXPECT_EQ(device->CreateTexture2D(&sd, nullptr, staging.put()), S_OK);
        device->CopyResource(staging.get(), colour.get());
        D3D10_MAPPED_TEXTURE2D m{};
        EXPECT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
        std::vector<int> g(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                g[size_t(y) * w + x] =
                    static_cast<const uint8_t*>(m.pData)[size_t(y) * m.RowPitch + x * 4 + 1];
        staging->Unmap(0);
        return g;
    }
};

TEST_F(PanoramaOverlay, MarksTheCurrentViewAndDimsTheRest) {
    CPanoramaExpander p;
    frame(p, 1280, 720); // sizes, states and effect variables
    p.ZoomBy(10);        // zoom 2: the view is the middle half of one turn
    std::vector<int> g = overlay(p, 640, 360);
    auto at = [&](int x, int y) { return g[size_t(y) * 640 + x]; };
    // Inside the view's rectangle the strip keeps its grey; outside it is dimmed to 30%.
    EXPECT_NEAR(at(320, 180), 200, 3);
    EXPECT_NEAR(at(170, 180), 200, 3);
    EXPECT_NEAR(at(150, 180), 60, 3);
    EXPECT_NEAR(at(490, 180), 60, 3);
    // Above and below the strip the target's own colour is dimmed too.
    EXPECT_NEAR(at(20, 5), 38, 3);
}

TEST_F(PanoramaOverlay, AnEmptySizeDrawsNothing) {
    CPanoramaExpander p;
    frame(p, 64, 36);
    p.ZoomBy(10);
    const uint16_t noWidth[2] = {0, 8}, noHeight[2] = {8, 0};
    for (const uint16_t* size : {noWidth, noHeight}) {
        std::vector<int> g = overlay(p, 8, 8, size);
        EXPECT_EQ(std::count(g.begin(), g.end(), 128), 64);
    }
    EXPECT_EQ(p.renderOverlay(device.get(), effect.get(), 2, nullptr), E_POINTER);
}

class PanoramaPictureTest : public ModeTest {};

// The horizon is one straight horizontal line at the height the mesh puts 90 degrees from the axis,
// and azimuth runs to the right at one turn per output width, centred on 270 - 180 pan degrees for
// an upward lens (90 - 180 pan for a downward one).
TEST_F(PanoramaPictureTest, StraightHorizonAndAzimuthAcross) {
    for (bool up : {true, false}) {
        SCOPED_TRACE(up ? "lens up" : "lens down");
        UnfoldSettings s = mode(2);
        s.lensUp = up;
        s.zoom = 0;
        for (float h : {50.0f, 75.0f}) {
            s.horizontal = h;
            s.vertical = 50;
            Image out =
                unfold(s, SceneFisheye(up ? tools::scene::LensFacing::Up : tools::scene::LensFacing::Down));
            // The strip spans rows 360 -+ a d e of the half-height; black beyond.
            const double half = 0.2546479 * 1280.0 / 720 * 360;
            EXPECT_TRUE(IsBlack(out.pixel(640, int(360 - half) - 2)));
            EXPECT_FALSE(IsBlack(out.pixel(640, int(360 - half) + 2)));
            EXPECT_FALSE(IsBlack(out.pixel(640, int(360 + half) - 2)));
            EXPECT_TRUE(IsBlack(out.pixel(640, int(360 + half) + 2)));
            // 90 degrees from the lens axis: t = 90/107 of the way from the axis to the rim.
            const double t = 90.0 / 107, y = -0.2546479 + (1 - t) / 0.8 * 2 * 0.2546479;
            const double row = 360 + (up ? -y : y) * 1280.0 / 720 * 360;
            auto horizon = HorizonPoints(out, 0, 1280, 4, int(row) - 8, int(row) + 8);
            ASSERT_GT(horizon.size(), 200u);
            LineFit fit = FitLine(horizon, false);
            EXPECT_LT(fit.worst, 1.0);
            EXPECT_LT(std::fabs(fit.angleDegrees), 0.05);
            double mean = 0;
            for (auto& q : horizon) mean += q.second;
            EXPECT_NEAR(mean / horizon.size(), row, 1.0);

            const double pan = h / 50 - 1, centre = (up ? 270 : 90) - 180 * pan;
            auto azimuthAt = [&](double x) { return centre + (x - 640) * 360 / 1280; };
            // Five degrees below the horizon the walls run from corner to corner.
            EXPECT_GE(ExpectCornersAt(out, int(row + (up ? 19 : -19)), 0, 1280, azimuthAt, 1.0), 4u);
        }
    }
}

TEST_F(PanoramaPictureTest, ExtractFillsTheFrameHeight) {
    UnfoldSettings s = mode(11);
    s.horizontal = 50;
    s.vertical = 50;
    s.zoom = 0;
    Image out = unfold(s);
    for (int x : {0, 400, 900, 1279}) {
        EXPECT_FALSE(IsBlack(out.pixel(x, 0))) << x;
        EXPECT_FALSE(IsBlack(out.pixel(x, 719))) << x;
    }
    // 163 degrees across (360 / 2.2089), centred on the west.
    auto azimuthAt = [](double x) { return 270 + (x - 640) * (360 / 2.2089323) / 1280; };
    EXPECT_GE(ExpectCornersAt(out, 620, 0, 1280, azimuthAt, 1.0), 1u);
}

} // namespace
} // namespace mode_testing
