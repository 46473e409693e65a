#include "modes/ring_expander.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

TEST(RingView, PercentagesClampsAndWraps) {
    CRingExpander r;
    float v, z;
    r.GetPosition(nullptr, &v);
    r.GetZoom(&z);
    EXPECT_FLOAT_EQ(v, 7.5f); // tilt 27, reported without the offset SetPosition applies
    EXPECT_FLOAT_EQ(z, 4.0f); // zoom 0.6
    r.SetPosition(-1, 50);
    EXPECT_FLOAT_EQ(r.getTilt(), 29.999996f); // 3.6 is the float 3.5999999
    r.GetPosition(nullptr, &v);
    EXPECT_FLOAT_EQ(v, 8.333332f);
    r.SetPosition(-1, 100);
    EXPECT_FLOAT_EQ(r.getTilt(), 210.0f);
    r.MoveBy(0, 0); // no output size yet: nothing happens
    EXPECT_FLOAT_EQ(r.getTilt(), 210.0f);
    r.SetOutBufSize(nullptr, 1000, 500);
    r.MoveBy(0, 0); // the next drag clamps
    EXPECT_EQ(r.getTilt(), 60.0f);
    r.ZoomBy(200);
    EXPECT_EQ(r.getZoom(), 3.0f);
    r.SetZoom(0);
    EXPECT_EQ(r.getZoom(), 0.5f);
    // At zoom 0.5 half the width turns the ring 180 degrees: to exactly 360, then to exactly 0.
    r.SetPosition(50, -1);
    r.MoveBy(500, 0);
    EXPECT_EQ(r.getPan(), 0.0f);
    r.SetPosition(50, -1);
    r.MoveBy(-500, 0);
    EXPECT_EQ(r.getPan(), 360.0f);
}

using RingMeshTest = ExpanderFrameTest;

TEST_F(RingMeshTest, ACylinderFromTheRimUp) {
    CRingExpander r;
    frame(r, 1280, 720);
    // A 1280-pixel square, the ring moved up from its centre to the middle of the output.
    EXPECT_EQ(viewport.Height, 1280u);
    EXPECT_FLOAT_EQ(wvp.at(4, 2), 0.4375f);
    auto mesh = r.createRingVtx();
    const float U = 1439.0f / 2048;
    EXPECT_NEAR(mesh[0].x, 1.0f, 1e-6);
    EXPECT_NEAR(mesh[0].y, -0.5f, 1e-6);
    EXPECT_NEAR(mesh[0].u, (r.lensRadius(1) * 0.5f + 0.5f) * U, 1e-6);
    // A quarter turn on, position and texture point have both turned by +90 degrees.
    EXPECT_NEAR(mesh[64].z, 1.0f, 1e-6);
    EXPECT_NEAR(mesh[64].v, (r.lensRadius(1) * 0.5f + 0.5f) * U, 1e-6);
    // The top edge samples 1 - radiusScale of the lens's range.
    EXPECT_NEAR(mesh[kPanoramaVertices - 1].y, 0.5f, 1e-6);
    EXPECT_NEAR(mesh[kPanoramaVertices - 1].u, (r.lensRadius(0.2f) * 0.5f + 0.5f) * U, 1e-5);
    EngineShared().SetCentreOffset(0, 0.03f);
    EXPECT_NEAR(r.createRingVtx()[0].v, 0.5f * U + 0.03f, 1e-6);

    platform::DebugOutputCapture log;
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5);
    EXPECT_EQ(r.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
    EXPECT_NE(log.text().find(L"[ERR]CRingExpander::initialize:43 (0x8007000E)"), std::wstring::npos);
}

class RingPictureTest : public ModeTest {};

TEST_F(RingPictureTest, ASolidRingTurnedByThePan) {
    namespace room = tools::scene::room;
    Image out = unfold(mode(7));
    // The cylinder of radius 0.6 x 640 pixels is centred on the output, black around it.
    int left = -1, right = -1;
    for (int x = 0; x < 1280; ++x)
        if (!IsBlack(out.pixel(x, 400))) {
            if (left < 0) left = x;
            right = x;
        }
    EXPECT_NEAR((left + right) / 2.0, 639.5, 1.5);
    EXPECT_NEAR(right - left + 1, 768, 3);
    for (auto [x, y] : {std::pair{5, 5}, {1274, 5}, {5, 714}, {1274, 714}})
        EXPECT_TRUE(IsBlack(out.pixel(x, y)));
    // Pan 0: the south wall on the near face, the north wall on the inside of the far one. Half a
    // turn (tilt kept at 27) swaps them.
    EXPECT_TRUE(Near(out.pixel(560, 540), room::kSouthColour));
    EXPECT_TRUE(Near(out.pixel(720, 300), room::kNorthColour));
    UnfoldSettings s = mode(7);
    s.horizontal = 50;
    s.vertical = 177 / 3.6f;
    Image turned = unfold(s);
    EXPECT_TRUE(Near(turned.pixel(560, 540), room::kNorthColour));
    EXPECT_TRUE(Near(turned.pixel(720, 300), room::kSouthColour));
}

} // namespace
} // namespace mode_testing
