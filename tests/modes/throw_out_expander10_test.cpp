#include "modes/throw_out_expander10.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

using ThrowOutExpanderTest = ExpanderFrameTest;

TEST_F(ThrowOutExpanderTest, TwoAdjacentPieces) {
    CThrowOutExpander10 t;
    // Zoom 1 on 1920 x 1080: the segment split; the last piece drawn is the second, in the upper half
    // two units on.
    frame(t, 1920, 1080);
    EXPECT_EQ(t.panelOffset(0), 0.0f);
    EXPECT_EQ(t.panelOffset(1), 2.0f);
    EXPECT_EQ(viewport.TopLeftX, 420);
    EXPECT_EQ(viewport.TopLeftY, 0);
    EXPECT_EQ(viewport.Width, 1080u);
    EXPECT_EQ(viewport.Height, 540u);
    EXPECT_FLOAT_EQ(wvp.at(4, 1), 2.0f);
    // Zoom 2: a panel is narrower than a half turn and the pieces are 1.7777778 units (160 degrees)
    // apart, not 2.
    t.ZoomBy(10);
    frame(t, 1920, 1080);
    EXPECT_FLOAT_EQ(t.panelOffset(0), 0.11111111f);
    EXPECT_FLOAT_EQ(t.panelOffset(1), 1.8888889f);
    EXPECT_EQ(viewport.Width, 1920u);
    EXPECT_FLOAT_EQ(wvp.at(4, 1), 1.8888889f * 1.125f);
    EXPECT_FLOAT_EQ(wvp.at(2, 2), 2.0f); // the vertical scale is the zoom
    // The outlines on the picture meet: the first ends where the second begins.
    float first[130], second[130];
    t.pieceOutlines(first, second);
    EXPECT_NEAR(first[62], second[0], 1e-5);
    EXPECT_NEAR(first[63], second[1], 1e-5);
    // Without an output there is nothing to draw, and the device is not touched.
    CThrowOutExpander10 unsized;
    EXPECT_EQ(unsized.renderMain(nullptr, nullptr, 2), S_OK);

    EXPECT_TRUE(t.hasOverview());
    CThrowOutExpander10 failing;
    platform::DebugOutputCapture log;
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5);
    EXPECT_EQ(failing.SetInputSize(device.get(), 16, 16, 16, 16), E_OUTOFMEMORY);
    EXPECT_NE(log.text().find(L"[ERR]CThrowOutExpander10::initialize:22 (0x8007000E)"), std::wstring::npos);
    EXPECT_FALSE(failing.hasOverview());
}

// The overview drawn in place of the panels, into the out buffer at its full size.
struct OverviewOnly : CThrowOutExpander10 {
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override {
        const uint16_t size[2] = {outWidth, outHeight};
        return renderOverlay(device, effect, pass, size);
    }
};

TEST_F(ThrowOutExpanderTest, OverviewMarksBothPiecesAndDimsTheRest) {
    OverviewOnly t;
    const uint16_t none[2] = {0, 100};
    EXPECT_EQ(t.renderOverlay(device.get(), effect.get(), 2, none), S_OK);
    EXPECT_EQ(t.renderOverlay(device.get(), effect.get(), 2, nullptr), E_POINTER);
    // Zoom 2 on a 400 x 100 target: the strip fits it 392 pixels wide from x = 4 over a uniform grey
    // 200 picture; the pieces are x 0.5 .. 1 and -1 .. -0.5, y -0.5 .. 0.5 in its clip units.
    t.ZoomBy(10);
    frame(t, 400, 100);
    EXPECT_EQ(green(2, 50), 0); // beside the strip
    // Either side of each rectangle's edges: viewport column c is at clip x (c + 0.5) / 196 - 1 and
    // row r at clip y 1 - (r + 0.5) / 50. Marked pixels keep 200, the rest are dimmed to 0.3.
    struct Probe {
        int column, row, grey;
    };
    for (auto [c, r, g] : {Probe{303, 50, 200}, Probe{284, 50, 60}, Probe{386, 50, 200}, Probe{88, 50, 200},
                           Probe{108, 50, 60}, Probe{196, 50, 60}, Probe{303, 27, 200}, Probe{303, 22, 60}})
        EXPECT_NEAR(green(4 + c, r), g, 2) << c << "," << r;
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
