// The fisheye picture with the current mode's outline of its view, drawn by the facade beside its
// frames: the outline lies where the view looks, follows the view and the calibration, the overview
// comes only from the modes that have one, and the next frame is drawn as if nothing had happened.
#include <windows.h>

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "engine/orb_expander.h"
#include "engine/shared_state.h"
#include "platform/d3d10/software_device.h"

namespace {

LRESULT CALLBACK windowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

constexpr uint16_t kSide = 256; // the input picture, square
constexpr uint16_t kBox = 256;  // the source picture drawn from it
constexpr int kOutW = 1280, kOutH = 720;

// The red pixels of a source picture (4 bytes a pixel: blue, green, red, 0) and their mean place.
struct Outline {
    int count = 0;
    double x = 0, y = 0;
    std::vector<std::pair<int, int>> pixels;
};

Outline RedPixels(const std::vector<BYTE>& picture, int width, int height) {
    Outline o;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = &picture[(size_t(y) * width + x) * 4];
            // The picture itself has no red at all (see PositionPicture).
            if (p[2] > 128) {
                ++o.count;
                o.x += x;
                o.y += y;
                o.pixels.emplace_back(x, y);
            }
        }
    if (o.count) o.x /= o.count, o.y /= o.count;
    return o;
}

class SourceViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        EngineShared().Reset();
        live_ = platform::d3d10::LiveObjectCount();
        WNDCLASSW wc{};
        wc.lpfnWndProc = windowProc;
        wc.lpszClassName = L"source view test";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"Render", WS_POPUP, 0, 0, kOutW, kOutH, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(orb->Initialize(window_), S_OK);
        ASSERT_TRUE(orb->SetFrontViewRect(1, 1, 0, 0));
        ASSERT_TRUE(orb->SetInput(kSide, kSide));
        orb->SetRenderBufSize(kOutW, kOutH);
        ASSERT_TRUE(orb->SetExpMode(kModeInDome));
        // Each texel tells where it is: blue its column, green its row, and no red.
        std::vector<BYTE> picture(size_t(kSide) * kSide * 4);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                BYTE* p = &picture[(size_t(y) * kSide + x) * 4];
                p[0] = BYTE(x), p[1] = BYTE(y), p[2] = 0, p[3] = 0;
            }
        ASSERT_TRUE(orb->UploadFrame(picture.data(), kSide * 4));
    }
    void TearDown() override {
        orb.reset();
        DestroyWindow(window_);
        UnregisterClassW(L"source view test", nullptr);
        EngineShared().Reset();
        EXPECT_EQ(platform::d3d10::LiveObjectCount(), live_);
    }

    std::vector<BYTE> frame() {
        std::vector<BYTE> out(size_t(kOutW) * kOutH * 3);
        EXPECT_EQ(orb->Render(out.data()), S_OK);
        return out;
    }
    // The texel the view shows at the middle of the frame: (column, row) of the input picture.
    std::pair<int, int> viewCentre() {
        const std::vector<BYTE> out = frame();
        const BYTE* p = &out[(size_t(kOutH / 2) * kOutW + kOutW / 2) * 3];
        return {p[0], p[1]};
    }
    Outline outline() {
        std::vector<BYTE> picture(size_t(kBox) * kBox * 4);
        EXPECT_EQ(orb->RenderSource(kBox, kBox, picture.data(), 0, 0, nullptr, nullptr), S_OK);
        return RedPixels(picture, kBox, kBox);
    }

    std::unique_ptr<COrbExpander> orb = std::make_unique<COrbExpander>();

private:
    HWND window_ = nullptr;
    long live_ = 0;
};

TEST_F(SourceViewTest, TheOutlineSurroundsThePlaceTheViewLooksAtAndTurnsWithIt) {
    // The inverted dome looks sideways into the circle; its outline is a closed curve around the place
    // of the picture the middle of the view shows, whichever way the view is turned.
    std::vector<double> angles;
    for (float h : {0.0f, 25.0f, 50.0f, 75.0f}) {
        orb->Current()->SetPosition(h, 50);
        const auto [u, v] = viewCentre();
        const Outline o = outline();
        ASSERT_GT(o.count, 100) << "pan " << h;
        EXPECT_NEAR(o.x, u, 24) << "pan " << h;
        EXPECT_NEAR(o.y, v, 24) << "pan " << h;
        // Not the picture's middle: the view looks towards the rim.
        EXPECT_GT(std::hypot(u - kSide / 2.0, v - kSide / 2.0), 30) << "pan " << h;
        angles.push_back(std::atan2(o.y - kSide / 2.0, o.x - kSide / 2.0));
    }
    // A quarter of the pan range turns the outline a quarter turn about the circle's centre.
    for (size_t i = 1; i < angles.size(); ++i) {
        const double turn = std::remainder(angles[i] - angles[i - 1], 2 * M_PI);
        EXPECT_NEAR(std::abs(turn), M_PI / 2, 0.2) << i;
    }
}

TEST_F(SourceViewTest, TheDomesOutlineIsThePictureCircleAndFollowsTheCalibratedCentre) {
    ASSERT_TRUE(orb->SetExpMode(kModeDome));
    Outline o = outline();
    ASSERT_GT(o.count, 300);
    // Radius 1 in the outlines' units is the circle's edge: half the picture at the default calibration.
    for (auto [x, y] : o.pixels)
        EXPECT_NEAR(std::hypot(x + 0.5 - 128, y + 0.5 - 128), 128, 3) << x << "," << y;
    EXPECT_NEAR(o.x, 128, 2);
    EXPECT_NEAR(o.y, 128, 2);
    // A centre offset of a tenth of the texture moves the circle a tenth of the picture, the way the
    // modes' meshes move their sampling, and a smaller radius shrinks it.
    EngineShared().SetCentreOffset(0.1f, -0.05f);
    EngineShared().SetCircleRadius(0.4f);
    o = outline();
    ASSERT_GT(o.count, 200);
    EXPECT_NEAR(o.x, 128 + 25.6, 2);
    EXPECT_NEAR(o.y, 128 - 12.8, 2);
    for (auto [x, y] : o.pixels)
        EXPECT_NEAR(std::hypot(x + 0.5 - 128 - 25.6, y + 0.5 - 128 + 12.8), 0.8 * 128, 3) << x << "," << y;
}

TEST_F(SourceViewTest, OnlyTheStripModesDrawAnOverviewAndTheFramesAfterAreUnchanged) {
    constexpr uint16_t kStripW = 256, kStripH = 65;
    struct Case {
        int32_t mode;
        bool overview;
    } cases[] = {{kModePanorama, true}, {kModeExtract, true}, {kModeThrowOut, true},
                 {kModeInDome, false},  {kModeRing, false},   {kModeQuad, false}};
    for (const Case& c : cases) {
        ASSERT_TRUE(orb->SetExpMode(c.mode));
        const std::vector<BYTE> before = frame();
        std::vector<BYTE> picture(size_t(kBox) * kBox * 4), strip(size_t(kStripW) * kStripH * 4, 0xAB);
        bool drawn = !c.overview;
        ASSERT_EQ(orb->RenderSource(kBox, kBox, picture.data(), kStripW, kStripH, strip.data(), &drawn),
                  S_OK);
        EXPECT_EQ(drawn, c.overview) << c.mode;
        if (!c.overview) {
            EXPECT_EQ(strip, std::vector<BYTE>(strip.size(), 0)) << c.mode;
        }
        // The mode's own frame is drawn exactly as before: the source view left no state behind.
        EXPECT_TRUE(frame() == before) << c.mode;
        EXPECT_GT(RedPixels(picture, kBox, kBox).count, 50) << c.mode;
    }
    // The panorama's overview shows the strip with the part outside the view darkened.
    ASSERT_TRUE(orb->SetExpMode(kModePanorama));
    orb->Current()->SetZoom(100);
    std::vector<BYTE> picture(size_t(kBox) * kBox * 4), strip(size_t(kStripW) * kStripH * 4);
    bool drawn = false;
    ASSERT_EQ(orb->RenderSource(kBox, kBox, picture.data(), kStripW, kStripH, strip.data(), &drawn), S_OK);
    ASSERT_TRUE(drawn);
    int bright = 0, dim = 0;
    for (int x = 0; x < kStripW; ++x) {
        const BYTE* p = &strip[(size_t(kStripH / 2) * kStripW + x) * 4];
        (p[0] + p[1] > 120 ? bright : dim) += 1;
    }
    EXPECT_GT(bright, 20);
    EXPECT_GT(dim, 100);
}

TEST_F(SourceViewTest, APictureOfAnotherShapeIsFittedAndBadRequestsAreRefused) {
    ASSERT_TRUE(orb->SetExpMode(kModeDome));
    // A box twice as wide as high: the square picture sits in its middle, black at both sides.
    std::vector<BYTE> wide(size_t(200) * 100 * 4, 0xCD);
    ASSERT_EQ(orb->RenderSource(200, 100, wide.data(), 0, 0, nullptr, nullptr), S_OK);
    const Outline o = RedPixels(wide, 200, 100);
    ASSERT_GT(o.count, 100);
    EXPECT_NEAR(o.x, 100, 2);
    EXPECT_NEAR(o.y, 50, 2);
    for (auto [x, y] : o.pixels) {
        EXPECT_GE(x, 49);
        EXPECT_LE(x, 150);
    }
    EXPECT_EQ(wide[(50 * 200 + 10) * 4 + 0], 0);
    EXPECT_EQ(wide[(50 * 200 + 190) * 4 + 1], 0);

    std::vector<BYTE> small(16 * 16 * 4);
    bool drawn = false;
    EXPECT_EQ(orb->RenderSource(0, 16, small.data(), 0, 0, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(orb->RenderSource(16, 16, nullptr, 0, 0, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(orb->RenderSource(16, 16, small.data(), 16, 16, small.data(), nullptr), E_POINTER);
    EXPECT_EQ(orb->RenderSource(16, 16, small.data(), 0, 16, small.data(), &drawn), E_INVALIDARG);
    // No mode, no picture to draw from.
    ASSERT_FALSE(orb->SetExpMode(kModeNoExpander));
    EXPECT_EQ(orb->RenderSource(16, 16, small.data(), 0, 0, nullptr, nullptr), D3DERR_INVALIDCALL);
    COrbExpander fresh;
    EXPECT_EQ(fresh.RenderSource(16, 16, small.data(), 0, 0, nullptr, nullptr), D3DERR_INVALIDCALL);
}

} // namespace
