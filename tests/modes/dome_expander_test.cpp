#include "modes/dome_expander.h"

#include <cmath>

#include "tests/engine/engine_fixture.h"
#include "tests/modes/mode_fixture.h"

namespace mode_testing {
namespace {

TEST(DomeExpanderView, PercentagesZoomAndWraps) {
    EngineShared().Reset();
    CDomeExpander d;
    EXPECT_FLOAT_EQ(d.getZoom(), 0.7f);
    EXPECT_EQ(d.getModeParam(), 0.0f);
    d.SetPosition(50, 50);
    EXPECT_EQ(d.getPan(), 180.0f);
    EXPECT_FLOAT_EQ(d.getTilt(), 14.999995f);
    float h, v;
    d.SetPosition(10, 0);
    d.GetPosition(&h, &v);
    EXPECT_NEAR(v, -45.83f, 0.01f); // the -165 is not undone
    d.SetPosition(-1, 200);         // both ignored
    EXPECT_FLOAT_EQ(d.getPan(), float(3.6f * 10.0));
    d.SetZoom(0);
    EXPECT_EQ(d.getZoom(), 0.5f);
    EXPECT_EQ(d.getModeParam(), 1.0f);
    d.SetZoom(100);
    EXPECT_FLOAT_EQ(d.getZoom(), 3.0f);
    EXPECT_EQ(d.getModeParam(), 0.0f);
    d.SetZoom(0);
    d.ZoomBy(1);
    d.SetZoom(-5); // zoom kept, modeParam recomputed from it
    EXPECT_FLOAT_EQ(d.getZoom(), 0.6f);
    EXPECT_EQ(d.getModeParam(), 0.0f);
    d.ZoomBy(100);
    EXPECT_EQ(d.getZoom(), 3.0f);
    d.ZoomBy(-100);
    EXPECT_EQ(d.getZoom(), 0.5f);
    EXPECT_EQ(d.getModeParam(), 0.0f);
    float z;
    d.GetZoom(&z);
    EXPECT_NEAR(z, 0, 1e-4);

    // A drag bringing pan to exactly 360 wraps to 0, and one bringing it to 0 gives 360.
    CDomeExpander w;
    w.SetOutBufSize(nullptr, 1000, 500);
    w.SetZoom(20);         // zoom 1.0
    w.SetPosition(50, 50); // pan 180
    w.MoveBy(-1000, 0);    // +180
    EXPECT_EQ(w.getPan(), 0.0f);
    w.MoveBy(0, 0);
    w.SetPosition(50, 50);
    w.MoveBy(1000, 0); // -180
    EXPECT_EQ(w.getPan(), 360.0f);
}

using DomeMeshTest = engine_testing::EngineTest;

TEST_F(DomeMeshTest, TheCapFromTheRimToTheLensAxis) {
    CDomeExpander d;
    ASSERT_EQ(d.SetInputSize(device.get(), 1440, 1440, 2048, 2048), S_OK);
    std::vector<VERTEX> mesh(kPanoramaVertices);
    d.buildDomeMesh(mesh.data());
    EXPECT_NEAR(mesh[0].x, 0.9563f, 1e-4);
    EXPECT_NEAR(mesh[0].y, -0.2924f, 1e-4);
    EXPECT_NEAR(mesh[0].z, 0.0f, 1e-6);
    const float U = 1439.0f / 2048;
    EXPECT_NEAR(mesh[0].u, (d.lensRadius(1) * 0.5f + 0.5f) * U, 1e-6);
    EXPECT_NEAR(mesh[0].v, 0.5f * U, 1e-6);
    // The last ring reaches the pole and the centre of the picture.
    EXPECT_NEAR(mesh[kPanoramaVertices - 1].y, 1.0f, 1e-5);
    EXPECT_NEAR(mesh[kPanoramaVertices - 1].u, 0.5f * U, 1e-6);
    for (const VERTEX& v : mesh) EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-5);
}

class DomePictureTest : public ModeTest {};

TEST_F(DomePictureTest, ACapWithBlackAroundIt) {
    Image out = unfold(mode(8));
    for (int x : {0, 60, 1219, 1279}) {
        EXPECT_TRUE(IsBlack(out.pixel(x, 0))) << x;
        EXPECT_TRUE(IsBlack(out.pixel(x, 719))) << x;
    }
    EXPECT_TRUE(IsBlack(out.pixel(640, 2)));
    EXPECT_FALSE(IsBlack(out.pixel(640, 300)));
    // The cap is symmetric about the vertical through the centre of the output.
    int left = -1, right = -1;
    for (int x = 0; x < 1280; ++x)
        if (!IsBlack(out.pixel(x, 300))) {
            if (left < 0) left = x;
            right = x;
        }
    EXPECT_NEAR((left + right) / 2.0, 639.5, 2);
    EXPECT_GT(right - left, 600);
}

} // namespace
} // namespace mode_testing
