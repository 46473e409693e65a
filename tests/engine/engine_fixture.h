// A device with the compiled effect, an input texture from a test picture, and a reference model of
// the colour pipeline and the sampler, for the engine tests.
#pragma once

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include <d3d10.h>
#include <gtest/gtest.h>

#include "engine/base_expander.h"
#include "engine/shared_state.h"
#include "platform/d3d10/software_device.h"
#include "platform/win32/com_ptr.h"

namespace engine_testing {

using platform::ComPtr;

// The colour settings of the effect, as the engine sets them.
struct Colour {
    float contrast = 1, brightness = 1, saturation = 1;
};

// The packed passes' mathematics on one texel (p1, p2, p3), with `inversed` set as in the out buffer.
inline void PackedPass(const float p[3], const Colour& s, float out[3]) {
    float y = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
    float cb = -0.169f * p[0] - 0.332f * p[1] + 0.5f * p[2];
    float cr = 0.5f * p[0] - 0.419f * p[1] - 0.081f * p[2];
    y *= s.brightness;
    cb *= s.saturation;
    cr *= s.saturation;
    float x = y + 1.402f * cr, g = y - 0.344f * cb - 0.714f * cr, z = y + 1.772f * cb;
    auto c = [&](float v) { return (v - 0.5f) * s.contrast + 0.5f; };
    out[0] = c(x), out[1] = c(g), out[2] = c(z);
}

inline int Unorm8(float v) {
    return v <= 0 ? 0 : v >= 1 ? 255 : int(v * 255 + 0.5f);
}

// A picture in the byte order the engine uploads (blue, green, red, unused), width x height.
struct Picture {
    uint16_t width, height;
    std::vector<uint8_t> bytes;
    Picture(uint16_t w, uint16_t h, const std::function<std::array<uint8_t, 4>(int, int)>& texel)
        : width(w), height(h), bytes(size_t(w) * h * 4) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                auto t = texel(x, y);
                std::memcpy(&bytes[(size_t(y) * w + x) * 4], t.data(), 4);
            }
    }
    const uint8_t* at(int x, int y) const { return &bytes[(size_t(y) * width + x) * 4]; }
};

// Bilinear sampling with clamp, 8-bit weights and texel centres at half-integers, written from the
// sampling rules, channel c of the picture (as a texture of the same size) at (u, v).
inline float Bilinear(const Picture& p, float u, float v, int c) {
    auto fixed = [](float x) { return int(std::floor(x * 256 + 0.5f)); };
    int fx = fixed(u * p.width - 0.5f), fy = fixed(v * p.height - 0.5f);
    int x0 = fx >> 8, y0 = fy >> 8;
    float ax = float(fx & 255) / 256, ay = float(fy & 255) / 256;
    auto texel = [&](int x, int y) {
        x = std::clamp(x, 0, p.width - 1);
        y = std::clamp(y, 0, p.height - 1);
        return float(p.at(x, y)[c]) / 255;
    };
    float top = texel(x0, y0) * (1 - ax) + texel(x0 + 1, y0) * ax;
    float bottom = texel(x0, y0 + 1) * (1 - ax) + texel(x0 + 1, y0 + 1) * ax;
    return top * (1 - ay) + bottom * ay;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        EngineShared().Reset();
        live_ = platform::d3d10::LiveObjectCount();
        ASSERT_EQ(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                    device.put()),
                  S_OK);
        ASSERT_EQ(CBaseExpander::CreateEffect(device.get(), effect.put(), layout.put()), S_OK);
        ASSERT_TRUE(effect) << "the effect resource is not linked into the test";
    }

    void TearDown() override {
        view = nullptr;
        texture = nullptr;
        layout = nullptr;
        effect = nullptr;
        if (device) {
            device->ClearState();
            EXPECT_EQ(device.detach()->Release(), 0u);
        }
        EngineShared().Reset();
        EXPECT_EQ(platform::d3d10::LiveObjectCount(), live_);
    }

    // Uploads the picture into the top-left of a texWidth x texHeight dynamic texture.
    void upload(const Picture& p, uint16_t texWidth, uint16_t texHeight) {
        D3D10_TEXTURE2D_DESC d{texWidth,
                               texHeight,
                               1,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               D3D10_USAGE_DYNAMIC,
                               D3D10_BIND_SHADER_RESOURCE,
                               D3D10_CPU_ACCESS_WRITE,
                               0};
        ASSERT_EQ(device->CreateTexture2D(&d, nullptr, texture.put()), S_OK);
        ASSERT_EQ(device->CreateShaderResourceView(texture.get(), nullptr, view.put()), S_OK);
        D3D10_MAPPED_TEXTURE2D m;
        ASSERT_EQ(texture->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &m), S_OK);
        for (int y = 0; y < p.height; ++y)
            std::memcpy(static_cast<uint8_t*>(m.pData) + size_t(y) * m.RowPitch, p.at(0, y),
                        size_t(p.width) * 4);
        texture->Unmap(0);
    }

    RenderContext context(int32_t kind = 0) {
        return RenderContext{device.get(), effect.get(), kind,    nullptr,
                             nullptr,      nullptr,      nullptr, {view.get(), nullptr, nullptr}};
    }

    ComPtr<ID3D10Device> device;
    ComPtr<ID3D10Effect> effect;
    ComPtr<ID3D10InputLayout> layout;
    ComPtr<ID3D10Texture2D> texture;
    ComPtr<ID3D10ShaderResourceView> view;

private:
    long live_ = 0;
};

} // namespace engine_testing
