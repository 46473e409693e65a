#include "modes/eq_rect2_expander.h"

#include <cmath>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/modes/expander_frame.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

class EqRect2Geometry : public ::testing::Test {
protected:
    void SetUp() override { EngineShared().Reset(); }
    void TearDown() override { EngineShared().Reset(); }

    // The angle from the lens axis, degrees, at which the lens radius function reaches 1.
    static double reach(const CEqRect2Expander& e) {
        double lo = 0.9, hi = 1.1;
        for (int i = 0; i < 60; ++i) (e.lensRadius(float((lo + hi) / 2)) < 1 ? lo : hi) = (lo + hi) / 2;
        return hi * 107;
    }
    CEqRect2Expander e;
};

TEST_F(EqRect2Geometry, ProjectDirection) {
    float u = 9, v = 9;
    EXPECT_EQ(e.projectDirection(0, 0, &u, &v), 0.0f); // the lens axis: the picture centre
    EXPECT_EQ(u, 0.0f);
    EXPECT_EQ(v, 0.0f);
    // Behind the lens, where the lens polynomial has turned back below the rim, still the rim.
    EXPECT_EQ(e.projectDirection(kPi, 0, nullptr, nullptr), 1.0f);
    EXPECT_EQ(e.projectDirection(kPi * 160 / 180, 0, nullptr, nullptr), 1.0f);
    EXPECT_EQ(e.projectDirection(kPi * 120 / 180, 0, nullptr, nullptr), 1.0f);
    EXPECT_LT(e.projectDirection(kPi * 107 / 180, 0, nullptr, nullptr), 1.0f);
    // 90 degrees to the side and straight up: on the picture's axes at the 90-degree radius.
    const float r90 = e.lensRadius(90.0f / 107);
    EXPECT_NEAR(e.projectDirection(kPi / 2, 0, &u, &v), r90, 1e-6);
    EXPECT_NEAR(u, r90, 1e-6);
    EXPECT_NEAR(v, 0, 1e-6);
    EXPECT_NEAR(e.projectDirection(0, kPi / 2, &u, &v), r90, 1e-6);
    EXPECT_NEAR(u, 0, 1e-6);
    EXPECT_NEAR(v, r90, 1e-6);
    EXPECT_NEAR(e.projectDirection(-kPi / 4, 0, &u, &v), e.lensRadius(45.0f / 107), 1e-6);
    EXPECT_LT(u, 0);
    // The off-axis angle is symmetric in its two arguments (the mask search relies on it).
    for (float a : {0.3f, 1.1f, 1.5f})
        for (float b : {0.2f, 0.9f, 1.4f})
            EXPECT_NEAR(e.projectDirection(a, b, nullptr, nullptr),
                        e.projectDirection(b, a, nullptr, nullptr), 1e-6);
    EXPECT_NEAR(reach(e), 107.13, 0.01);
    EXPECT_NEAR(e.lensRadius(1), 0.99863f, 1e-5);
}

TEST_F(EqRect2Geometry, TheMaskFanFollowsTheLensReach) {
    std::vector<VERTEX> mask = e.buildMask();
    const size_t points = (mask.size() - 2) * 2 / 3; // (3 i)/2 + 2 vertices for i boundary points
    ASSERT_GT(points, 40u);
    ASSERT_EQ(mask.size(), 3 * points / 2 + 2);
    const double reachDegrees = reach(e);
    for (size_t j = 0; j < points; ++j) {
        if (j % 2 == 0) {
            const VERTEX& apex = mask[3 * (j / 2)];
            EXPECT_EQ(apex.x, 1.0f);
            EXPECT_EQ(apex.y, 0.0f);
        }
        const VERTEX& p = mask[3 * (j / 2) + 1 + j % 2];
        EXPECT_EQ(p.z, 0.0f);
        EXPECT_EQ(p.a, 1.0f);
        EXPECT_EQ(p.r + p.g + p.b, 0.0f);
        if (j == 0 || j == points - 1) {
            EXPECT_EQ(p.x, 1.0f); // the fan closes at the right edge
            continue;
        }
        // The boundary point lies where the lens's reach ends on its row, to the search's precision.
        const double lat = p.y * M_PI / 2;
        const double lon = std::acos(std::cos(reachDegrees * M_PI / 180) / std::cos(lat)) / M_PI;
        EXPECT_NEAR(p.x, lon, 2e-4) << "row y " << p.y;
        if (std::fabs(p.y) < 0.02f) {
            EXPECT_NEAR(p.x, 107.13 / 180, 1e-3);
        }
    }
    // Rows near the poles have no boundary: every direction of theirs is within reach.
    EXPECT_GT(mask[1].y, -0.82f);
    EXPECT_LT(mask[1].y, -0.78f);
}

// A lens whose reach ends at 90 degrees of longitude, on 31 rows only: an odd number of boundary
// points leaves the last triangle without its second point, which is drawn degenerate.
class OddMaskLens : public CEqRect2Expander {
public:
    float projectDirection(float lambda, float phi, float*, float*) const override {
        return lambda < -0.03f * kPi / 2 && phi > kPi / 2 ? 1.0f : 0.5f;
    }
};

TEST_F(EqRect2Geometry, AnOddNumberOfBoundaryPoints) {
    OddMaskLens lens;
    std::vector<VERTEX> mask = lens.buildMask();
    ASSERT_EQ(mask.size(), 3 * 31 / 2 + 2u);
    const VERTEX& last = mask[mask.size() - 1];
    const VERTEX& before = mask[mask.size() - 2];
    EXPECT_EQ(mask[mask.size() - 3].x, 1.0f); // the apex
    EXPECT_EQ(last.x, before.x);
    EXPECT_EQ(last.y, before.y);
    EXPECT_NEAR(mask[4].x, 0.5f, 1e-3); // the boundary of that lens
}

TEST_F(EqRect2Geometry, TheMeshSamplesTheCalibratedCircle) {
    EngineShared().SetCircleRadius(0.4f);
    EngineShared().SetCentreOffset(0.01f, -0.02f);
    e.SetInputSize(nullptr, 1440, 1440, 2048, 2048); // sizes only: no device, nothing is created
    std::vector<VERTEX> mesh(kPanoramaVertices);
    e.buildMainMesh(mesh.data());
    const float U = 1439.0f / 2048;
    EXPECT_EQ(mesh[258].x, -1.0f); // the odd bands run back from the left
    // The frame's centre sees the lens axis: the calibrated picture centre.
    const VERTEX& centre = mesh[16 * 258 + 64 * 2];
    EXPECT_EQ(centre.x, 0.0f);
    EXPECT_EQ(centre.y, 0.0f);
    EXPECT_NEAR(centre.u, 0.5f * U + 0.01f, 1e-6);
    EXPECT_NEAR(centre.v, 0.5f * U - 0.02f, 1e-6);
    // 90 degrees to the right: at the 90-degree radius of the smaller circle.
    const VERTEX& side = mesh[16 * 258 + 32 * 2];
    EXPECT_EQ(side.x, 0.5f);
    EXPECT_NEAR(side.u, (0.4f * e.lensRadius(90.0f / 107) + 0.5f) * U + 0.01f, 1e-6);
}

class EqRect2Frame : public ExpanderFrameTest {};

TEST_F(EqRect2Frame, CreationFailuresAreReported) {
    CEqRect2Expander e;
    frame(e, 64, 32);
    {
        // The base's five buffers, then the main mesh.
        platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 5, 1);
        platform::DebugOutputCapture log;
        EXPECT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
        EXPECT_NE(log.text().find(L"[ERR]CEqRect2Expander::createMainVtx:158 (0x8007000E)"),
                  std::wstring::npos);
        EXPECT_NE(log.text().find(L"[ERR]CEqRect2Expander::initialize:280"), std::wstring::npos);
    }
    {
        platform::ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 6, 1);
        platform::DebugOutputCapture log;
        EXPECT_EQ(e.SetInputSize(device.get(), 1440, 1440, 2048, 2048), E_OUTOFMEMORY);
        EXPECT_NE(log.text().find(L"[ERR]CEqRect2Expander::createMask:263"), std::wstring::npos);
        EXPECT_NE(log.text().find(L"[ERR]CEqRect2Expander::initialize:281"), std::wstring::npos);
    }
    // Without its mask the mode still draws (everything unmasked) and reports success.
    EXPECT_EQ(e.RenderAll(context(), output.data()), S_OK);
    EXPECT_GT(green(2, 16), 150);
    EXPECT_EQ(viewport.Width, 64u);
}

class EqRect2PictureTest : public ModeTest {};

// With a picture that is grey everywhere, even beyond its circle, only the mask can make a pixel black.
// It covers the directions beyond the lens's reach, row by row of its 64 boundary rows, and never a
// direction within it; between its two outermost rows near each pole its last chord cuts the corner of
// the unreachable region.
TEST_F(EqRect2PictureTest, TheMaskCoversTheUnreachableDirections) {
    const Image grey(1440, 1440, {128, 128, 128, 255});
    const double reach = 107.13 * M_PI / 180;
    for (bool up : {true, false}) {
        SCOPED_TRACE(up ? "lens up" : "lens down");
        UnfoldSettings s = mode(4);
        s.lensUp = up;
        Image out = unfold(s, grey);
        int masked = 0, leaks = 0;
        for (int py = 0; py < 720; ++py) {
            const double lat = (1 - (py + 0.5) / 360) * 90;
            const double c = std::cos(reach) / std::cos(lat * M_PI / 180);
            const double edge = c < -1 ? 2 : c > 1 ? 0 : std::acos(c) / M_PI; // |x| where the reach ends
            for (int px = 0; px < 1280; ++px) {
                const double x = std::fabs((px + 0.5) / 640 - 1);
                if (std::fabs(x - edge) * 640 < 2) continue; // the boundary itself
                const Rgba p = out.pixel(px, py);
                if (x < edge) {
                    EXPECT_TRUE(Near(p, {128, 128, 128, 255}, 6)) << px << "," << py;
                } else if (IsBlack(p)) {
                    ++masked;
                } else {
                    ++leaks;
                    EXPECT_GT(std::fabs(lat), 70.0) << "unmasked at " << px << "," << py;
                }
            }
        }
        EXPECT_GT(masked, 240000);
        EXPECT_LT(leaks, masked / 100);
    }
}

TEST_F(EqRect2PictureTest, TheLensAxisAtTheCentre) {
    namespace room = tools::scene::room;
    Image out = unfold(mode(4));
    EXPECT_TRUE(Near(out.pixel(640, 360), room::kMarkerColour, 60));
    EXPECT_TRUE(Near(out.pixel(639, 359), room::kMarkerColour, 60));
    // The equator: the picture from -107 to +107 degrees, black beyond, in mirror image.
    const int edge = int(640 * 107.13 / 180);
    EXPECT_FALSE(IsBlack(out.pixel(640 - edge + 3, 360)));
    EXPECT_FALSE(IsBlack(out.pixel(640 + edge - 4, 360)));
    EXPECT_TRUE(IsBlack(out.pixel(640 - edge - 4, 360)));
    EXPECT_TRUE(IsBlack(out.pixel(640 + edge + 3, 360)));
}

} // namespace
} // namespace mode_testing
