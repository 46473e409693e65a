// The effect of resources/unfold.fx, compiled by the effect compiler and run on the VM's lanes: the
// per-pass colour mathematics, the vertex stage, and its interface (names, packing, passes).
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/build_paths.h"
#include "tests/platform/d3d10/effect_reference.h"
#include "tests/platform/d3d10/effect_shader_runner.h"
#include "tools/effect_compiler/effect_compiler.h"

namespace unfold::fxc {
namespace {

using platform::d3d10::EffectLayout;
using platform::d3d10::EffectVariableInfo;
using platform::d3d10::kNone;
using platform::d3d10::SampledTexture;
using platform::d3d10::testing::blur;
using platform::d3d10::testing::contrastStep;
using platform::d3d10::testing::Float4;
using platform::d3d10::testing::packedReference;
using platform::d3d10::testing::planarReference;
using platform::d3d10::testing::Settings;
using platform::d3d10::testing::ShaderRunner;
using platform::d3d10::testing::sharpen;

std::string readSource() {
    std::ifstream in(std::string(kSourceDir) + "/resources/unfold.fx");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const EffectLayout& effect() {
    static const EffectLayout layout = CompileEffect(readSource());
    return layout;
}

const EffectVariableInfo& variable(const std::string& name) {
    for (const auto& v : effect().variables)
        if (v.name == name) return v;
    ADD_FAILURE() << "no variable " << name;
    static EffectVariableInfo none;
    return none;
}

// The $Globals bytes for the settings, at the offsets the compiler gave the variables.
std::vector<uint8_t> globals(const Settings& s, const float* rowMajorMatrix = nullptr) {
    std::vector<uint8_t> bytes(effect().buffers.at(0).size, 0);
    auto put = [&](const char* name, uint32_t extra, const void* v) {
        std::memcpy(bytes.data() + variable(name).offset + extra, v, 4);
    };
    put("contrast", 0, &s.contrast);
    put("brightness", 0, &s.brightness);
    put("saturation", 0, &s.saturation);
    put("alpha", 0, &s.alpha);
    for (int i = 0; i < 9; ++i) put("filter", 16 * i, &s.kernel[i]);
    put("texWidth", 0, &s.texWidth);
    put("texHeight", 0, &s.texHeight);
    uint32_t b = s.inversed ? 1 : 0;
    put("inversed", 0, &b);
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float* m = rowMajorMatrix ? rowMajorMatrix : identity;
    // Column-major packing: register c holds column c.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) put("matWVP", 16 * c + 4 * r, &m[4 * r + c]);
    return bytes;
}

constexpr int kSize = 4;
float unorm(uint8_t v) {
    return static_cast<float>(v) / 255.0f;
}
Float4 texelCentre(int x, int y) {
    return {(x + 0.5f) / kSize, (y + 0.5f) / kSize, 0, 0};
}

// Three 4x4 planes (Y, Cb, Cr) and one packed 4x4 picture with distinct texels.
struct Pictures {
    uint8_t y[kSize * kSize], cb[kSize * kSize], cr[kSize * kSize];
    uint8_t packed[kSize * kSize * 4];
    Pictures() {
        for (int i = 0; i < kSize * kSize; ++i) {
            y[i] = static_cast<uint8_t>(16 + 13 * i);
            cb[i] = static_cast<uint8_t>(200 - 9 * i);
            cr[i] = static_cast<uint8_t>((77 * i + 40) % 256);
            packed[4 * i + 0] = static_cast<uint8_t>(10 + 15 * i);
            packed[4 * i + 1] = static_cast<uint8_t>(250 - 11 * i);
            packed[4 * i + 2] = static_cast<uint8_t>((53 * i + 7) % 256);
            packed[4 * i + 3] = 255;
        }
    }
    static SampledTexture plane(const uint8_t* data) {
        return {data, kSize, kSize, kSize, DXGI_FORMAT_R8_UNORM};
    }
    SampledTexture packedTexture() const {
        return {packed, kSize, kSize, kSize * 4, DXGI_FORMAT_R8G8B8A8_UNORM};
    }
    float Y(int x, int y0) const { return unorm(y[clamp(y0) * kSize + clamp(x)]); }
    float Cb(int x, int y0) const { return unorm(cb[clamp(y0) * kSize + clamp(x)]); }
    float Cr(int x, int y0) const { return unorm(cr[clamp(y0) * kSize + clamp(x)]); }
    float P(int x, int y0, int c) const { return unorm(packed[(clamp(y0) * kSize + clamp(x)) * 4 + c]); }
    static int clamp(int v) { return v < 0 ? 0 : v >= kSize ? kSize - 1 : v; }
};

class UnfoldEffectTest : public ::testing::Test {
protected:
    // Runs the pixel shader of pass `pass` on one lane per texel of the 4x4 pictures.
    std::vector<Float4> runPass(int pass, const Settings& s, const Float4& colour = {1, 1, 1, 1},
                                const SampledTexture* planes = nullptr) {
        const auto& info = effect().techniques.at(0).passes.at(pass);
        ShaderRunner runner(effect().shaders.at(info.pixelShader).bytecode);
        runner.constants(0, globals(s));
        runner.texture(0, planes     ? planes[0]
                          : pass < 2 ? Pictures::plane(pictures.y)
                                     : pictures.packedTexture());
        runner.texture(1, planes ? planes[1] : Pictures::plane(pictures.cb));
        runner.texture(2, planes ? planes[2] : Pictures::plane(pictures.cr));
        runner.sampler(0, effect().samplers.at(0));
        runner.input("COLOR", colour);
        runner.input("SV_POSITION", {0.5f, 0.5f, 0.5f, 1});
        for (int lane = 0; lane < kSize * kSize; ++lane)
            runner.input("TEXCOORD", lane, texelCentre(lane % kSize, lane / kSize));
        runner.run(kSize * kSize);
        std::vector<Float4> out;
        for (int lane = 0; lane < kSize * kSize; ++lane) out.push_back(runner.output("SV_Target", lane));
        return out;
    }

    static void expectNear(const Float4& got, const Float4& want, float tolerance, const std::string& where) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(got[c], want[c], tolerance) << where << " channel " << c;
    }

    // The references with the 3x3 convolution: sums of weighted samples, edges clamped.
    Float4 planarConvolved(int x, int y, const Settings& s, const Float4& col) const {
        float sy = 0, scr = 0, scb = 0;
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) {
                float w = s.kernel[3 * j + i];
                sy += w * pictures.Y(x + i - 1, y + j - 1);
                scr += w * (pictures.Cr(x + i - 1, y + j - 1) - 0.5f);
                scb += w * (pictures.Cb(x + i - 1, y + j - 1) - 0.5f);
            }
        return planarReference(sy * s.brightness, scb * s.saturation, scr * s.saturation, col, s);
    }
    Float4 packedConvolved(int x, int y, const Settings& s, const Float4& col) const {
        float p[3] = {0, 0, 0};
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                for (int c = 0; c < 3; ++c) p[c] += s.kernel[3 * j + i] * pictures.P(x + i - 1, y + j - 1, c);
        return packedReference(p[0], p[1], p[2], col, s);
    }

    Pictures pictures;
};

TEST_F(UnfoldEffectTest, InterfaceHasTheVariablesInOrderWithHlslPacking) {
    const EffectLayout& e = effect();
    ASSERT_EQ(e.buffers.size(), 1u);
    EXPECT_EQ(e.buffers[0].name, "$Globals");
    EXPECT_EQ(e.buffers[0].size, 240u);
    struct Expected {
        const char* name;
        const char* type;
        uint32_t offset, size, elements;
        D3D10_SHADER_VARIABLE_CLASS cls;
    } expected[] = {{"matWVP", "float4x4", 0, 64, 0, D3D10_SVC_MATRIX_COLUMNS},
                    {"contrast", "float", 64, 4, 0, D3D10_SVC_SCALAR},
                    {"brightness", "float", 68, 4, 0, D3D10_SVC_SCALAR},
                    {"saturation", "float", 72, 4, 0, D3D10_SVC_SCALAR},
                    {"filter", "float", 80, 132, 9, D3D10_SVC_SCALAR},
                    {"alpha", "float", 212, 4, 0, D3D10_SVC_SCALAR},
                    {"texWidth", "int", 216, 4, 0, D3D10_SVC_SCALAR},
                    {"texHeight", "int", 220, 4, 0, D3D10_SVC_SCALAR},
                    {"inversed", "bool", 224, 4, 0, D3D10_SVC_SCALAR}};
    ASSERT_EQ(e.buffers[0].variableCount, 9u);
    for (size_t i = 0; i < 9; ++i) {
        const auto& v = e.variables[i];
        EXPECT_EQ(v.name, expected[i].name);
        EXPECT_EQ(v.typeName, expected[i].type) << v.name;
        EXPECT_EQ(v.offset, expected[i].offset) << v.name;
        EXPECT_EQ(v.size, expected[i].size) << v.name;
        EXPECT_EQ(v.elements, expected[i].elements) << v.name;
        EXPECT_EQ(v.varClass, expected[i].cls) << v.name;
    }
    EXPECT_EQ(platform::d3d10::EffectElementStride(D3D10_SVC_SCALAR, 1, 1), 16u); // filter: one register each
    const char* objects[] = {"tex0", "tex1", "tex2", "inputSampler"};
    ASSERT_EQ(e.variables.size(), 13u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.variables[9 + i].name, objects[i]);
    EXPECT_EQ(e.variables[9].varType, D3D10_SVT_TEXTURE2D);
    EXPECT_EQ(e.variables[12].varType, D3D10_SVT_SAMPLER);
    ASSERT_EQ(e.samplers.size(), 1u);
    EXPECT_EQ(e.samplers[0].Filter, D3D10_FILTER_MIN_MAG_MIP_LINEAR);
    EXPECT_EQ(e.samplers[0].AddressU, D3D10_TEXTURE_ADDRESS_CLAMP);
    EXPECT_EQ(e.samplers[0].AddressV, D3D10_TEXTURE_ADDRESS_CLAMP);
}

TEST_F(UnfoldEffectTest, TechniqueHasFivePassesEachWithAVertexAndPixelShader) {
    const EffectLayout& e = effect();
    ASSERT_EQ(e.techniques.size(), 1u);
    EXPECT_EQ(e.techniques[0].name, "MyShader");
    ASSERT_EQ(e.techniques[0].passes.size(), 5u);
    EXPECT_EQ(e.shaders.size(), 10u);
    // Which texture slots each pixel shader reads; every shader but pass 4's reads $Globals.
    std::vector<std::vector<uint32_t>> textures = {{0, 1, 2}, {0, 1, 2}, {0}, {0}, {}};
    for (int p = 0; p < 5; ++p) {
        const auto& pass = e.techniques[0].passes[p];
        EXPECT_EQ(pass.name, "P" + std::to_string(p));
        ASSERT_NE(pass.vertexShader, kNone);
        ASSERT_NE(pass.pixelShader, kNone);
        EXPECT_EQ(pass.geometryShader, kNone);
        EXPECT_EQ(e.shaders[pass.vertexShader].bytecode,
                  e.shaders[e.techniques[0].passes[0].vertexShader].bytecode)
            << "all vertex shaders are the same program";
        std::vector<uint32_t> slots;
        bool readsGlobals = false, readsSampler = false;
        for (const auto& b : e.shaders[pass.pixelShader].bindings) {
            if (b.kind == platform::d3d10::BindingKind::Texture) slots.push_back(b.slot);
            if (b.kind == platform::d3d10::BindingKind::ConstantBuffer) readsGlobals = b.slot == 0;
            if (b.kind == platform::d3d10::BindingKind::Sampler) readsSampler = b.slot == 0;
        }
        EXPECT_EQ(slots, textures[p]) << pass.name;
        EXPECT_EQ(readsGlobals, p != 4) << pass.name;
        EXPECT_EQ(readsSampler, p != 4) << pass.name;
        ASSERT_EQ(e.shaders[pass.vertexShader].bindings.size(), 1u);
        EXPECT_EQ(e.shaders[pass.vertexShader].bindings[0].slot, 0u);
    }
}

TEST_F(UnfoldEffectTest, VertexStageMultipliesTheRowVectorByTheMatrix) {
    const auto& pass = effect().techniques[0].passes[0];
    const float m[16] = {0.5f, 1, -2, 0.25f, 3, -1, 0.75f, 2, 1.5f, 4, -0.5f, 1, 7, -3, 0.125f, 2};
    ShaderRunner runner(effect().shaders[pass.vertexShader].bytecode);
    Settings s;
    runner.constants(0, globals(s, m));
    runner.input("POSITION", {0.25f, -2.0f, 3.0f, 99});
    runner.input("COLOR", {0.1f, 0.2f, 0.3f, 0.4f});
    runner.input("TEXCOORD", {0.6f, 0.7f, 0, 0});
    runner.run();
    float p[4] = {0.25f, -2.0f, 3.0f, 1.0f};
    Float4 want{};
    for (int c = 0; c < 4; ++c) want[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + p[3] * m[12 + c];
    Float4 got = runner.output("SV_POSITION");
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got[c], want[c], 1e-5f) << c;
    EXPECT_EQ(runner.output("COLOR"), (Float4{0.1f, 0.2f, 0.3f, 0.4f}));
    Float4 uv = runner.output("TEXCOORD");
    EXPECT_EQ(uv[0], 0.6f);
    EXPECT_EQ(uv[1], 0.7f);

    // A translation sits in the fourth row: (0, 0, 0) goes to (1, 2, 3).
    const float t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    runner.constants(0, globals(s, t));
    runner.input("POSITION", {0, 0, 0, 0});
    runner.run();
    EXPECT_EQ(runner.output("SV_POSITION"), (Float4{1, 2, 3, 1}));
}

TEST_F(UnfoldEffectTest, PlanarPassFollowsTheConversionInBothChannelOrders) {
    const Float4 colour{0.9f, 0.8f, 0.7f, 0.6f};
    for (bool inversed : {false, true}) {
        Settings s;
        s.inversed = inversed;
        s.alpha = 0.7f;
        auto out = runPass(0, s, colour);
        for (int i = 0; i < kSize * kSize; ++i) {
            int x = i % kSize, y = i / kSize;
            Float4 want = planarReference(pictures.Y(x, y), pictures.Cb(x, y) - 0.5f,
                                          pictures.Cr(x, y) - 0.5f, colour, s);
            expectNear(out[i], want, 2e-6f, "P0 texel " + std::to_string(i) + (inversed ? " inversed" : ""));
        }
        // With a white vertex colour, inversed exchanges the first and third channels of the same values.
        Settings other = s;
        other.inversed = !inversed;
        auto plain = runPass(0, s), swapped = runPass(0, other);
        for (int i = 0; i < kSize * kSize; ++i) {
            EXPECT_EQ(plain[i][0], swapped[i][2]);
            EXPECT_EQ(plain[i][1], swapped[i][1]);
            EXPECT_EQ(plain[i][2], swapped[i][0]);
        }
    }
}

TEST_F(UnfoldEffectTest, MidGreyStaysMidGrey) {
    // Y = Cb = Cr = 0.5 exactly, in float planes.
    std::vector<float> half(kSize * kSize, 0.5f);
    SampledTexture plane{reinterpret_cast<const uint8_t*>(half.data()), kSize, kSize, kSize * 4,
                         DXGI_FORMAT_R32_FLOAT};
    SampledTexture planes[3] = {plane, plane, plane};
    for (int pass : {0, 1}) {
        auto out = runPass(pass, Settings{}, {1, 1, 1, 1}, planes);
        for (const Float4& c : out) EXPECT_EQ(c, (Float4{0.5f, 0.5f, 0.5f, 1})) << "pass " << pass;
    }
}

TEST_F(UnfoldEffectTest, PackedPassExchangesChannelsUnlessInversed) {
    Settings s;
    auto out = runPass(2, s);
    s.inversed = true;
    s.alpha = 0.7f;
    auto kept = runPass(2, s);
    for (int i = 0; i < kSize * kSize; ++i) {
        int x = i % kSize, y = i / kSize;
        Settings plain;
        expectNear(out[i],
                   packedReference(pictures.P(x, y, 0), pictures.P(x, y, 1), pictures.P(x, y, 2),
                                   {1, 1, 1, 1}, plain),
                   2e-6f, "P2");
        // At neutral settings the round trip through YCbCr reproduces the texture (its coefficients
        // are rounded to three places).
        EXPECT_NEAR(out[i][0], pictures.P(x, y, 2), 2e-3f);
        EXPECT_NEAR(out[i][1], pictures.P(x, y, 1), 2e-3f);
        EXPECT_NEAR(out[i][2], pictures.P(x, y, 0), 2e-3f);
        EXPECT_NEAR(kept[i][0], pictures.P(x, y, 0), 2e-3f);
        EXPECT_NEAR(kept[i][2], pictures.P(x, y, 2), 2e-3f);
        EXPECT_EQ(out[i][3], 1.0f);
        EXPECT_EQ(kept[i][3], 0.7f);
    }
}

TEST_F(UnfoldEffectTest, SaturationZeroGivesGreyInEveryColourPass) {
    Settings s;
    s.saturation = 0;
    s.brightness = 0.8f;
    s.contrast = 1.3f;
    for (int pass = 0; pass < 4; ++pass) {
        auto out = runPass(pass, s);
        for (int i = 0; i < kSize * kSize; ++i) {
            int x = i % kSize, y = i / kSize;
            float luma = pass < 2 ? pictures.Y(x, y)
                                  : 0.299f * pictures.P(x, y, 0) + 0.587f * pictures.P(x, y, 1) +
                                        0.114f * pictures.P(x, y, 2);
            float grey = contrastStep(luma * s.brightness, s.contrast);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(out[i][c], grey, 2e-6f) << "pass " << pass << " texel " << i;
        }
    }
}

TEST_F(UnfoldEffectTest, ContrastZeroGivesHalfInEveryColourChannel) {
    Settings s;
    s.contrast = 0;
    s.alpha = 0.5f;
    sharpen(s, 0.7f); // the convolution passes run a real kernel meanwhile
    for (int pass = 0; pass < 4; ++pass) {
        auto out = runPass(pass, s, {1, 1, 1, 0.8f});
        for (int i = 0; i < kSize * kSize; ++i)
            expectNear(out[i], {0.5f, 0.5f, 0.5f, 0.4f}, 1e-6f, "pass " + std::to_string(pass));
    }
}

TEST_F(UnfoldEffectTest, ConvolutionPassesApplySharpenAndBlurKernelsWithClampedEdges) {
    for (int kernel = 0; kernel < 2; ++kernel) {
        Settings s;
        s.brightness = 1.1f;
        s.saturation = 0.9f;
        if (kernel == 0)
            sharpen(s, 0.6f);
        else
            blur(s, 0.8f);
        float sum = 0;
        for (float k : s.kernel) sum += k;
        EXPECT_NEAR(sum, 1.0f, 1e-6f);
        for (bool inversed : {false, true}) {
            s.inversed = inversed;
            auto planar = runPass(1, s, {1, 0.5f, 0.25f, 1});
            auto packed = runPass(3, s, {1, 0.5f, 0.25f, 1});
            for (int i = 0; i < kSize * kSize; ++i) {
                int x = i % kSize, y = i / kSize; // edge texels sample the clamped border
                std::string where =
                    (kernel ? "blur" : "sharpen") + std::string(" texel ") + std::to_string(i);
                expectNear(planar[i], planarConvolved(x, y, s, {1, 0.5f, 0.25f, 1}), 1e-5f, "P1 " + where);
                expectNear(packed[i], packedConvolved(x, y, s, {1, 0.5f, 0.25f, 1}), 1e-5f, "P3 " + where);
            }
        }
    }
}

TEST_F(UnfoldEffectTest, IdentityKernelMakesTheConvolutionPassesMatchThePlainOnes) {
    Settings s;
    s.brightness = 1.2f;
    s.contrast = 0.7f;
    auto plain = runPass(0, s), filtered = runPass(1, s);
    auto packed = runPass(2, s), packedFiltered = runPass(3, s);
    for (int i = 0; i < kSize * kSize; ++i) {
        expectNear(filtered[i], plain[i], 1e-6f, "P1 vs P0");
        expectNear(packedFiltered[i], packed[i], 1e-6f, "P3 vs P2");
    }
}

TEST_F(UnfoldEffectTest, VertexColourPassIgnoresEveryVariable) {
    Settings s;
    s.contrast = 0;
    s.brightness = 3;
    s.saturation = 0;
    s.alpha = 0.25f;
    s.inversed = true;
    sharpen(s, 2);
    const Float4 colour{0.2f, 0.4f, 0.6f, 0.8f};
    for (const Float4& c : runPass(4, s, colour)) EXPECT_EQ(c, colour);
}

} // namespace
} // namespace unfold::fxc
