// A device with a render target and depth-stencil surface, test shaders, and read-back, for the
// device tests.
#pragma once

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <d3d10.h>
#include <gtest/gtest.h>

#include "platform/d3d10/shader_builder.h"
#include "platform/d3d10/software_device.h"
#include "platform/win32/com_ptr.h"

namespace platform::d3d10::testing {

// Clip-space position (with w), colour and texture coordinate.
struct Vertex {
    float x, y, z, w;
    float r, g, b, a;
    float u, v;
};

inline Vertex V(float x, float y, float z = 0.5f, float w = 1.0f, std::array<float, 4> c = {1, 1, 1, 1},
                float u = 0, float v = 0) {
    return {x, y, z, w, c[0], c[1], c[2], c[3], u, v};
}

inline std::vector<uint32_t> Assemble(const std::string& text) {
    std::vector<uint32_t> code;
    std::string error;
    EXPECT_TRUE(AssembleShader(text, code, error)) << error;
    return code;
}

constexpr const char* kPassThroughVs = R"(vs
input POSITION0 v0
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Position0 o0 sv_position
output COLOR0 o1
output TEXCOORD0 o2.xy
mov o0, v0
mov o1, v1
mov o2.xy, v2.xy
)";

constexpr const char* kColourPs = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
mov o0, v1
)";

constexpr const char* kTexturePs = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
sample o0, v2.xyxx, t0, s0
)";

class DeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64, kHeight = 48;

    void SetUp() override {
        liveBefore_ = LiveObjectCount();
        ASSERT_EQ(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                    device.put()),
                  S_OK);
        makeTargets(kWidth, kHeight);
        auto vs = Assemble(kPassThroughVs);
        ASSERT_EQ(device->CreateVertexShader(vs.data(), vs.size() * 4, vertexShader.put()), S_OK);
        D3D10_INPUT_ELEMENT_DESC layout[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 16, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 32, D3D10_INPUT_PER_VERTEX_DATA, 0},
        };
        ASSERT_EQ(device->CreateInputLayout(layout, 3, vs.data(), vs.size() * 4, inputLayout.put()), S_OK);
        usePixelShader(kColourPs);
        device->VSSetShader(vertexShader.get());
        device->IASetInputLayout(inputLayout.get());
        setViewport(0, 0, kWidth, kHeight);
        noCull();
    }

    void TearDown() override {
        colourTarget = nullptr;
        colourView = nullptr;
        depthView = nullptr;
        vertexShader = nullptr;
        pixelShader = nullptr;
        inputLayout = nullptr;
        rasterizer = nullptr;
        // Bound objects go with the device; the device must go with its last reference.
        if (device) {
            EXPECT_EQ(device.detach()->Release(), 0u);
        }
        EXPECT_EQ(LiveObjectCount(), liveBefore_) << "device objects leaked";
    }

    void makeTargets(UINT w, UINT h) {
        D3D10_TEXTURE2D_DESC t{w,
                               h,
                               1,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               D3D10_USAGE_DEFAULT,
                               D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE,
                               0,
                               0};
        ASSERT_EQ(device->CreateTexture2D(&t, nullptr, colourTarget.put()), S_OK);
        ASSERT_EQ(device->CreateRenderTargetView(colourTarget.get(), nullptr, colourView.put()), S_OK);
        D3D10_TEXTURE2D_DESC d = t;
        d.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
        d.BindFlags = D3D10_BIND_DEPTH_STENCIL;
        ComPtr<ID3D10Texture2D> depth;
        ASSERT_EQ(device->CreateTexture2D(&d, nullptr, depth.put()), S_OK);
        ASSERT_EQ(device->CreateDepthStencilView(depth.get(), nullptr, depthView.put()), S_OK);
        ID3D10RenderTargetView* rtv = colourView.get();
        device->OMSetRenderTargets(1, &rtv, depthView.get());
        width_ = w;
        height_ = h;
        clear();
    }

    void clear(std::array<float, 4> c = {0, 0, 0, 1}) {
        device->ClearRenderTargetView(colourView.get(), c.data());
        device->ClearDepthStencilView(depthView.get(), D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
    }

    void usePixelShader(const char* text) {
        auto ps = Assemble(text);
        ASSERT_EQ(device->CreatePixelShader(ps.data(), ps.size() * 4, pixelShader.put()), S_OK);
        device->PSSetShader(pixelShader.get());
    }

    void setViewport(INT x, INT y, UINT w, UINT h, float minDepth = 0.0f, float maxDepth = 1.0f) {
        D3D10_VIEWPORT vp{x, y, w, h, minDepth, maxDepth};
        device->RSSetViewports(1, &vp);
    }

    void noCull() {
        D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
        ASSERT_EQ(device->CreateRasterizerState(&r, rasterizer.put()), S_OK);
        device->RSSetState(rasterizer.get());
    }

    // Blend state that adds the source to the destination (for counting coverage).
    ComPtr<ID3D10BlendState> additive() {
        D3D10_BLEND_DESC b{};
        b.BlendEnable[0] = TRUE;
        b.SrcBlend = b.DestBlend = b.SrcBlendAlpha = b.DestBlendAlpha = D3D10_BLEND_ONE;
        b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
        b.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_ALL;
        ComPtr<ID3D10BlendState> s;
        EXPECT_EQ(device->CreateBlendState(&b, s.put()), S_OK);
        return s;
    }

    void draw(const std::vector<Vertex>& vertices, D3D10_PRIMITIVE_TOPOLOGY topology) {
        D3D10_BUFFER_DESC d{UINT(vertices.size() * sizeof(Vertex)), D3D10_USAGE_DEFAULT,
                            D3D10_BIND_VERTEX_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA init{vertices.data(), 0, 0};
        ComPtr<ID3D10Buffer> vb;
        ASSERT_EQ(device->CreateBuffer(&d, &init, vb.put()), S_OK);
        ID3D10Buffer* b = vb.get();
        UINT stride = sizeof(Vertex), offset = 0;
        device->IASetVertexBuffers(0, 1, &b, &stride, &offset);
        device->IASetPrimitiveTopology(topology);
        device->Draw(UINT(vertices.size()), 0);
    }

    // The render target as RGBA texels (byte 0 = red), row by row.
    std::vector<uint32_t> readBack(ID3D10Texture2D* texture = nullptr) {
        if (!texture) texture = colourTarget.get();
        D3D10_TEXTURE2D_DESC d;
        texture->GetDesc(&d);
        d.Usage = D3D10_USAGE_STAGING;
        d.BindFlags = 0;
        d.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        ComPtr<ID3D10Texture2D> staging;
        EXPECT_EQ(device->CreateTexture2D(&d, nullptr, staging.put()), S_OK);
        device->CopyResource(staging.get(), texture);
        D3D10_MAPPED_TEXTURE2D m{};
        EXPECT_EQ(staging->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
        std::vector<uint32_t> out(size_t(d.Width) * d.Height);
        for (UINT y = 0; y < d.Height; ++y)
            std::memcpy(&out[size_t(y) * d.Width], static_cast<uint8_t*>(m.pData) + size_t(y) * m.RowPitch,
                        d.Width * 4);
        staging->Unmap(0);
        return out;
    }

    static uint8_t red(uint32_t t) { return uint8_t(t); }
    static uint8_t green(uint32_t t) { return uint8_t(t >> 8); }
    static uint8_t blue(uint32_t t) { return uint8_t(t >> 16); }
    static uint8_t alpha(uint32_t t) { return uint8_t(t >> 24); }

    ComPtr<ID3D10Device> device;
    ComPtr<ID3D10Texture2D> colourTarget;
    ComPtr<ID3D10RenderTargetView> colourView;
    ComPtr<ID3D10DepthStencilView> depthView;
    ComPtr<ID3D10VertexShader> vertexShader;
    ComPtr<ID3D10PixelShader> pixelShader;
    ComPtr<ID3D10InputLayout> inputLayout;
    ComPtr<ID3D10RasterizerState> rasterizer;
    UINT width_ = 0, height_ = 0;

private:
    long liveBefore_ = 0;
};

} // namespace platform::d3d10::testing
