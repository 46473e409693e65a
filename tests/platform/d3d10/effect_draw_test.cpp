// End to end: a full-screen quad of the engine's vertex record drawn through each pass of the effect
// on the software device, read back and compared with the pass mathematics.
#include <algorithm>
#include <cmath>
#include <functional>

#include "tests/platform/d3d10/effect_fixture.h"
#include "tests/platform/d3d10/effect_reference.h"

namespace platform::d3d10::testing {
namespace {

constexpr UINT kSize = 8;

// The engine's 36-byte vertex: position, colour, texture coordinate.
struct Vertex {
    float x, y, z;
    float r, g, b, a;
    float u, v;
};

class EffectDrawTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        if (HasFatalFailure()) return;
        D3D10_TEXTURE2D_DESC t{kSize,
                               kSize,
                               1,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               D3D10_USAGE_DEFAULT,
                               D3D10_BIND_RENDER_TARGET,
                               0,
                               0};
        ASSERT_EQ(device->CreateTexture2D(&t, nullptr, target.put()), S_OK);
        ASSERT_EQ(device->CreateRenderTargetView(target.get(), nullptr, targetView.put()), S_OK);
        ID3D10RenderTargetView* rtv = targetView.get();
        device->OMSetRenderTargets(1, &rtv, nullptr);
        D3D10_VIEWPORT vp{0, 0, kSize, kSize, 0, 1};
        device->RSSetViewports(1, &vp);
        D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
        ASSERT_EQ(device->CreateRasterizerState(&r, rasterizer.put()), S_OK);
        device->RSSetState(rasterizer.get());

        D3D10_PASS_DESC p;
        ASSERT_EQ(technique->GetPassByIndex(0)->GetDesc(&p), S_OK);
        D3D10_INPUT_ELEMENT_DESC layout[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 28, D3D10_INPUT_PER_VERTEX_DATA, 0},
        };
        ASSERT_EQ(device->CreateInputLayout(layout, 3, p.pIAInputSignature, p.IAInputSignatureSize,
                                            inputLayout.put()),
                  S_OK);
        device->IASetInputLayout(inputLayout.get());

        for (UINT i = 0; i < kSize * kSize; ++i) {
            y[i] = uint8_t(20 + 3 * i);
            cb[i] = uint8_t(230 - 2 * i);
            cr[i] = uint8_t((41 * i + 9) % 256);
            packed[4 * i] = uint8_t(5 + 4 * i);
            packed[4 * i + 1] = uint8_t(255 - 3 * i);
            packed[4 * i + 2] = uint8_t((29 * i + 60) % 256);
            packed[4 * i + 3] = 255;
        }
        views[0] = texture(DXGI_FORMAT_R8_UNORM, y, kSize);
        views[1] = texture(DXGI_FORMAT_R8_UNORM, cb, kSize);
        views[2] = texture(DXGI_FORMAT_R8_UNORM, cr, kSize);
        packedView = texture(DXGI_FORMAT_R8G8B8A8_UNORM, packed, kSize * 4);
    }

    void TearDown() override {
        if (device) device->ClearState();
        target = nullptr;
        targetView = nullptr;
        rasterizer = nullptr;
        inputLayout = nullptr;
        for (auto& v : views) v = nullptr;
        packedView = nullptr;
        EffectTest::TearDown();
    }

    ComPtr<ID3D10ShaderResourceView> texture(DXGI_FORMAT format, const uint8_t* data, UINT pitch) {
        D3D10_TEXTURE2D_DESC t{
            kSize, kSize, 1, 1, format, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0, 0};
        D3D10_SUBRESOURCE_DATA init{data, pitch, 0};
        ComPtr<ID3D10Texture2D> tex;
        EXPECT_EQ(device->CreateTexture2D(&t, &init, tex.put()), S_OK);
        ComPtr<ID3D10ShaderResourceView> view;
        EXPECT_EQ(device->CreateShaderResourceView(tex.get(), nullptr, view.put()), S_OK);
        return view;
    }

    // Sets the variables as the engine does each frame.
    void setVariables(const Settings& s, bool planar) {
        auto scalar = [&](const char* n) { return var(n)->AsScalar(); };
        EXPECT_EQ(scalar("contrast")->SetFloat(s.contrast), S_OK);
        EXPECT_EQ(scalar("brightness")->SetFloat(s.brightness), S_OK);
        EXPECT_EQ(scalar("saturation")->SetFloat(s.saturation), S_OK);
        EXPECT_EQ(scalar("alpha")->SetFloat(s.alpha), S_OK);
        float k[9];
        std::copy(std::begin(s.kernel), std::end(s.kernel), k);
        EXPECT_EQ(scalar("filter")->SetFloatArray(k, 0, 9), S_OK);
        EXPECT_EQ(scalar("texWidth")->SetInt(s.texWidth), S_OK);
        EXPECT_EQ(scalar("texHeight")->SetInt(s.texHeight), S_OK);
        EXPECT_EQ(scalar("inversed")->SetBool(s.inversed), S_OK);
        float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        EXPECT_EQ(var("matWVP")->AsMatrix()->SetMatrix(identity), S_OK);
        EXPECT_EQ(var("tex0")->AsShaderResource()->SetResource(planar ? views[0].get() : packedView.get()),
                  S_OK);
        EXPECT_EQ(var("tex1")->AsShaderResource()->SetResource(views[1].get()), S_OK);
        EXPECT_EQ(var("tex2")->AsShaderResource()->SetResource(views[2].get()), S_OK);
    }

    // The fixed full-screen quad, drawn as a strip through pass `pass`.
    void drawQuad(UINT pass, const Float4& colour) {
        const float clear[4] = {0, 0, 0, 0};
        device->ClearRenderTargetView(targetView.get(), clear);
        Vertex q[4] = {{-1, -1, 0, colour[0], colour[1], colour[2], colour[3], 0, 1},
                       {-1, 1, 0, colour[0], colour[1], colour[2], colour[3], 0, 0},
                       {1, -1, 0, colour[0], colour[1], colour[2], colour[3], 1, 1},
                       {1, 1, 0, colour[0], colour[1], colour[2], colour[3], 1, 0}};
        D3D10_BUFFER_DESC d{sizeof q, D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA init{q, 0, 0};
        ComPtr<ID3D10Buffer> vb;
        ASSERT_EQ(device->CreateBuffer(&d, &init, vb.put()), S_OK);
        ID3D10Buffer* b = vb.get();
        UINT stride = sizeof(Vertex), offset = 0;
        device->IASetVertexBuffers(0, 1, &b, &stride, &offset);
        device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        ASSERT_EQ(technique->GetPassByIndex(pass)->Apply(0), S_OK);
        device->Draw(4, 0);
    }

    std::vector<uint32_t> readBack() {
        D3D10_TEXTURE2D_DESC d;
        target->GetDesc(&d);
        d.Usage = D3D10_USAGE_STAGING;
        d.BindFlags = 0;
        d.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        ComPtr<ID3D10Texture2D> staging;
        EXPECT_EQ(device->CreateTexture2D(&d, nullptr, staging.put()), S_OK);
        device->CopyResource(staging.get(), target.get());
        D3D10_MAPPED_TEXTURE2D m{};
        EXPECT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
        std::vector<uint32_t> out(kSize * kSize);
        for (UINT row = 0; row < kSize; ++row)
            std::memcpy(&out[row * kSize], static_cast<uint8_t*>(m.pData) + row * m.RowPitch, kSize * 4);
        staging->Unmap(0);
        return out;
    }

    static int toByte(float v) { return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

    // Compares every pixel with the reference, allowing one step of UNORM rounding.
    void expectPixels(const std::function<Float4(int, int)>& reference, const std::string& what) {
        auto pixels = readBack();
        int bad = 0;
        for (int py = 0; py < int(kSize); ++py)
            for (int px = 0; px < int(kSize); ++px) {
                Float4 want = reference(px, py);
                uint32_t got = pixels[py * kSize + px];
                for (int c = 0; c < 4; ++c) {
                    int g = int((got >> (8 * c)) & 0xFF);
                    if (std::abs(g - toByte(want[c])) > 1 && bad++ < 5)
                        ADD_FAILURE() << what << " pixel (" << px << "," << py << ") channel " << c << ": "
                                      << g << " instead of " << toByte(want[c]);
                }
            }
    }

    float Y(int x, int yy) const { return at(y, x, yy); }
    float Cb(int x, int yy) const { return at(cb, x, yy); }
    float Cr(int x, int yy) const { return at(cr, x, yy); }
    float P(int x, int yy, int c) const {
        x = std::clamp(x, 0, int(kSize) - 1);
        yy = std::clamp(yy, 0, int(kSize) - 1);
        return packed[(yy * kSize + x) * 4 + c] / 255.0f;
    }
    static float at(const uint8_t* plane, int x, int yy) {
        x = std::clamp(x, 0, int(kSize) - 1);
        yy = std::clamp(yy, 0, int(kSize) - 1);
        return plane[yy * kSize + x] / 255.0f;
    }

    ComPtr<ID3D10Texture2D> target;
    ComPtr<ID3D10RenderTargetView> targetView;
    ComPtr<ID3D10RasterizerState> rasterizer;
    ComPtr<ID3D10InputLayout> inputLayout;
    ComPtr<ID3D10ShaderResourceView> views[3], packedView;
    uint8_t y[kSize * kSize], cb[kSize * kSize], cr[kSize * kSize], packed[kSize * kSize * 4];
};

TEST_F(EffectDrawTest, EveryPassDrawsItsMathematicsIntoTheTarget) {
    const Float4 colour{1, 0.9f, 0.8f, 1};
    for (bool inversed : {false, true}) {
        Settings s;
        s.texWidth = s.texHeight = kSize;
        s.inversed = inversed;
        s.brightness = 1.1f;
        s.saturation = 0.8f;
        s.contrast = 0.9f;
        std::string tag = inversed ? " inversed" : "";
        setVariables(s, true);
        drawQuad(0, colour);
        expectPixels(
            [&](int x, int yy) {
                return planarReference(Y(x, yy) * s.brightness, (Cb(x, yy) - 0.5f) * s.saturation,
                                       (Cr(x, yy) - 0.5f) * s.saturation, colour, s);
            },
            "P0" + tag);
        setVariables(s, false);
        drawQuad(2, colour);
        expectPixels(
            [&](int x, int yy) { return packedReference(P(x, yy, 0), P(x, yy, 1), P(x, yy, 2), colour, s); },
            "P2" + tag);
    }
    setVariables(Settings{}, false);
    drawQuad(4, {0.2f, 0.4f, 0.6f, 1});
    expectPixels([](int, int) { return Float4{0.2f, 0.4f, 0.6f, 1}; }, "P4");
}

TEST_F(EffectDrawTest, ConvolutionPassesSharpenWithClampedEdges) {
    Settings s;
    s.texWidth = s.texHeight = kSize;
    sharpen(s, 0.5f);
    setVariables(s, true);
    drawQuad(1, {1, 1, 1, 1});
    expectPixels(
        [&](int x, int yy) {
            float sy = 0, scr = 0, scb = 0;
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i) {
                    float w = s.kernel[3 * j + i];
                    sy += w * Y(x + i - 1, yy + j - 1);
                    scr += w * (Cr(x + i - 1, yy + j - 1) - 0.5f);
                    scb += w * (Cb(x + i - 1, yy + j - 1) - 0.5f);
                }
            return planarReference(sy, scb, scr, {1, 1, 1, 1}, s);
        },
        "P1");
    setVariables(s, false);
    drawQuad(3, {1, 1, 1, 1});
    expectPixels(
        [&](int x, int yy) {
            float p[3] = {0, 0, 0};
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i)
                    for (int c = 0; c < 3; ++c) p[c] += s.kernel[3 * j + i] * P(x + i - 1, yy + j - 1, c);
            return packedReference(p[0], p[1], p[2], {1, 1, 1, 1}, s);
        },
        "P3");
}

TEST_F(EffectDrawTest, ChangedMatrixReachesTheNextDraw) {
    setVariables(Settings{}, false);
    drawQuad(4, {1, 1, 1, 1});
    expectPixels([](int, int) { return Float4{1, 1, 1, 1}; }, "full quad");
    // Half size about the centre: only the middle 4 x 4 pixels are covered.
    float half[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_EQ(var("matWVP")->AsMatrix()->SetMatrix(half), S_OK);
    drawQuad(4, {1, 1, 1, 1});
    expectPixels(
        [](int x, int yy) {
            bool inside = x >= 2 && x < 6 && yy >= 2 && yy < 6;
            return inside ? Float4{1, 1, 1, 1} : Float4{0, 0, 0, 0};
        },
        "half quad");
}

} // namespace
} // namespace platform::d3d10::testing
