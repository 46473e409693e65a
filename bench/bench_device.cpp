// One frame of the engine's typical load on the software Direct3D 10 device: upload a 1440 x 1440
// picture into a 2048 x 2048 dynamic texture, clear a 1280 x 720 target and its depth-stencil, draw an
// 8256-vertex triangle strip (32 bands of 129 columns, the shape of the engine's panorama mesh) that
// covers the target, sampling bilinearly through a colour-conversion pixel program, then copy to
// staging and read back as packed 24-bit pixels. Prints the median frame time with one thread and
// with two; the last line is "frame_ms=<median, two threads> fps=<frames per second>".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <d3d10.h>

#include "platform/d3d10/shader_builder.h"
#include "platform/d3d10/software_device.h"
#include "platform/win32/com_ptr.h"

using platform::ComPtr;

namespace {

constexpr UINT kPicture = 1440, kTexture = 2048, kOutW = 1280, kOutH = 720;
constexpr int kBands = 32, kColumns = 129;

const char* kVertexProgram = R"(vs
input POSITION0 v0.xyz
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Position0 o0 sv_position
output COLOR0 o1
output TEXCOORD0 o2.xy
mov o0.xyz, v0.xyzx
mov o0.w, l(1)
mov o1, v1
mov o2.xy, v2.xyxx
)";

// Packed colour to YCbCr and back with brightness, saturation and contrast (cb0[0] = contrast,
// brightness, saturation, inversed flag; cb0[1].x = alpha), channel order chosen by the flag.
const char* kPixelProgram = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
sample r0, v2.xyxx, t0, s0
dp3 r1.x, r0.xyzx, l(0.299, 0.587, 0.114, 0)
dp3 r1.y, r0.xyzx, l(-0.169, -0.332, 0.5, 0)
dp3 r1.z, r0.xyzx, l(0.5, -0.419, -0.081, 0)
mul r1.x, r1.x, cb0[0].y
mul r1.yz, r1.yyzy, cb0[0].zzzz
mad r2.x, r1.z, l(1.402), r1.x
mad r2.y, r1.y, l(-0.344), r1.x
mad r2.y, r1.z, l(-0.714), r2.y
mad r2.z, r1.y, l(1.772), r1.x
add r2.xyz, r2.xyzx, l(-0.5)
mad r2.xyz, r2.xyzx, cb0[0].xxxx, l(0.5)
movc r3.xyz, cb0[0].wwww, r2.xyzx, r2.zyxz
mul o0.xyz, r3.xyzx, v1.xyzx
mul o0.w, v1.w, cb0[1].x
)";

struct Vertex {
    float x, y, z, r, g, b, a, u, v;
};

std::vector<Vertex> mesh() {
    std::vector<Vertex> v;
    float U = float(kPicture - 1) / kTexture, V = float(kPicture - 1) / kTexture;
    float dy = 2.0f / kBands;
    bool forward = true;
    for (int band = 0; band < kBands; ++band) {
        float y = -1.0f + band * dy;
        for (int c = 0; c < kColumns; ++c) {
            float s = float(forward ? c : kColumns - 1 - c) / (kColumns - 1);
            float x = 1.0f - 2.0f * s;
            // A gentle warp so that the sampling is not a plain scale.
            float u = U * (0.5f + 0.45f * (1 - s - 0.5f) * 2 * (0.8f + 0.2f * std::cos(3.0f * y)));
            v.push_back({x, y, 0.5f, 1, 1, 1, 1, u, V * (1 - (y + 1) / 2)});
            v.push_back({x, y + dy, 0.5f, 1, 1, 1, 1, u, V * (1 - (y + dy + 1) / 2)});
        }
        forward = !forward;
    }
    return v;
}

std::vector<uint32_t> assemble(const char* text) {
    std::vector<uint32_t> code;
    std::string error;
    if (!platform::d3d10::AssembleShader(text, code, error)) {
        std::fprintf(stderr, "bench_device: %s\n", error.c_str());
        std::exit(1);
    }
    return code;
}

#define CHECK(x)                                                                                             \
    do {                                                                                                     \
        HRESULT hr_ = (x);                                                                                   \
        if (FAILED(hr_)) {                                                                                   \
            std::fprintf(stderr, "bench_device: %s failed: 0x%08X\n", #x, unsigned(hr_));                    \
            std::exit(1);                                                                                    \
        }                                                                                                    \
    } while (0)

class Frame {
public:
    Frame() {
        CHECK(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                device_.put()));
        D3D10_TEXTURE2D_DESC t{kTexture,
                               kTexture,
                               1,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               D3D10_USAGE_DYNAMIC,
                               D3D10_BIND_SHADER_RESOURCE,
                               D3D10_CPU_ACCESS_WRITE,
                               0};
        CHECK(device_->CreateTexture2D(&t, nullptr, input_.put()));
        CHECK(device_->CreateShaderResourceView(input_.get(), nullptr, inputView_.put()));
        D3D10_TEXTURE2D_DESC o{kOutW,
                               kOutH,
                               1,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               D3D10_USAGE_DEFAULT,
                               D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE,
                               0,
                               0};
        CHECK(device_->CreateTexture2D(&o, nullptr, out_.put()));
        CHECK(device_->CreateRenderTargetView(out_.get(), nullptr, rtv_.put()));
        D3D10_TEXTURE2D_DESC d = o;
        d.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
        d.BindFlags = D3D10_BIND_DEPTH_STENCIL;
        ComPtr<ID3D10Texture2D> depth;
        CHECK(device_->CreateTexture2D(&d, nullptr, depth.put()));
        CHECK(device_->CreateDepthStencilView(depth.get(), nullptr, dsv_.put()));

        auto vs = assemble(kVertexProgram), ps = assemble(kPixelProgram);
        CHECK(device_->CreateVertexShader(vs.data(), vs.size() * 4, vs_.put()));
        CHECK(device_->CreatePixelShader(ps.data(), ps.size() * 4, ps_.put()));
        D3D10_INPUT_ELEMENT_DESC layout[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 28, D3D10_INPUT_PER_VERTEX_DATA, 0}};
        CHECK(device_->CreateInputLayout(layout, 3, vs.data(), vs.size() * 4, layout_.put()));
        auto vertices = mesh();
        D3D10_BUFFER_DESC vb{UINT(vertices.size() * sizeof(Vertex)), D3D10_USAGE_DEFAULT,
                             D3D10_BIND_VERTEX_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA init{vertices.data(), 0, 0};
        CHECK(device_->CreateBuffer(&vb, &init, vertices_.put()));
        float constants[8] = {1, 1, 1, 0, 1, 0, 0, 0};
        std::memcpy(&constants[3], "\xff\xff\xff\xff", 4); // inversed: keep the texture's order
        D3D10_BUFFER_DESC cb{sizeof constants, D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA cinit{constants, 0, 0};
        CHECK(device_->CreateBuffer(&cb, &cinit, constants_.put()));
        D3D10_SAMPLER_DESC s{D3D10_FILTER_MIN_MAG_MIP_LINEAR,
                             D3D10_TEXTURE_ADDRESS_CLAMP,
                             D3D10_TEXTURE_ADDRESS_CLAMP,
                             D3D10_TEXTURE_ADDRESS_CLAMP,
                             0,
                             1,
                             D3D10_COMPARISON_NEVER,
                             {0, 0, 0, 0},
                             0,
                             D3D10_FLOAT32_MAX};
        CHECK(device_->CreateSamplerState(&s, sampler_.put()));
        // The engine's states: no culling, source-alpha blending, the stencil-tested depth state.
        D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_NONE, TRUE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
        CHECK(device_->CreateRasterizerState(&r, rasterizer_.put()));
        D3D10_BLEND_DESC b{};
        b.BlendEnable[0] = TRUE;
        b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
        b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
        b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
        b.SrcBlendAlpha = D3D10_BLEND_ONE;
        b.DestBlendAlpha = D3D10_BLEND_ZERO;
        b.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_ALL;
        CHECK(device_->CreateBlendState(&b, blend_.put()));
        D3D10_DEPTH_STENCIL_DESC ds{
            TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL, TRUE, 0xFF, 0xFF, {}, {}};
        ds.FrontFace = ds.BackFace = {D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                                      D3D10_COMPARISON_GREATER};
        CHECK(device_->CreateDepthStencilState(&ds, depthState_.put()));
        D3D10_TEXTURE2D_DESC st = o;
        st.Usage = D3D10_USAGE_STAGING;
        st.BindFlags = 0;
        st.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        CHECK(device_->CreateTexture2D(&st, nullptr, staging_.put()));

        picture_.resize(size_t(kPicture) * kPicture * 4);
        for (UINT y = 0; y < kPicture; ++y)
            for (UINT x = 0; x < kPicture; ++x) {
                uint8_t* p = &picture_[(size_t(y) * kPicture + x) * 4];
                p[0] = uint8_t(x * 255 / kPicture), p[1] = uint8_t(y * 255 / kPicture),
                p[2] = uint8_t((x ^ y) & 0xFF);
                p[3] = 255;
            }
        output_.resize(size_t(kOutW) * kOutH * 3);
    }

    void setThreads(unsigned n) { platform::d3d10::SetDeviceThreads(device_.get(), n); }

    void run() {
        D3D10_MAPPED_TEXTURE2D m;
        CHECK(input_->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &m));
        for (UINT y = 0; y < kPicture; ++y)
            std::memcpy(static_cast<uint8_t*>(m.pData) + size_t(y) * m.RowPitch,
                        &picture_[size_t(y) * kPicture * 4], kPicture * 4);
        input_->Unmap(0);

        const float black[4] = {0, 0, 0, 1};
        device_->ClearRenderTargetView(rtv_.get(), black);
        device_->ClearDepthStencilView(dsv_.get(), D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
        ID3D10RenderTargetView* rtv = rtv_.get();
        device_->OMSetRenderTargets(1, &rtv, dsv_.get());
        D3D10_VIEWPORT vp{0, 0, kOutW, kOutH, 0, 1};
        device_->RSSetViewports(1, &vp);
        device_->RSSetState(rasterizer_.get());
        const float zero[4] = {0, 0, 0, 0};
        device_->OMSetBlendState(blend_.get(), zero, 0xFFFFFFFF);
        device_->OMSetDepthStencilState(depthState_.get(), 1);
        device_->IASetInputLayout(layout_.get());
        ID3D10Buffer* vb = vertices_.get();
        UINT stride = sizeof(Vertex), offset = 0;
        device_->IASetVertexBuffers(0, 1, &vb, &stride, &offset);
        device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        device_->VSSetShader(vs_.get());
        device_->PSSetShader(ps_.get());
        ID3D10Buffer* cb = constants_.get();
        device_->VSSetConstantBuffers(0, 1, &cb);
        device_->PSSetConstantBuffers(0, 1, &cb);
        ID3D10ShaderResourceView* srv = inputView_.get();
        device_->PSSetShaderResources(0, 1, &srv);
        ID3D10SamplerState* s = sampler_.get();
        device_->PSSetSamplers(0, 1, &s);
        device_->Draw(kBands * kColumns * 2, 0);

        device_->CopyResource(staging_.get(), out_.get());
        CHECK(staging_->Map(0, D3D10_MAP_READ, 0, &m));
        uint8_t* dst = output_.data();
        for (UINT y = 0; y < kOutH; ++y) {
            const uint8_t* src = static_cast<const uint8_t*>(m.pData) + size_t(y) * m.RowPitch;
            for (UINT x = 0; x < kOutW; ++x, src += 4, dst += 3)
                dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
        }
        staging_->Unmap(0);
    }

    // A checksum of the output, so that the work cannot be optimised away and runs can be compared.
    uint64_t checksum() const {
        uint64_t h = 1469598103934665603ull;
        for (uint8_t b : output_) h = (h ^ b) * 1099511628211ull;
        return h;
    }

private:
    ComPtr<ID3D10Device> device_;
    ComPtr<ID3D10Texture2D> input_, out_, staging_;
    ComPtr<ID3D10ShaderResourceView> inputView_;
    ComPtr<ID3D10RenderTargetView> rtv_;
    ComPtr<ID3D10DepthStencilView> dsv_;
    ComPtr<ID3D10VertexShader> vs_;
    ComPtr<ID3D10PixelShader> ps_;
    ComPtr<ID3D10InputLayout> layout_;
    ComPtr<ID3D10Buffer> vertices_, constants_;
    ComPtr<ID3D10SamplerState> sampler_;
    ComPtr<ID3D10RasterizerState> rasterizer_;
    ComPtr<ID3D10BlendState> blend_;
    ComPtr<ID3D10DepthStencilState> depthState_;
    std::vector<uint8_t> picture_, output_;
};

double medianFrameMs(Frame& frame, int frames) {
    frame.run(); // the first frame rasterises; the timed ones replay coverage as the engine's frames do
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
        auto start = std::chrono::steady_clock::now();
        frame.run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    Frame frame;
    frame.setThreads(1);
    double one = medianFrameMs(frame, frames);
    uint64_t sumOne = frame.checksum();
    std::printf("threads=1 frame_ms=%.2f fps=%.1f\n", one, 1000.0 / one);
    frame.setThreads(2);
    double two = medianFrameMs(frame, frames);
    std::printf("threads=2 frame_ms=%.2f fps=%.1f\n", two, 1000.0 / two);
    if (frame.checksum() != sumOne) {
        std::fprintf(stderr, "bench_device: one and two threads drew different frames\n");
        return 1;
    }
    std::printf("frame_ms=%.2f fps=%.1f\n", two, 1000.0 / two);
    return 0;
}
