#include "modes/quad_expander.h"

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/engine/engine_fixture.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

class QuadView : public ::testing::Test {
protected:
    void SetUp() override { EngineShared().Reset(); }
    void TearDown() override { EngineShared().Reset(); }
};

TEST_F(QuadView, TiltRangeFollowsZoomAndLensDirection) {
    CQuadExpander q;
    EXPECT_NEAR(q.getTilt(), 28.0f, 1e-4); // raised to the floor at construction
    float h, v;
    q.SetPosition(50, 0);
    EXPECT_EQ(q.getPan(), 180.0f);
    EXPECT_EQ(q.getTilt(), q.tiltFloor());
    q.GetPosition(&h, &v);
    EXPECT_EQ(h, 50.0f);
    EXPECT_NEAR(v, 0.0f, 1e-5);
    q.SetPosition(101, 100); // h ignored
    EXPECT_FLOAT_EQ(q.getTilt(), 90.0f);
    // Turning the lens down moves the tilt to the other side at once.
    q.SetPosition(-1, 1); // just above 28
    q.SetFlip(true, true);
    EXPECT_NEAR(q.getTilt(), -28.0f, 1e-4);
    q.SetPosition(-1, 100);
    EXPECT_FLOAT_EQ(q.getTilt(), -90.0f);
    q.GetPosition(nullptr, &v);
    EXPECT_NEAR(v, 100.0f, 1e-4);
    q.SetFlip(false, false);
    // Zoom 0.6 to 3; the floor is half the field less 17 degrees.
    q.ZoomBy(100);
    EXPECT_EQ(q.getZoom(), 3.0f);
    EXPECT_NEAR(q.tiltFloor(), -2.0f, 1e-4);
    q.ZoomBy(-100);
    EXPECT_FLOAT_EQ(q.getZoom(), 0.6f);
    EXPECT_NEAR(q.getTilt(), 58.0f, 1e-4); // raised to the new floor
    q.SetZoom(100);
    EXPECT_FLOAT_EQ(q.getZoom(), 3.0f);

    // Drags: none before the output has a size; pan wraps at exactly 360 and exactly 0.
    CQuadExpander d;
    d.MoveBy(100, 100);
    EXPECT_EQ(d.getPan(), 0.0f);
    d.SetOutBufSize(nullptr, 1000, 500);
    d.SetPosition(50, -1);
    d.MoveBy(250, 0); // +180
    EXPECT_EQ(d.getPan(), 0.0f);
    d.SetPosition(50, -1);
    d.MoveBy(-250, 0);
    EXPECT_EQ(d.getPan(), 360.0f);
}

using QuadMeshTest = engine_testing::EngineTest;

TEST_F(QuadMeshTest, TheSphereSeenByTheLens) {
    CQuadExpander q;
    ASSERT_EQ(q.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
    auto mesh = q.createQuadVtx();
    const float U = 1439.0f / 2048, rim = q.lensRadius(1);
    EXPECT_NEAR(mesh[0].x, 0.9563f, 1e-4); // azimuth 0 on the rim, 17 degrees below the horizon
    EXPECT_NEAR(mesh[0].y, -0.2924f, 1e-4);
    EXPECT_NEAR(mesh[0].u, (rim * 0.5f + 0.5f) * U, 1e-6);
    // A quarter turn on (column 32) position and texture point have both turned by -90 degrees.
    EXPECT_NEAR(mesh[64].z, -0.9563f, 1e-4);
    EXPECT_NEAR(mesh[64].v, (0.5f - rim * 0.5f) * U, 1e-6);
    EXPECT_NEAR(mesh[kPanoramaVertices - 1].y, 1.0f, 1e-5); // the lens axis at the picture centre
    EXPECT_NEAR(mesh[kPanoramaVertices - 1].u, 0.5f * U, 1e-6);
    // The calibration in force when the mesh is built.
    EngineShared().SetCircleRadius(0.25f);
    EngineShared().SetCentreOffset(0.01f, 0);
    EXPECT_NEAR(q.createQuadVtx()[0].u, (rim * 0.25f + 0.5f) * U + 0.01f, 1e-6);

    platform::DebugOutputCapture log;
    platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5);
    EXPECT_EQ(q.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
    EXPECT_NE(log.text().find(L"[ERR]CQuadExpander::initialize:41 (0x8007000E)"), std::wstring::npos);
}

class QuadPictureTest : public ModeTest {};

// Quarter j of the displayed frame: the views go into the target's top-left, top-right, bottom-left
// and bottom-right quarters, and the frame an application shows is the target bottom up.
Image Quarter(const Image& frame, int j) {
    const uint32_t w = frame.width() / 2, h = frame.height() / 2;
    const uint32_t x0 = (j == 1 || j == 3) ? w : 0, y0 = j >= 2 ? 0 : h;
    Image q(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) q.setPixel(x, y, frame.pixel(x0 + x, y0 + y));
    return q;
}

double Agreement(const Image& a, const Image& b) {
    size_t same = 0;
    for (uint32_t y = 0; y < a.height(); ++y)
        for (uint32_t x = 0; x < a.width(); ++x) same += Near(a.pixel(x, y), b.pixel(x, y), 30);
    return double(same) / (double(a.width()) * a.height());
}

TEST_F(QuadPictureTest, FourRectilinearViewsNinetyDegreesApart) {
    namespace room = tools::scene::room;
    // The first view's azimuth is minus the pan: pan 319 faces the north-east corner (41 degrees).
    UnfoldSettings s = mode(6);
    s.horizontal = float((360 - room::CornerAzimuth(room::Corner::NorthEast)) / 3.6);
    s.vertical = 0;
    Image out = unfold(s);
    Image first = Quarter(out, 0);
    // The corner runs straight down the middle of the view; off the middle the walls' vertical edges
    // lean with the tilt but stay straight.
    std::vector<std::pair<double, double>> corner, pilaster;
    for (int y = 60; y < 300; ++y) {
        for (int x = 200; x < 440; ++x)
            if (Near(first.pixel(x, y), room::kNorthColour) &&
                Near(first.pixel(x + 3, y), room::kEastColour)) {
                corner.push_back({x + 1.5, y});
                break;
            }
        // The left edge of the east wall's first pilaster, above the compass labels.
        for (int x = 330; y > 190 && y < 240 && x < 630; ++x)
            if (Near(first.pixel(x, y), room::kPilasterColour) &&
                Near(first.pixel(x - 6, y), room::kEastColour)) {
                pilaster.push_back({x, y});
                break;
            }
    }
    ASSERT_GT(corner.size(), 60u);
    LineFit c = FitLine(corner, true);
    EXPECT_LT(c.worst, 1.5);
    EXPECT_LT(std::fabs(c.angleDegrees), 1.0);
    EXPECT_NEAR(corner.front().first, 320, 3);
    ASSERT_GT(pilaster.size(), 30u);
    LineFit p = FitLine(pilaster, true);
    EXPECT_LT(p.worst, 1.5);
    EXPECT_GT(std::fabs(p.angleDegrees), 3.0);

    // View j shows what the first view shows turned a further 90 j degrees (25 j percent).
    s.horizontal = 10;
    Image turned = unfold(s);
    for (int j = 1; j < 4; ++j) {
        UnfoldSettings t = s;
        t.horizontal = 10.0f + 25.0f * j;
        EXPECT_GT(Agreement(Quarter(turned, j), Quarter(unfold(t), 0)), 0.99) << j;
        EXPECT_LT(Agreement(Quarter(turned, j), Quarter(turned, 0)), 0.7) << j;
    }
}

TEST_F(QuadPictureTest, PreviewOutlinesLieWhereTheViewsLook) {
    // With both flip flags set (the filter's default) the border point (x, y) of an outline is the
    // view's displayed (x, y), and the outline lies on the picture turned half a turn about its centre:
    // (X, Y) is the displayed fisheye pixel (720 - 719.5 X, 720 - 719.5 Y).
    UnfoldSettings s = mode(6);
    s.horizontal = 30;
    s.vertical = 40;
    Image out = unfold(s);
    auto& q = static_cast<CQuadExpander&>(*engine().Current());
    float outlines[4][66];
    q.previewOutlines(outlines);
    const Image& fisheye = SceneFisheye();
    int matches = 0, checks = 0;
    for (int j = 0; j < 4; ++j) {
        Image view = Quarter(out, j);
        // Border points 4, 12, 20 and 28, the middles of the top, left, bottom and right edges, and
        // the view's pixels there.
        struct Edge {
            int k, x, y;
        };
        for (auto [k, vx, vy] : {Edge{4, 320, 1}, Edge{12, 1, 180}, Edge{20, 320, 358}, Edge{28, 638, 180}}) {
            const float X = outlines[j][2 * k], Y = outlines[j][2 * k + 1];
            Rgba seen = fisheye.pixel(uint32_t(720 - 719.5 * X), uint32_t(720 - 719.5 * Y));
            matches += Near(view.pixel(vx, vy), seen, 60);
            ++checks;
        }
    }
    EXPECT_GE(matches, checks - 1);
}

} // namespace
} // namespace mode_testing
