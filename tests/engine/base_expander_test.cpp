// The drawing core: shared meshes, the lens function, and whole frames from a known picture to the
// output bytes, through the compiled effect.
#include <array>
#include <cmath>
#include <functional>

#include "engine/effect_variables.h"
#include "tests/engine/engine_fixture.h"

namespace engine_testing {
namespace {

// The smallest mode: the full-image quad over the whole out buffer, plus a line for pass 4.
class QuadExpander : public CBaseExpander {
public:
    void MoveBy(float, float) override {}
    void SetPosition(float, float) override {}
    void ZoomBy(float) override {}
    void SetZoom(float) override {}
    void GetPosition(float*, float*) override {}
    void GetZoom(float*) override {}
    HRESULT initialize(ID3D10Device*) override {
        initialized++;
        return S_OK;
    }
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override {
        passes.push_back(pass);
        if (duringFrame) duringFrame();
        D3D10_VIEWPORT vp{0, 0, outWidth, outHeight, 0, 1};
        device->RSSetViewports(1, &vp);
        HRESULT hr = draw(device, effect, globalVB, pass, 4);
        if (line) {
            const float points[4] = {-1.0f, 0.0f, 1.0f, 0.0f};
            hr = drawLines(points, device, effect, 2, 0.25f, 0.5f, 1.0f, 1.0f);
        }
        return hr;
    }

    // The contents of a vertex buffer of this expander.
    std::vector<VERTEX> vertices(ID3D10Device* device, ID3D10Buffer* buffer) {
        D3D10_BUFFER_DESC d;
        buffer->GetDesc(&d);
        D3D10_BUFFER_DESC s{d.ByteWidth, D3D10_USAGE_STAGING, 0, D3D10_CPU_ACCESS_READ, 0};
        ComPtr<ID3D10Buffer> staging;
        EXPECT_EQ(device->CreateBuffer(&s, nullptr, staging.put()), S_OK);
        device->CopyResource(staging.get(), buffer);
        void* data = nullptr;
        EXPECT_EQ(staging->Map(D3D10_MAP_READ, 0, &data), S_OK);
        std::vector<VERTEX> v(d.ByteWidth / sizeof(VERTEX));
        std::memcpy(v.data(), data, d.ByteWidth);
        staging->Unmap();
        return v;
    }
    EngineSettings drawingSettings() const { return settings(); }
    ID3D10Buffer* global() const { return globalVB; }
    ID3D10Buffer* panorama() const { return panoramaVB; }
    ID3D10Buffer* mask() const { return maskVB; }
    ID3D10Buffer* dim() const { return dimVB; }

    int initialized = 0;
    bool line = false;
    std::vector<uint32_t> passes;
    std::function<void()> duringFrame; // runs inside renderMain
};

class BaseExpanderTest : public EngineTest {
protected:
    static constexpr uint16_t kOutW = 48, kOutH = 40;

    std::vector<uint8_t> frame(QuadExpander& e, int32_t kind = 0) {
        std::vector<uint8_t> out(size_t(kOutW) * kOutH * 3, 0xAB);
        EXPECT_EQ(e.RenderAll(context(kind), out.data()), S_OK);
        return out;
    }

    void prepare(QuadExpander& e, const Picture& p, uint16_t texW, uint16_t texH) {
        upload(p, texW, texH);
        ASSERT_EQ(e.SetInputSize(device.get(), p.width, p.height, texW, texH), S_OK);
        ASSERT_EQ(e.SetOutBufSize(device.get(), kOutW, kOutH), S_OK);
    }

    // Output pixel (x, y) samples the quad's texture coordinate at its centre.
    static std::array<float, 2> uvAt(const Picture& p, int x, int y, uint16_t texW, uint16_t texH) {
        float U = float(p.width - 1) / texW, V = float(p.height - 1) / texH;
        return {(float(x) + 0.5f) / kOutW * U, (float(y) + 0.5f) / kOutH * V};
    }
};

Picture gradient(uint16_t w, uint16_t h) {
    return Picture(w, h, [](int x, int y) {
        return std::array<uint8_t, 4>{uint8_t(x * 4), uint8_t(y * 6), uint8_t((x * 7 + y * 3) & 0xFF), 0};
    });
}

TEST_F(BaseExpanderTest, WholeFrameFromAKnownPictureToTheOutputBytes) {
    QuadExpander e;
    Picture p = gradient(60, 40);
    prepare(e, p, 64, 64);
    EXPECT_EQ(e.initialized, 1);
    auto out = frame(e);
    ASSERT_EQ(out.size(), size_t(kOutW) * kOutH * 3);
    // The texture is 64 x 64 with the picture in its top-left corner.
    Picture texture(64, 64, [&](int x, int y) {
        return x < p.width && y < p.height
                   ? std::array<uint8_t, 4>{p.at(x, y)[0], p.at(x, y)[1], p.at(x, y)[2], 0}
                   : std::array<uint8_t, 4>{0, 0, 0, 0};
    });
    int worst = 0;
    for (int y = 0; y < kOutH; ++y)
        for (int x = 0; x < kOutW; ++x) {
            auto uv = uvAt(p, x, y, 64, 64);
            float texel[3], expect[3];
            for (int c = 0; c < 3; ++c) texel[c] = Bilinear(texture, uv[0], uv[1], c);
            PackedPass(texel, Colour{}, expect);
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(out[(y * kOutW + x) * 3 + c] - Unorm8(expect[c])));
        }
    // Neutral settings reproduce the picture (byte order kept: blue, green, red) to within rounding.
    EXPECT_LE(worst, 1);
    EXPECT_EQ(e.passes, std::vector<uint32_t>{2});
}

TEST_F(BaseExpanderTest, ColourSettingsActOnLumaAndChroma) {
    QuadExpander e;
    // A uniform picture: every output pixel is the pass applied to one texel.
    const std::array<uint8_t, 4> colour = {40, 170, 220, 0};
    Picture p(16, 16, [&](int, int) { return colour; });
    prepare(e, p, 16, 16);
    const float texel[3] = {40 / 255.0f, 170 / 255.0f, 220 / 255.0f};
    auto check = [&](const Colour& s, const char* what) {
        auto out = frame(e);
        float expect[3];
        PackedPass(texel, s, expect);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(out[(5 * kOutW + 7) * 3 + c], Unorm8(expect[c]), 1) << what << " " << c;
    };
    check({}, "neutral");
    e.SetSaturation(0);
    check({1, 1, 0}, "saturation 0");
    auto out = frame(e);
    EXPECT_NEAR(out[0], out[1], 1); // grey
    EXPECT_NEAR(out[1], out[2], 1);
    e.SetSaturation(1);
    e.SetContrast(0);
    out = frame(e);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], 128, 1) << "contrast 0 gives 0.5";
    e.SetContrast(1.5f);
    e.SetBrightness(0.8f);
    check({1.5f, 0.8f, 1}, "contrast 1.5, brightness 0.8");
}

TEST_F(BaseExpanderTest, MidGreyStaysGrey) {
    QuadExpander e;
    Picture p(8, 8, [](int, int) { return std::array<uint8_t, 4>{128, 128, 128, 0}; });
    prepare(e, p, 8, 8);
    e.SetContrast(2.0f);
    e.SetSaturation(3.0f);
    auto out = frame(e);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], 128, 1);
}

TEST_F(BaseExpanderTest, KernelsSwitchToTheConvolutionPass) {
    QuadExpander e;
    // Vertical stripes two texels wide: sharpening deepens the edge, blurring softens it.
    Picture p(32, 32, [](int x, int) {
        uint8_t v = (x / 2) % 2 ? 200 : 60;
        return std::array<uint8_t, 4>{v, v, v, 0};
    });
    prepare(e, p, 32, 32);
    auto contrastAcrossRow = [&](const std::vector<uint8_t>& out) {
        int lo = 255, hi = 0;
        for (int x = 4; x < kOutW - 4; ++x) {
            int v = out[(20 * kOutW + x) * 3];
            lo = std::min(lo, v), hi = std::max(hi, v);
        }
        return hi - lo;
    };
    int plain = contrastAcrossRow(frame(e));
    e.SetSharpness(2.0f);
    EXPECT_TRUE(EngineShared().Snapshot().filterOn);
    int sharp = contrastAcrossRow(frame(e));
    e.SetBlur(1.0f);
    int blurred = contrastAcrossRow(frame(e));
    EXPECT_GT(sharp, plain + 20);
    EXPECT_LT(blurred, plain - 20);
    e.SetBlur(0);
    EXPECT_FALSE(EngineShared().Snapshot().filterOn);
    EXPECT_EQ(contrastAcrossRow(frame(e)), plain);
    EXPECT_EQ(e.passes, (std::vector<uint32_t>{2, 3, 3, 2}));
    // Negative sharpening is sharpening too: the flag goes on.
    e.SetSharpness(-0.5f);
    EXPECT_TRUE(EngineShared().Snapshot().filterOn);
}

TEST_F(BaseExpanderTest, AFrameDrawsWithTheSettingsOfItsStart) {
    QuadExpander e;
    prepare(e, gradient(16, 16), 16, 16);
    // Another filter of the process changes the shared settings while this one draws.
    EngineSettings seen;
    CMatrix flipSeen;
    e.duringFrame = [&] {
        EngineShared().SetFlip(true, true);
        EngineShared().SetSharpness(1.0f);
        EngineShared().SetCentreOffset(0.25f, 0.5f);
        seen = e.drawingSettings();
        flipSeen = e.getFlipMatrix();
    };
    frame(e);
    EXPECT_FALSE(seen.flipHorizontal);
    EXPECT_FALSE(seen.flipVertical);
    EXPECT_FALSE(seen.filterOn);
    EXPECT_EQ(seen.centreOffsetU, 0.0f);
    EXPECT_EQ(flipSeen.at(1, 1), 1.0f);
    EXPECT_EQ(flipSeen.at(2, 2), 1.0f);
    // The next frame, and anything outside a frame, sees the change.
    e.duringFrame = [&] { seen = e.drawingSettings(); };
    frame(e);
    EXPECT_TRUE(seen.flipVertical);
    EXPECT_TRUE(seen.filterOn);
    EXPECT_EQ(seen.centreOffsetV, 0.5f);
    EXPECT_EQ(e.passes, (std::vector<uint32_t>{kPassPacked, kPassPackedFiltered}));
    EXPECT_EQ(e.getFlipMatrix().at(2, 2), -1.0f);
}

TEST_F(BaseExpanderTest, KernelWeights) {
    EngineSettings s;
    SetSharpenKernel(s, 0.9f);
    float sum = 0;
    for (float k : s.filter) sum += k;
    EXPECT_NEAR(sum, 1.0f, 1e-6);
    EXPECT_FLOAT_EQ(s.filter[0], -0.1f);
    EXPECT_FLOAT_EQ(s.filter[4], 1.8f);
    SetBlurKernel(s, 1.0f);
    float e = std::exp(-1.0f), f = std::exp(-0.5f), total = 4 * e + 4 * f + 1;
    EXPECT_FLOAT_EQ(s.filter[0], e / total);
    EXPECT_FLOAT_EQ(s.filter[1], f / total);
    EXPECT_FLOAT_EQ(s.filter[4], 1 / total);
    SetSharpenKernel(s, 0);
    EXPECT_FALSE(s.filterOn);
    EXPECT_EQ(s.filter[4], 1.0f);
    EXPECT_EQ(s.filter[0], 0.0f);
}

TEST_F(BaseExpanderTest, LinesKeepTheirVertexColourWhateverTheSettings) {
    QuadExpander e;
    Picture p(8, 8, [](int, int) { return std::array<uint8_t, 4>{10, 20, 30, 0}; });
    prepare(e, p, 8, 8);
    e.line = true;
    e.SetContrast(0);
    e.SetSaturation(5);
    auto out = frame(e);
    // The horizontal line at the middle row: colour (0.25, 0.5, 1) in the byte order written.
    const uint8_t* px = &out[(kOutH / 2 * kOutW + 10) * 3];
    EXPECT_EQ(px[0], 64);
    EXPECT_EQ(px[1], 128);
    EXPECT_EQ(px[2], 255);
    EXPECT_NEAR(out[(5 * kOutW + 10) * 3], 128, 1); // elsewhere contrast 0 gives mid grey
}

TEST_F(BaseExpanderTest, InversedIsFalseAfterAFrameAndUnknownInputKindsDrawNothing) {
    QuadExpander e;
    Picture p = gradient(16, 16);
    prepare(e, p, 16, 16);
    frame(e);
    BOOL inversed = TRUE;
    ASSERT_TRUE(effect->GetVariableByName("inversed")->AsScalar()->IsValid());
    effect->GetVariableByName("inversed")->AsScalar()->GetBool(&inversed);
    EXPECT_FALSE(inversed);

    std::vector<uint8_t> out(size_t(kOutW) * kOutH * 3, 0xAB);
    EXPECT_EQ(e.RenderAll(context(2), out.data()), E_NOTIMPL);
    EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xAB));
    EXPECT_EQ(e.passes.size(), 1u);
    // No output pointer: nothing drawn into the out buffer, nothing read back.
    EXPECT_EQ(e.RenderAll(context(0), nullptr), S_OK);
    EXPECT_EQ(e.passes.size(), 1u);
    // Planar input takes pass 0, or 1 with the filter on.
    e.SetSharpness(1);
    frame(e, 1);
    EXPECT_EQ(e.passes.back(), 1u);
}

TEST_F(BaseExpanderTest, SharedMeshes) {
    QuadExpander e;
    Picture p = gradient(16, 16);
    upload(p, 16, 16);
    ASSERT_EQ(e.SetInputSize(device.get(), 1920, 1920, 1920, 1920), S_OK);
    auto quad = e.vertices(device.get(), e.global());
    ASSERT_EQ(quad.size(), 4u);
    EXPECT_FLOAT_EQ(quad[2].u, 1919.0f / 1920);
    EXPECT_FLOAT_EQ(quad[0].v, 1919.0f / 1920);
    EXPECT_EQ(quad[1].x, -1.0f);
    EXPECT_EQ(quad[1].y, 1.0f);
    EXPECT_EQ(quad[1].u, 0.0f);

    // The panorama strip: its first vertex samples the rim on the +u side of the centre.
    auto strip = e.vertices(device.get(), e.panorama());
    ASSERT_EQ(strip.size(), size_t(kPanoramaVertices));
    const float a = 1.0f / kPi, dy = a * 0.0625f, U = 1919.0f / 1920;
    EXPECT_FLOAT_EQ(strip[0].x, 2.0f);
    EXPECT_FLOAT_EQ(strip[0].y, -a);
    EXPECT_NEAR(strip[0].u, U * (0.5f * e.lensRadius(1) + 0.5f), 1e-6);
    EXPECT_NEAR(strip[0].v, U * 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(strip[258].x, -2.0f);
    EXPECT_FLOAT_EQ(strip[258].y, -a + dy);
    EXPECT_FLOAT_EQ(strip[259].x, -2.0f);
    EXPECT_NEAR(strip[259].y, -a + 2 * dy, 1e-6);
    // The top row samples t = 1 - radiusScale: the centre.
    EXPECT_NEAR(strip[kPanoramaVertices - 1].u, U * 0.5f, 1e-6);

    auto ring = e.vertices(device.get(), e.mask());
    ASSERT_EQ(ring.size(), size_t(kMaskVertices));
    EXPECT_FLOAT_EQ(ring[0].x, 2.0f);
    EXPECT_FLOAT_EQ(ring[0].y, 0.0f);
    EXPECT_FLOAT_EQ(ring[1].x, 1.0f);
    EXPECT_NEAR(ring[16].x, 2.0f, 1e-5); // 45 degrees: the square's corner
    EXPECT_NEAR(ring[16].y, 2.0f, 1e-5);
    EXPECT_EQ(ring[128].x, ring[0].x);
    EXPECT_EQ(ring[129].y, ring[1].y);
    auto dim = e.vertices(device.get(), e.dim());
    EXPECT_FLOAT_EQ(dim[3].a, 0.7f);

    ASSERT_EQ(e.SetInputSize(device.get(), 1, 1, 1, 1), S_OK);
    quad = e.vertices(device.get(), e.global());
    EXPECT_EQ(quad[2].u, 0.0f);
    EXPECT_EQ(quad[0].v, 0.0f);
}

TEST_F(BaseExpanderTest, LensRadius) {
    QuadExpander e;
    EXPECT_EQ(e.lensRadius(0), 0.0f);
    EXPECT_EQ(e.lensRadius(-0.5f), 0.0f);
    EXPECT_EQ(e.lensRadius(1.1f), 1.0f); // the polynomial passes 1 beyond the rim
    EXPECT_EQ(e.lensRadius(3.0f), 0.0f); // and falls below 0 far beyond it
    double r = double(float(107.0 / 360 * 6.2831854820251465));
    double p = 0.379304210704049 * r + 0.0126343541596725 * r * r - 0.00163057541794842 * r * r * r +
               0.0739231778879912 * r * r * r * r - 0.0282768400561508 * r * r * r * r * r;
    EXPECT_NEAR(e.lensRadius(1), p, 1e-6);
    EXPECT_GT(e.lensRadius(1), 0.99f);
    // Monotonic over the lens's range.
    for (float t = 0.01f; t <= 1.0f; t += 0.01f) EXPECT_GT(e.lensRadius(t), e.lensRadius(t - 0.01f));
}

TEST_F(BaseExpanderTest, FlipMatrixFromTheSharedFlags) {
    QuadExpander e;
    float in[4] = {0.3f, 0.4f, 0.5f, 1}, out[4];
    e.getFlipMatrix().transform(in, out);
    EXPECT_EQ(out[0], 0.3f);
    e.SetFlip(true, false);
    e.getFlipMatrix().transform(in, out);
    EXPECT_NEAR(out[0], -0.3f, 1e-6); // mirrors x
    EXPECT_NEAR(out[1], 0.4f, 1e-6);
    e.SetFlip(true, true);
    e.getFlipMatrix().transform(in, out);
    EXPECT_NEAR(out[0], -0.3f, 1e-6);
    EXPECT_NEAR(out[1], -0.4f, 1e-6); // and y
    EXPECT_NEAR(out[2], 0.5f, 1e-6);
}

} // namespace
} // namespace engine_testing
