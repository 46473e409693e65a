// Frames are shaded by specialised routines, the first one of a coverage while it keeps each pixel's
// inputs, the later ones from those; the interpreter is the reference. All, with AVX2 kernels and with
// the portable ones, must give the same bytes, and a replay must never reuse a routine or coverage that
// a state change made stale.
#include <array>
#include <bit>
#include <cmath>
#include <random>

#include "platform/d3d10/shader_program.h"
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

constexpr UINT kW = 96, kH = 64;

// The engine's kind of pixel program: sample, colour conversion with gains from a constant buffer, the
// channel order chosen by an integer flag, times the vertex colour.
constexpr const char* kColourPs = R"(ps
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
ine r3.x, cb0[0].w, l(0)
movc r3.xyz, r3.xxxx, r2.xyzx, r2.zyxz
mul o0.xyz, r3.xyzx, v1.xyzx
mul o0.w, v1.w, cb0[1].x
)";

// The same with a second sample at a computed coordinate, which no footprint can cache.
constexpr const char* kOffsetPs = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
sample r0, v2.xyxx, t0, s0
add r1.xy, v2.xyxx, l(0.013, -0.021, 0, 0)
sample r1, r1.xyxx, t0, s0
add r0, r0, r1
mul o0, r0, l(0.5)
)";

// Products, negations and sums with one reader and with two, read as either operand of an add, and
// chains of multiply-adds and multiply-subtracts: a replay may fuse only what has one reader into the
// step that reads it.
constexpr const char* kFusionPs = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
sample r0, v2.xyxx, t0, s0
mul r1, r0, v1
add r2, r1, l(0.25, 0.5, -0.125, 1)
mov r3, -r0
add r4, r2, r3
mul r5, r3, r1
mul r6, r0, l(0.5, 0.5, 0.5, 0.5)
add r6, r6, -r4
add r7, r4, -r6
mul r8, r7, v2.yxyx
add r8, r5, r8
mul r9, r8, l(3, -2, 0.75, 1.5)
add r9, r7, -r9
add r10, r9, r0
add r10, r10, r6
add r11, r8, r9
add r11, r0, r11
add r12, r11, r4
add r12, r12, r11
mul r13, r0, l(0.3, 0.6, 0.1, 0.2)
mul r14, r1, v2.xyxy
add r13, r13, -r14
mul r14, r5, l(0.5, -0.25, 2, 1)
add r13, r13, -r14
mul r14, r0.yzxw, v1
mad r14, r6, l(0.125, 3, -1, 0.5), r14
mad r14, r2, r7, r14
mul r15, r0.zxyw, r2
add r15, r15, -r13
mad r15, r8, l(0.5, 0.25, 4, -2), r15
add r10, r10, r13
add r12, r12, r14
add r10, r10, r15
add o0, r10, r12
)";

// A 3 x 3 convolution as the engine's filtered pass compiles: each tap samples at the interpolated
// coordinate moved by whole texels (1 / the size in cb0[2].xy), weighted by cb0[3..5]; the taps of a
// row or column share a coordinate. The last tap's alpha is read, the others' is not.
std::string filterProgram() {
    std::string p = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
itof r0.xy, cb0[2].xyxx
div r0.xy, l(1, 1, 0, 0), r0.xyxx
)";
    for (int k = 0; k < 9; ++k) {
        const std::string weight = "cb0[" + std::to_string(3 + k / 4) + "]." + "xyzw"[k % 4];
        p += "mad r1.xy, r0.xyxx, l(" + std::to_string(k % 3 - 1) + ", " + std::to_string(k / 3 - 1) +
             ", 0, 0), v2.xyxx\n";
        p += "sample r2, r1.xyxx, t0, s0\n";
        p += k == 0 ? "mul r3.xyz, r2.xyzx, " + weight + "\n"
                    : "mad r3.xyz, r2.xyzx, " + weight + ", r3.xyzx\n";
    }
    return p + "mul o0.xyz, r3.xyzx, v1.xyzx\nmul o0.w, r2.w, v1.w\n";
}

// Steps that repeat earlier ones: the same sum into two registers, a sample at it twice and once with
// its coordinates exchanged (one value along x for one sample and along y for the other), a product
// written both to a register and to the output.
constexpr const char* kRepeatedPs = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
add r0.xy, v2.xyxx, l(0.03, -0.02, 0, 0)
add r1.xy, v2.xyxx, l(0.03, -0.02, 0, 0)
sample r2, r0.xyxx, t0, s0
sample r3, r1.yxxx, t0, s0
sample r4, r1.xyxx, t0, s0
mul r5, r2, v1
mul o0.xy, r2.xyxx, v1.xyxx
add r6, r4, r3
mad o0.zw, r6.zzzw, r5.zzzw, r4.zzzw
)";

// A sample at a computed coordinate whose alpha only the second operand of a multiply-add reads, and
// that multiply-add adds to a product read by nothing else: the two fuse into a product chain, whose
// link operand the alpha becomes, and the alpha must still be fetched.
constexpr const char* kAlphaInAChainPs = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
add r0.xy, v2.xyxx, l(0.021, -0.017, 0, 0)
sample r1, r0.xyxx, t0, s0
mul r2.x, v1.x, v2.y
mad r3.x, v1.y, r1.w, r2.x
mul o0.xyz, r1.xyzx, v1.xyzx
mov o0.w, r3.x
)";

struct FrameState {
    D3D10_VIEWPORT viewport{0, 0, kW, kH, 0.0f, 1.0f};
    UINT stencilRef = 1;
    UINT textureSize = 64;
    std::string pixelProgram = kColourPs;
    bool blend = true;
    float alpha = 1.0f;
    DXGI_FORMAT target = DXGI_FORMAT_R8G8B8A8_UNORM;
    // cb0: contrast, brightness, saturation, flag (all bits set); alpha; the filter's texture size (two
    // integers); its nine weights
    std::array<uint32_t, 24> constants = {std::bit_cast<uint32_t>(1.1f),
                                          std::bit_cast<uint32_t>(0.95f),
                                          std::bit_cast<uint32_t>(1.2f),
                                          0xFFFFFFFFu,
                                          std::bit_cast<uint32_t>(1.0f),
                                          0,
                                          0,
                                          0,
                                          64,
                                          33};
    // The filter's weights: a sharpen kernel of the given amount, or with `blur` a Gaussian one.
    void setFilter(float amount, bool blur) {
        float w[9];
        if (blur) {
            const float q = 2.0f * amount * amount, e = std::exp(-2.0f / q), f = std::exp(-1.0f / q);
            const float sum = 4.0f * e + 4.0f * f + 1.0f;
            for (int k = 0; k < 9; ++k) w[k] = (k == 4 ? 1.0f : k % 2 ? f : e) / sum;
        } else {
            for (float& k : w) k = -amount / 9.0f;
            w[4] = 8.0f * amount / 9.0f + 1.0f;
        }
        for (int k = 0; k < 9; ++k) constants[12 + k] = std::bit_cast<uint32_t>(w[k]);
    }
};

FrameState filtered(float amount, bool blur) {
    FrameState s;
    s.pixelProgram = filterProgram();
    s.setFilter(amount, blur);
    return s;
}

// A device drawing the engine's kind of frame: clear, a stencil mask, a warped triangle strip tested
// against it, read back through staging. State objects are made for each frame's state. A reference rig
// shades new coverage with the interpreter; the others with the routines, as the device does by default.
class Rig {
public:
    explicit Rig(bool avx2, bool reference = false, unsigned threads = 2) {
        EXPECT_EQ(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                    device_.put()),
                  S_OK);
        SetDeviceThreads(device_.get(), threads);
        usingAvx2 = SetDeviceAvx2(device_.get(), avx2);
        SetDeviceInterpretsNewCoverage(device_.get(), reference);
        auto vs = Assemble(kPassThroughVs);
        EXPECT_EQ(device_->CreateVertexShader(vs.data(), vs.size() * 4, vs_.put()), S_OK);
        D3D10_INPUT_ELEMENT_DESC layout[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 16, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 32, D3D10_INPUT_PER_VERTEX_DATA, 0},
        };
        EXPECT_EQ(device_->CreateInputLayout(layout, 3, vs.data(), vs.size() * 4, layout_.put()), S_OK);
        D3D10_DEPTH_STENCIL_DESC write{
            TRUE, D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_NEVER, TRUE, 0xFF, 0xFF, {}, {}};
        write.FrontFace = write.BackFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_REPLACE,
                                            D3D10_STENCIL_OP_REPLACE, D3D10_COMPARISON_ALWAYS};
        D3D10_DEPTH_STENCIL_DESC test{
            TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL, TRUE, 0xFF, 0xFF, {}, {}};
        test.FrontFace = test.BackFace = {D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP,
                                          D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_GREATER};
        EXPECT_EQ(device_->CreateDepthStencilState(&write, maskWrite_.put()), S_OK);
        EXPECT_EQ(device_->CreateDepthStencilState(&test, maskTest_.put()), S_OK);
        D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
        EXPECT_EQ(device_->CreateRasterizerState(&r, rasterizer_.put()), S_OK);
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
        EXPECT_EQ(device_->CreateSamplerState(&s, sampler_.put()), S_OK);
        D3D10_BUFFER_DESC cb{sizeof constantValues_, D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA init{constantValues_.data(), 0, 0};
        EXPECT_EQ(device_->CreateBuffer(&cb, &init, constants_.put()), S_OK);
        mesh_ = warpedStrip();
    }
    ~Rig() { device_->ClearState(); }

    std::vector<uint8_t> frame(const FrameState& s) {
        prepare(s);
        ID3D10RenderTargetView* rtv = rtv_.get();
        device_->OMSetRenderTargets(1, &rtv, dsv_.get());
        const float black[4] = {0, 0, 0, 1};
        device_->ClearRenderTargetView(rtv_.get(), black);
        device_->ClearDepthStencilView(dsv_.get(), D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
        device_->RSSetViewports(1, &s.viewport);
        device_->RSSetState(rasterizer_.get());
        device_->VSSetShader(vs_.get());
        device_->PSSetShader(ps_.get());
        device_->IASetInputLayout(layout_.get());
        ID3D10ShaderResourceView* srv = srv_.get();
        device_->PSSetShaderResources(0, 1, &srv);
        ID3D10SamplerState* sampler = sampler_.get();
        device_->PSSetSamplers(0, 1, &sampler);
        ID3D10Buffer* cb = constants_.get();
        device_->PSSetConstantBuffers(0, 1, &cb);
        const float zero[4] = {0, 0, 0, 0};
        device_->OMSetBlendState(s.blend ? blend_.get() : nullptr, zero, 0xFFFFFFFF);

        device_->OMSetDepthStencilState(maskWrite_.get(), s.stencilRef);
        draw({V(-1, -1), V(-1, 1), V(-0.6f, -1), V(-0.4f, 1)});
        device_->OMSetDepthStencilState(maskTest_.get(), s.stencilRef);
        std::vector<Vertex> mesh = mesh_;
        for (Vertex& v : mesh) v.a = s.alpha;
        draw(mesh);

        device_->CopyResource(staging_.get(), target_.get());
        D3D10_MAPPED_TEXTURE2D m{};
        EXPECT_EQ(staging_->Map(0, D3D10_MAP_READ, 0, &m), S_OK);
        const size_t row = kW * (s.target == DXGI_FORMAT_R8G8B8A8_UNORM ? 4 : 16);
        std::vector<uint8_t> out(row * kH);
        for (UINT y = 0; y < kH; ++y)
            std::memcpy(out.data() + y * row, static_cast<const uint8_t*>(m.pData) + y * m.RowPitch, row);
        staging_->Unmap(0);
        return out;
    }

    ID3D10Device* device() { return device_.get(); }
    bool usingAvx2 = false;

private:
    static std::vector<Vertex> warpedStrip() {
        std::vector<Vertex> v;
        const int bands = 6, columns = 17;
        for (int b = 0; b < bands; ++b) {
            float y0 = -1.0f + 2.0f * b / bands, y1 = y0 + 2.0f / bands;
            for (int c = 0; c < columns; ++c) {
                int k = b % 2 ? columns - 1 - c : c;
                float x = -1.0f + 2.0f * k / (columns - 1);
                float w = 1.0f + 0.3f * x * x; // perspective: attributes interpolate in 1 / w
                auto vertex = [&](float y) {
                    float u = 0.5f + 0.45f * x * std::cos(1.3f * y), t = 0.5f + 0.47f * y * (0.8f + 0.2f * x);
                    return Vertex{x * w, y * w, 0.5f * w, w, 1, 0.9f, 0.8f, 1, u, t};
                };
                v.push_back(vertex(y0));
                v.push_back(vertex(y1));
            }
        }
        return v;
    }

    void draw(const std::vector<Vertex>& vertices) {
        D3D10_BUFFER_DESC d{UINT(vertices.size() * sizeof(Vertex)), D3D10_USAGE_DEFAULT,
                            D3D10_BIND_VERTEX_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA init{vertices.data(), 0, 0};
        ComPtr<ID3D10Buffer> vb;
        ASSERT_EQ(device_->CreateBuffer(&d, &init, vb.put()), S_OK);
        ID3D10Buffer* b = vb.get();
        UINT stride = sizeof(Vertex), offset = 0;
        device_->IASetVertexBuffers(0, 1, &b, &stride, &offset);
        device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        device_->Draw(UINT(vertices.size()), 0);
    }

    void prepare(const FrameState& s) {
        if (s.target != targetFormat_ || !target_) {
            targetFormat_ = s.target;
            D3D10_TEXTURE2D_DESC t{
                kW, kH, 1, 1, s.target, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_RENDER_TARGET, 0, 0};
            ASSERT_EQ(device_->CreateTexture2D(&t, nullptr, target_.put()), S_OK);
            ASSERT_EQ(device_->CreateRenderTargetView(target_.get(), nullptr, rtv_.put()), S_OK);
            t.Usage = D3D10_USAGE_STAGING;
            t.BindFlags = 0;
            t.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
            ASSERT_EQ(device_->CreateTexture2D(&t, nullptr, staging_.put()), S_OK);
            t.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
            t.Usage = D3D10_USAGE_DEFAULT;
            t.BindFlags = D3D10_BIND_DEPTH_STENCIL;
            t.CPUAccessFlags = 0;
            ComPtr<ID3D10Texture2D> depth;
            ASSERT_EQ(device_->CreateTexture2D(&t, nullptr, depth.put()), S_OK);
            ASSERT_EQ(device_->CreateDepthStencilView(depth.get(), nullptr, dsv_.put()), S_OK);
        }
        if (s.textureSize != textureSize_) {
            textureSize_ = s.textureSize;
            // Not square, so that a mix-up of the two directions shows.
            const UINT n = s.textureSize, h = n / 2 + 1;
            std::vector<uint32_t> texels(size_t(n) * h);
            std::mt19937 random(n);
            for (uint32_t& t : texels) t = random();
            D3D10_TEXTURE2D_DESC t{n,
                                   h,
                                   1,
                                   1,
                                   DXGI_FORMAT_R8G8B8A8_UNORM,
                                   {1, 0},
                                   D3D10_USAGE_DEFAULT,
                                   D3D10_BIND_SHADER_RESOURCE,
                                   0,
                                   0};
            D3D10_SUBRESOURCE_DATA init{texels.data(), n * 4, 0};
            ComPtr<ID3D10Texture2D> texture;
            ASSERT_EQ(device_->CreateTexture2D(&t, &init, texture.put()), S_OK);
            ASSERT_EQ(device_->CreateShaderResourceView(texture.get(), nullptr, srv_.put()), S_OK);
        }
        if (s.pixelProgram != program_) {
            program_ = s.pixelProgram;
            auto ps = Assemble(s.pixelProgram);
            ASSERT_EQ(device_->CreatePixelShader(ps.data(), ps.size() * 4, ps_.put()), S_OK);
        }
        if (s.constants != constantValues_) {
            constantValues_ = s.constants;
            device_->UpdateSubresource(constants_.get(), 0, nullptr, constantValues_.data(), 0, 0);
        }
        if (!blend_) {
            D3D10_BLEND_DESC b{};
            b.BlendEnable[0] = TRUE;
            b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
            b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
            b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
            b.SrcBlendAlpha = D3D10_BLEND_ONE;
            b.DestBlendAlpha = D3D10_BLEND_ZERO;
            b.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_ALL;
            ASSERT_EQ(device_->CreateBlendState(&b, blend_.put()), S_OK);
        }
    }

    ComPtr<ID3D10Device> device_;
    ComPtr<ID3D10VertexShader> vs_;
    ComPtr<ID3D10PixelShader> ps_;
    ComPtr<ID3D10InputLayout> layout_;
    ComPtr<ID3D10DepthStencilState> maskWrite_, maskTest_;
    ComPtr<ID3D10RasterizerState> rasterizer_;
    ComPtr<ID3D10SamplerState> sampler_;
    ComPtr<ID3D10BlendState> blend_;
    ComPtr<ID3D10Buffer> constants_;
    std::array<uint32_t, 24> constantValues_ = FrameState{}.constants;
    ComPtr<ID3D10Texture2D> target_, staging_;
    ComPtr<ID3D10RenderTargetView> rtv_;
    ComPtr<ID3D10DepthStencilView> dsv_;
    ComPtr<ID3D10ShaderResourceView> srv_;
    std::vector<Vertex> mesh_;
    std::string program_;
    UINT textureSize_ = 0;
    DXGI_FORMAT targetFormat_ = DXGI_FORMAT_UNKNOWN;
};

// Float targets compare bit for bit, except that every NaN is one NaN: which payload an operation on
// two NaNs keeps is not defined.
std::vector<uint8_t> canonicalNaNs(std::vector<uint8_t> bytes, DXGI_FORMAT format) {
    if (format != DXGI_FORMAT_R32G32B32A32_FLOAT) return bytes;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        float f;
        std::memcpy(&f, &bytes[i], 4);
        if (std::isnan(f)) std::memcpy(&bytes[i], "\x00\x00\xc0\x7f", 4);
    }
    return bytes;
}

// The interpreter's frame, and the routines' first and replayed frames on both instruction sets: one
// picture.
void expectOnePicture(const FrameState& s, const std::string& what, unsigned threads = 2) {
    Rig reference(false, true, threads), portable(false, false, threads), avx2(true, false, threads);
    auto first = canonicalNaNs(reference.frame(s), s.target);
    for (Rig* rig : {&portable, &avx2}) {
        for (int frame = 0; frame < 3; ++frame)
            ASSERT_EQ(canonicalNaNs(rig->frame(s), s.target), first)
                << what << ": frame " << frame << (rig == &avx2 ? " (AVX2)" : " (portable)");
    }
    ASSERT_GE(GetCoverageCacheStats(avx2.device()).hits, 4u) << "the later frames were not replayed";
}

TEST(PixelRoutine, RoutineFramesMatchTheInterpreter) {
    FrameState s;
    expectOnePicture(s, "colour program, blended");
    s.blend = false;
    expectOnePicture(s, "colour program, unblended");
    s.alpha = 0.6f;
    s.blend = true;
    expectOnePicture(s, "colour program, translucent");
    // Gains of exactly 1 and the other channel order: what a replay folds away.
    s = FrameState{};
    s.constants[1] = s.constants[2] = std::bit_cast<uint32_t>(1.0f);
    s.constants[3] = 0;
    expectOnePicture(s, "colour program, unit gains");
    s = FrameState{};
    s.pixelProgram = kOffsetPs;
    expectOnePicture(s, "sample at a computed coordinate");
    s.textureSize = 1;
    expectOnePicture(s, "one-texel texture");
    s = FrameState{};
    s.pixelProgram = kFusionPs;
    s.blend = false;
    s.target = DXGI_FORMAT_R32G32B32A32_FLOAT;
    expectOnePicture(s, "fused multiply-adds and negations");
    s = FrameState{};
    s.pixelProgram = kRepeatedPs;
    s.blend = false;
    s.target = DXGI_FORMAT_R32G32B32A32_FLOAT;
    expectOnePicture(s, "repeated steps");
    s.pixelProgram = kAlphaInAChainPs;
    expectOnePicture(s, "alpha read in a product chain");
}

// The taps of a 3 x 3 filter share their coordinates along rows and columns: sharpen and blur, clamped
// at the texture's edges, on a one-texel texture, and into a float target where every bit shows.
TEST(PixelRoutine, FilterTapsGiveThePictureOfTheInterpreter) {
    FrameState s = filtered(0.6f, false);
    expectOnePicture(s, "sharpen");
    s.setFilter(1.5f, true);
    expectOnePicture(s, "blur");
    s.target = DXGI_FORMAT_R32G32B32A32_FLOAT;
    s.blend = false;
    expectOnePicture(s, "blur into a float target");
    s = filtered(2.0f, false);
    s.textureSize = 1;
    s.constants[8] = s.constants[9] = 1;
    expectOnePicture(s, "one-texel texture");
}

TEST(PixelRoutine, ProcessorHasBothPaths) {
    Rig avx2(true);
    if (!avx2.usingAvx2) GTEST_SKIP() << "no AVX2 on this processor: only the portable path runs";
    SUCCEED();
}

// A random pixel program over every operation of the instruction set, on registers seeded from the
// interpolated inputs, a texture sample and special values (NaN and an infinity among them). Unless
// `seeded`, r4 starts unwritten, so what a program reads before writing it is covered too; seeded
// programs write every register first, which lets a replay rename all of them.
std::string randomProgram(std::mt19937& random, bool seeded) {
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const char* comps = "xyzw";
    auto swizzle = [&] {
        std::string s = ".";
        for (int i = 0; i < 4; ++i) s += comps[pick(4)];
        return s;
    };
    const char* literals[] = {"l(0.5, -1.25, 3, 0)", "l(0, -0, 1e30, -1e-30)", "l(2, 0.333, -7, 65536)",
                              "l(1, 1, 1, 1)", "l(-0.5, 0.75, 255, 0.001)"};
    auto source = [&]() -> std::string {
        int kind = pick(10);
        std::string s = kind < 6   ? "r" + std::to_string(pick(5)) + swizzle()
                        : kind < 8 ? std::string(literals[pick(5)]) + swizzle()
                        : kind < 9 ? "v" + std::to_string(1 + pick(2)) + ".xyxy"
                                   : "cb0[" + std::to_string(pick(2)) + "]" + swizzle();
        int mod = pick(8);
        if (mod == 0) s = "-" + s;
        if (mod == 1) s = "|" + s + "|";
        return s;
    };
    std::string p = R"(ps
input SV_Position0 v0 sv_position
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Target0 o0 sv_target
sample r0, v2.xyxx, t0, s0
mov r1, v1
add r2, v2.xyxy, l(0.25, -0.5, 1, 2)
mul r3.xy, v0.xyxx, l(0.01, 0.02, 0.5, 1)
div r3.zw, l(0, 0, 0, -1), l(0, 0, 0, 0)
)";
    if (seeded) p += "mul r4, v1.wzyx, l(-3, 0.5, 2, 1)\n";
    for (int i = 0; i < 24; ++i) {
        auto op = isa::Opcode(pick(int(isa::Opcode::Sample) + 1));
        std::string dst = "r" + std::to_string(pick(5));
        std::string mask = std::string(".") + "xyzw"[pick(4)];
        if (pick(2)) mask = "";
        if (op == isa::Opcode::Sample) {
            p += "sample " + dst + mask + ", r" + std::to_string(pick(4)) + ".xyxx, t0, s0\n";
            continue;
        }
        std::string line = std::string(OpcodeName(op)) + (pick(6) == 0 ? "_sat " : " ") + dst + mask;
        for (unsigned k = 1; k < isa::OperandCount(op); ++k) line += ", " + source();
        p += line + "\n";
    }
    p += "mov o0, r" + std::to_string(pick(4)) + "\n";
    return p;
}

TEST(PixelRoutine, RandomProgramsGiveThePictureOfTheInterpreter) {
    std::mt19937 random(20240611);
    for (int i = 0; i < 40; ++i) {
        FrameState s;
        s.pixelProgram = randomProgram(random, i % 2 == 1);
        s.blend = false;
        s.target = i % 3 ? DXGI_FORMAT_R32G32B32A32_FLOAT : DXGI_FORMAT_R8G8B8A8_UNORM;
        expectOnePicture(s, s.pixelProgram);
        // On one thread the draw's 6144 pixels are one band of two shading chunks: a value a program
        // reads before writing carries across the chunk boundary as the interpreter carries it.
        if (i % 4 == 0) expectOnePicture(s, s.pixelProgram + " (one thread)", 1);
        if (HasFatalFailure()) return;
    }
}

// Replays across a change of one piece of state, then frames of the new state: each equals the frame a
// fresh device draws in that state.
TEST(PixelRoutine, NoStaleRoutineOrCoverageAfterAStateChange) {
    struct Change {
        const char* what;
        void (*apply)(FrameState&);
        FrameState before = FrameState{};
    };
    const Change changes[] = {
        {"viewport", [](FrameState& s) { s.viewport = {7, -5, kW - 10, kH + 3, 0.0f, 1.0f}; }},
        {"stencil reference", [](FrameState& s) { s.stencilRef = 0; }},
        {"texture size", [](FrameState& s) { s.textureSize = 32; }},
        {"pixel program", [](FrameState& s) { s.pixelProgram = kOffsetPs; }},
        {"blend state", [](FrameState& s) { s.blend = false, s.alpha = 0.5f; }},
        {"vertex alpha", [](FrameState& s) { s.alpha = 0.25f; }},
        {"constants",
         [](FrameState& s) {
             s.constants[1] = std::bit_cast<uint32_t>(1.0f);
             s.constants[3] = 0;
         }},
        {"filter weights", [](FrameState& s) { s.setFilter(1.2f, true); }, filtered(0.5f, false)},
        {"filter texel size", [](FrameState& s) { s.constants[8] = 17, s.constants[9] = 100; },
         filtered(0.5f, false)},
        {"texture size under the filter", [](FrameState& s) { s.textureSize = 32; }, filtered(0.5f, false)},
        // Taps 32 texels apart: further than a band keeps a window's axes.
        {"filter taps far apart", [](FrameState& s) { s.constants[8] = 3; }, filtered(0.5f, false)},
        {"viewport under the filter", [](FrameState& s) { s.viewport = {-9, 4, kW + 6, kH - 8, 0.0f, 1.0f}; },
         filtered(0.5f, false)},
    };
    for (bool avx2 : {false, true}) {
        for (const Change& c : changes) {
            FrameState before = c.before, after = c.before;
            c.apply(after);
            Rig rig(avx2), reference(avx2, true);
            for (int i = 0; i < 3; ++i) rig.frame(before);
            auto expected = reference.frame(after);
            EXPECT_EQ(rig.frame(after), expected) << c.what << " (first frame after the change)";
            EXPECT_EQ(rig.frame(after), expected) << c.what << " (replayed)";
            EXPECT_EQ(rig.frame(before), Rig(avx2, true).frame(before)) << c.what << " (changed back)";
        }
    }
}

} // namespace
} // namespace platform::d3d10::testing
