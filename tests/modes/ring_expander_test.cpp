#include "modes/ring_expander.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/engine/engine_fixture.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

TEST(RingView, PercentagesClampsAndWraps) {
    CRingExpander r;
    float h = -1, v = -1, z = -1;
    r.GetPosition(&h, &v);
    r.GetZoom(&z);
    EXPECT_EQ(h, 0.0f);
    EXPECT_FLOAT_EQ(v, 7.5f); // tilt 27 reported without the offset SetPosition applies
    EXPECT_FLOAT_EQ(z, 4.0f); // zoom 0.6
    r.SetPosition(-1, 50);
    EXPECT_FLOAT_EQ(r.getTilt(), 29.999996f); // 3.6 is the float 3.5999999
    r.GetPosition(nullptr, &v);
    EXPECT_FLOAT_EQ(v, 8.333332f);
    r.SetPosition(101, 0);
    EXPECT_FLOAT_EQ(r.getTilt(), -150.0f);
    EXPECT_EQ(r.getPan(), 0.0f);
    r.SetPosition(-1, 100);
    EXPECT_FLOAT_EQ(r.getTilt(), 210.0f);
    // Unclamped until the next drag, which needs an output size to measure against.
    r.MoveBy(0, 0);
    EXPECT_FLOAT_EQ(r.getTilt(), 210.0f);
    r.SetOutBufSize(nullptr, 1000, 500);
    r.MoveBy(0, 0);
    EXPECT_EQ(r.getTilt(), 60.0f);
    r.SetPosition(-1, 0);
    r.MoveBy(0, 0);
    EXPECT_EQ(r.getTilt(), -60.0f);

    r.ZoomBy(200);
    EXPECT_EQ(r.getZoom(), 3.0f);
    r.ZoomBy(-200);
    EXPECT_EQ(r.getZoom(), 0.5f);
    r.SetZoom(100);
    EXPECT_FLOAT_EQ(r.getZoom(), 3.0f);
    r.SetZoom(0);
    EXPECT_EQ(r.getZoom(), 0.5f);
    r.SetZoom(-1);
    EXPECT_EQ(r.getZoom(), 0.5f);

    // At zoom 0.5 a drag of half the width turns the ring 180 degrees.
    r.SetPosition(50, -1);
    r.MoveBy(500, 0);
    EXPECT_EQ(r.getPan(), 0.0f); // exactly 360
    r.SetPosition(50, -1);
    r.MoveBy(-500, 0);
    EXPECT_EQ(r.getPan(), 360.0f); // exactly 0
}

class RingMeshTest : public engine_testing::EngineTest {};

TEST_F(RingMeshTest, ACylinderFromTheRimUp) {
    CRingExpander r;
    ASSERT_EQ(r.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
    auto mesh = r.createRingVtx();
    const float U = 1439.0f / 2048;
    EXPECT_NEAR(mesh[0].x, 1.0f, 1e-6);
    EXPECT_NEAR(mesh[0].y, -0.5f, 1e-6);
    EXPECT_NEAR(mesh[0].u, (r.lensRadius(1) * 0.5f + 0.5f) * U, 1e-6);
    EXPECT_NEAR(mesh[0].v, 0.5f * U, 1e-6);
    // A quarter turn on, position and texture point have both turned by +90 degrees.
    EXPECT_NEAR(mesh[64].z, 1.0f, 1e-6);
    EXPECT_NEAR(mesh[64].v, (r.lensRadius(1) * 0.5f + 0.5f) * U, 1e-6);
    // The top edge samples 1 - radiusScale of the lens's range.
    const VERTEX& top = mesh[kPanoramaVertices - 1];
    EXPECT_NEAR(top.y, 0.5f, 1e-6);
    EXPECT_NEAR(top.u, (r.lensRadius(0.2f) * 0.5f + 0.5f) * U, 1e-5);
    for (int i = 0; i < kPanoramaVertices; ++i)
        ASSERT_NEAR(mesh[i].x * mesh[i].x + mesh[i].z * mesh[i].z, 1, 1e-5);
    EngineShared().centreOffsetV = 0.03f;
    EXPECT_NEAR(r.createRingVtx()[0].v, 0.5f * U + 0.03f, 1e-6);

    // One frame on 1280 x 720: a 1280-pixel square, the ring moved up to the middle of the output.
    engine_testing::Picture p(16, 16, [](int, int) { return std::array<uint8_t, 4>{90, 90, 90, 0}; });
    upload(p, 16, 16);
    ASSERT_EQ(r.SetOutBufSize(device.get(), 1280, 720), S_OK);
    std::vector<BYTE> out(1280 * 720 * 3);
    ASSERT_EQ(r.RenderAll(context(), out.data()), S_OK);
    D3D10_VIEWPORT vp{};
    UINT n = 1;
    device->RSGetViewports(&n, &vp);
    EXPECT_EQ(vp.Width, 1280u);
    EXPECT_EQ(vp.Height, 1280u);
    CMatrix wvp;
    effect->GetVariableByName("matWVP")->AsMatrix()->GetMatrix(wvp.data());
    EXPECT_FLOAT_EQ(wvp.at(4, 2), 0.4375f);
    EXPECT_FLOAT_EQ(wvp.at(4, 3), 0.5f);

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
