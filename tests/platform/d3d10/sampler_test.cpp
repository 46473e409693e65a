// Bilinear sampling against hand-computed texels.
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/sampler.h"
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10 {
namespace {

// A 4 x 2 RGBA8 texture with a row pitch wider than its texels; red = 10 * x + 100 * y.
struct TinyTexture {
    static constexpr uint32_t kPitch = 32;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kPitch * 2, 0xEE);
    TinyTexture() {
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 4; ++x) {
                uint8_t* p = &bytes[y * kPitch + x * 4];
                p[0] = uint8_t(10 * x + 100 * y);
                p[1] = uint8_t(255 - 10 * x);
                p[2] = 0;
                p[3] = 255;
            }
    }
    SampledTexture view(DXGI_FORMAT format = DXGI_FORMAT_R8G8B8A8_UNORM) const {
        return {bytes.data(), 4, 2, kPitch, format};
    }
};

float sampleRed(const SampledTexture& t, const SamplerSettings& s, float u, float v, int channel = 0) {
    float r[1], g[1], b[1], a[1];
    float* out[4] = {r, g, b, a};
    SampleLanes(t, s, &u, &v, out, 1);
    return out[channel][0] * 255.0f;
}

TEST(Sampler, BilinearAtCentresBetweenTexelsAndBeyondTheEdge) {
    TinyTexture tex;
    SamplerSettings s; // bilinear, clamp
    // Texel centres: (x + 0.5) / 4, (y + 0.5) / 2 read the texel exactly.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(sampleRed(tex.view(), s, (x + 0.5f) / 4, (y + 0.5f) / 2), float(10 * x + 100 * y))
                << x << "," << y;
    // Half-way between texels 1 and 2 of row 0: their mean, exactly.
    EXPECT_FLOAT_EQ(sampleRed(tex.view(), s, 0.5f, 0.25f), 15.0f);
    // A quarter of the way from texel 0 to 1, and between the rows.
    EXPECT_NEAR(sampleRed(tex.view(), s, (0.5f + 0.25f) / 4, 0.5f), 2.5f + 50.0f, 1e-4);
    // Beyond the edge the clamp repeats the edge texels.
    EXPECT_EQ(sampleRed(tex.view(), s, -3.0f, 0.25f), 0.0f);
    EXPECT_EQ(sampleRed(tex.view(), s, 7.0f, 0.75f), 130.0f);
    EXPECT_EQ(sampleRed(tex.view(), s, 0.0f, 0.25f), 0.0f); // the left edge is half a texel out: texel 0
    // Weights have 8 fractional bits: u a hair off the centre still reads the texel.
    EXPECT_EQ(sampleRed(tex.view(), s, (2.5f + 0.001f) / 4, 0.25f), 20.0f);
}

TEST(Sampler, AddressModesFormatsAndPointFiltering) {
    TinyTexture tex;
    SamplerSettings wrap;
    wrap.addressU = wrap.addressV = D3D10_TEXTURE_ADDRESS_WRAP;
    // Between the last and the first texel of a row when wrapping: mean of 30 and 0.
    EXPECT_FLOAT_EQ(sampleRed(tex.view(), wrap, 1.0f, 0.25f), 15.0f);
    SamplerSettings border;
    border.addressU = border.addressV = D3D10_TEXTURE_ADDRESS_BORDER;
    border.border[0] = 1.0f;
    EXPECT_FLOAT_EQ(sampleRed(tex.view(), border, -1.0f, 0.25f), 255.0f);
    SamplerSettings point;
    point.linear = false;
    EXPECT_EQ(sampleRed(tex.view(), point, 0.49f, 0.2f), 10.0f);
    EXPECT_EQ(sampleRed(tex.view(), point, 0.51f, 0.8f), 120.0f);
    // The same bytes read as BGRA swap the first and third channels.
    EXPECT_EQ(sampleRed(tex.view(DXGI_FORMAT_B8G8R8A8_UNORM), SamplerSettings{}, 0.875f, 0.75f, 2), 130.0f);
    // No texture bound reads zero.
    EXPECT_EQ(sampleRed(SampledTexture{}, SamplerSettings{}, 0.5f, 0.5f, 3), 0.0f);
}

} // namespace

namespace testing {
namespace {

using TextureDrawTest = DeviceTest;

TEST_F(TextureDrawTest, FullScreenQuadSamplesEveryTexelCentre) {
    // A texture exactly the size of the target, drawn with texture coordinates 0..1, lands texel for
    // texel: each pixel centre samples its texel centre.
    std::vector<uint32_t> texels(kWidth * kHeight);
    for (UINT i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | (i * 2654435761u >> 8);
    D3D10_TEXTURE2D_DESC d{kWidth,
                           kHeight,
                           1,
                           1,
                           DXGI_FORMAT_R8G8B8A8_UNORM,
                           {1, 0},
                           D3D10_USAGE_DEFAULT,
                           D3D10_BIND_SHADER_RESOURCE,
                           0,
                           0};
    D3D10_SUBRESOURCE_DATA init{texels.data(), kWidth * 4, 0};
    ComPtr<ID3D10Texture2D> texture;
    ASSERT_EQ(device->CreateTexture2D(&d, &init, texture.put()), S_OK);
    ComPtr<ID3D10ShaderResourceView> view;
    ASSERT_EQ(device->CreateShaderResourceView(texture.get(), nullptr, view.put()), S_OK);
    D3D10_SAMPLER_DESC sd{D3D10_FILTER_MIN_MAG_MIP_LINEAR,
                          D3D10_TEXTURE_ADDRESS_CLAMP,
                          D3D10_TEXTURE_ADDRESS_CLAMP,
                          D3D10_TEXTURE_ADDRESS_CLAMP,
                          0,
                          1,
                          D3D10_COMPARISON_NEVER,
                          {0, 0, 0, 0},
                          0,
                          D3D10_FLOAT32_MAX};
    ComPtr<ID3D10SamplerState> sampler;
    ASSERT_EQ(device->CreateSamplerState(&sd, sampler.put()), S_OK);
    ID3D10ShaderResourceView* v = view.get();
    ID3D10SamplerState* s = sampler.get();
    device->PSSetShaderResources(0, 1, &v);
    device->PSSetSamplers(0, 1, &s);
    usePixelShader(kTexturePs);
    draw({V(-1, -1, 0.5f, 1, {1, 1, 1, 1}, 0, 1), V(-1, 1, 0.5f, 1, {1, 1, 1, 1}, 0, 0),
          V(1, -1, 0.5f, 1, {1, 1, 1, 1}, 1, 1), V(1, 1, 0.5f, 1, {1, 1, 1, 1}, 1, 0)},
         D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto pixels = readBack();
    int wrong = 0;
    for (size_t i = 0; i < texels.size(); ++i)
        if (pixels[i] != texels[i] && wrong++ < 5)
            ADD_FAILURE() << "pixel " << i % kWidth << "," << i / kWidth << " " << std::hex << pixels[i]
                          << " want " << texels[i];
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace testing
} // namespace platform::d3d10
