#include "modes/throw_out_expander10.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/engine/engine_fixture.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

using engine_testing::EngineTest;
using platform::ComPtr;

class ThrowOutExpanderTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine_testing::Picture p(16, 16, [](int, int) { return std::array<uint8_t, 4>{200, 200, 200, 0}; });
        upload(p, 16, 16);
        ASSERT_EQ(t->SetInputSize(device.get(), 16, 16, 16, 16), S_OK);
    }
    void TearDown() override {
        t.reset(); // its buffers go before the device
        EngineTest::TearDown();
    }
    void frame(uint16_t w, uint16_t h) {
        ASSERT_EQ(t->SetOutBufSize(device.get(), w, h), S_OK);
        std::vector<BYTE> out(size_t(w) * h * 3);
        ASSERT_EQ(t->RenderAll(context(), out.data()), S_OK);
        UINT n = 1;
        device->RSGetViewports(&n, &viewport);
        effect->GetVariableByName("matWVP")->AsMatrix()->GetMatrix(wvp.data());
    }
    std::unique_ptr<CThrowOutExpander10> t = std::make_unique<CThrowOutExpander10>();
    D3D10_VIEWPORT viewport{};
    CMatrix wvp;
};

TEST_F(ThrowOutExpanderTest, TwoAdjacentPieces) {
    // Zoom 1 on 1920 x 1080: the segment split, the second piece (upper half) two units on.
    frame(1920, 1080);
    EXPECT_EQ(t->pieceOffset(0), 0.0f);
    EXPECT_EQ(t->pieceOffset(1), 2.0f);
    EXPECT_EQ(viewport.TopLeftX, 420);
    EXPECT_EQ(viewport.TopLeftY, 0);
    EXPECT_EQ(viewport.Width, 1080u);
    EXPECT_EQ(viewport.Height, 540u);
    EXPECT_FLOAT_EQ(wvp.at(4, 1), 2.0f);
    // Zoom 2: a panel is narrower than a half turn and the pieces are 1.7777778 units (160 degrees)
    // apart, not 2.
    t->ZoomBy(10);
    frame(1920, 1080);
    EXPECT_FLOAT_EQ(t->pieceOffset(0), 0.11111111f);
    EXPECT_FLOAT_EQ(t->pieceOffset(1), 1.8888889f);
    EXPECT_EQ(viewport.TopLeftX, 0);
    EXPECT_EQ(viewport.Width, 1920u);
    EXPECT_FLOAT_EQ(wvp.at(4, 1), 1.8888889f * 1.125f);
    EXPECT_FLOAT_EQ(wvp.at(2, 2), 2.0f); // the vertical scale is the zoom

    // The outlines on the picture meet: the first ends where the second begins.
    float first[130], second[130];
    t->pieceOutlines(first, second);
    EXPECT_NEAR(first[62], second[0], 1e-5);
    EXPECT_NEAR(first[63], second[1], 1e-5);
    EXPECT_EQ(first[128], first[0]); // closed
    // Without an output there is nothing to draw, and the device is not touched.
    CThrowOutExpander10 unsized;
    EXPECT_EQ(unsized.renderMain(nullptr, nullptr, 2), S_OK);
}

TEST_F(ThrowOutExpanderTest, FailedMeshesAreReported) {
    EXPECT_TRUE(t->hasOverview());
    CThrowOutExpander10 fresh;
    platform::DebugOutputCapture log;
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5);
    EXPECT_EQ(fresh.SetInputSize(device.get(), 16, 16, 16, 16), E_OUTOFMEMORY);
    EXPECT_NE(log.text().find(L"[ERR]CSegExpander::initialize:78 (0x8007000E)"), std::wstring::npos);
    EXPECT_NE(log.text().find(L"[ERR]CThrowOutExpander10::initialize:22 (0x8007000E)"), std::wstring::npos);
    EXPECT_FALSE(fresh.hasOverview());
}

TEST_F(ThrowOutExpanderTest, OverviewMarksBothPiecesAndDimsTheRest) {
    const uint16_t none[2] = {0, 100};
    EXPECT_EQ(t->renderOverlay(device.get(), effect.get(), 2, none), S_OK);
    EXPECT_EQ(t->renderOverlay(device.get(), effect.get(), 2, nullptr), E_POINTER);

    // A 400 x 100 target of its own: the strip fits it 392 pixels wide at x = 4.
    frame(1280, 720);
    t->ZoomBy(10); // zoom 2: the pieces are x 0.5 .. 1 and -1 .. -0.5, y -0.5 .. 0.5 in clip units
    D3D10_TEXTURE2D_DESC d{
        400, 100, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_RENDER_TARGET,
        0,   0};
    ComPtr<ID3D10Texture2D> colour, depth, staging;
    ComPtr<ID3D10RenderTargetView> rtv;
    ComPtr<ID3D10DepthStencilView> dsv;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, colour.put()), S_OK);
    ASSERT_EQ(device->CreateRenderTargetView(colour.get(), nullptr, rtv.put()), S_OK);
    D3D10_TEXTURE2D_DESC dd = d;
    dd.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
    dd.BindFlags = D3D10_BIND_DEPTH_STENCIL;
    ASSERT_EQ(device->CreateTexture2D(&dd, nullptr, depth.put()), S_OK);
    ASSERT_EQ(device->CreateDepthStencilView(depth.get(), nullptr, dsv.put()), S_OK);
    ID3D10RenderTargetView* target = rtv.get();
    device->OMSetRenderTargets(1, &target, dsv.get());
    const float clear[4] = {0, 0, 0, 1};
    device->ClearRenderTargetView(rtv.get(), clear);
    device->ClearDepthStencilView(dsv.get(), D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
    const uint16_t size[2] = {400, 100};
    ASSERT_EQ(t->renderOverlay(device.get(), effect.get(), 2, size), S_OK);

    D3D10_TEXTURE2D_DESC sd = d;
    sd.Usage = D3D10_USAGE_STAGING;
    sd.BindFlags = 0;
    sd.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    ASSERT_EQ(device->CreateTexture2D(&sd, nullptr, staging.put()), S_OK);
    device->CopyResource(staging.get(), colour.get());
    D3D10_MAPPED_TEXTURE2D m;
    ASSERT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
    auto grey = [&](int x, int y) {
        return static_cast<const uint8_t*>(m.pData)[y * m.RowPitch + x * 4 + 1];
    };
    // Clip x of viewport pixel column c is (c + 0.5) / 196 - 1 for the 392 columns from x = 4.
    EXPECT_EQ(grey(2, 50), 0);              // beside the strip
    EXPECT_NEAR(grey(200, 50), 60, 2);      // between the pieces: dimmed to 0.3
    EXPECT_NEAR(grey(4 + 343, 50), 200, 2); // x 0.75: the first piece
    EXPECT_NEAR(grey(4 + 49, 50), 200, 2);  // x -0.75: the second
    EXPECT_NEAR(grey(4 + 343, 10), 60, 2);  // above the pieces
    staging->Unmap(0);
    device->OMSetRenderTargets(0, nullptr, nullptr);
}

class ThrowOutPictureTest : public ModeTest {};

// Agreement of rows y0a.. of column xa in a with rows y0b.. of column xb in b, over n rows.
double ColumnAgreement(const Image& a, int xa, int y0a, const Image& b, int xb, int y0b, int n) {
    int same = 0;
    for (int i = 0; i < n; ++i) same += Near(a.pixel(xa, y0a + i), b.pixel(xb, y0b + i), 30);
    return double(same) / n;
}

double HalfAgreement(const Image& a, int ya, const Image& b, int yb) {
    int same = 0;
    for (int y = 0; y < 360; ++y)
        for (int x = 0; x < 1280; ++x) same += Near(a.pixel(x, ya + y), b.pixel(x, yb + y), 10);
    return same / (360.0 * 1280);
}

TEST_F(ThrowOutPictureTest, OneContinuousStripInTwoPanels) {
    // Zoom 1: the segment picture with its halves swapped.
    Image throwOut = unfold(mode(10)), seg = unfold(mode(5));
    EXPECT_GT(HalfAgreement(throwOut, 0, seg, 360), 0.995);
    EXPECT_GT(HalfAgreement(throwOut, 360, seg, 0), 0.995);
    EXPECT_LT(HalfAgreement(throwOut, 0, seg, 0), 0.9); // black sides and ceiling agree anyway

    // Zoom 2 (sx = 1440/1280): each panel shows 160 degrees over the whole width, and the strip runs
    // on from the right edge of the lower panel into the left edge of the upper one, here through the
    // south wall's door; in the segment mode the two are half a turn apart and do not meet.
    UnfoldSettings s = mode(10);
    s.zoom = 100 / 3.0f;
    s.horizontal = 30.3f;
    s.vertical = 25; // tilt 0
    Image zoomed = unfold(s);
    s.mode = 5;
    Image segZoomed = unfold(s);
    EXPECT_TRUE(Near(zoomed.pixel(1278, 700), tools::scene::room::kDoorColour));
    EXPECT_TRUE(Near(zoomed.pixel(1, 340), tools::scene::room::kDoorColour));
    EXPECT_GT(ColumnAgreement(zoomed, 1279, 360, zoomed, 0, 0, 360), 0.95);
    EXPECT_LT(ColumnAgreement(zoomed, 1279, 360, zoomed, 1279, 0, 360), 0.8);
    EXPECT_LT(ColumnAgreement(segZoomed, 1279, 360, segZoomed, 0, 0, 360), 0.8);
}

} // namespace
} // namespace mode_testing
