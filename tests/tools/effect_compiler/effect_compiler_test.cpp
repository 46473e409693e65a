// The effect compiler on small sources: the HLSL it accepts (run on the VM's lanes), constant-buffer
// packing, signatures, and errors that name the line.
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/build_paths.h"
#include "tests/platform/d3d10/effect_shader_runner.h"
#include "tools/effect_compiler/compile_error.h"
#include "tools/effect_compiler/effect_compiler.h"

namespace unfold::fxc {
namespace {

using platform::d3d10::EffectLayout;
using platform::d3d10::testing::Float4;
using platform::d3d10::testing::ShaderRunner;
namespace isa = platform::d3d10::isa;

const char* kTechnique = R"(
float4 VS(float4 p : POSITION) : SV_Position { return p; }
technique10 T
{
    pass P
    {
        SetVertexShader(CompileShader(vs_4_0, VS()));
        SetGeometryShader(NULL);
        SetPixelShader(CompileShader(ps_4_0, PS()));
    }
}
)";

// `globals` at file scope, then "float4 PS(float4 v : TEXCOORD) : SV_Target { body }".
std::string pixelSource(const std::string& globals, const std::string& body) {
    return globals + "\nfloat4 PS(float4 pos : SV_Position, float4 v : TEXCOORD) : SV_Target\n{\n" + body +
           "\n}\n" + kTechnique;
}

const std::vector<uint32_t>& pixelShader(const EffectLayout& e) {
    return e.shaders.at(e.techniques.at(0).passes.at(0).pixelShader).bytecode;
}

// Compiles and runs the pixel shader, lane i with v = inputs[i]; returns the outputs.
std::vector<Float4> runPixel(const std::string& globals, const std::string& body,
                             const std::vector<Float4>& inputs, const std::vector<uint8_t>& constants = {}) {
    EffectLayout e = CompileEffect(pixelSource(globals, body));
    ShaderRunner runner(pixelShader(e));
    if (!constants.empty()) runner.constants(0, constants);
    for (size_t i = 0; i < inputs.size(); ++i) runner.input("TEXCOORD", static_cast<int>(i), inputs[i]);
    runner.run(static_cast<int>(inputs.size()));
    std::vector<Float4> out;
    for (size_t i = 0; i < inputs.size(); ++i) out.push_back(runner.output("SV_Target", static_cast<int>(i)));
    return out;
}

Float4 runPixel1(const std::string& globals, const std::string& body, const Float4& v) {
    return runPixel(globals, body, {v}).at(0);
}

TEST(EffectCompiler, SwizzlesMasksConstructorsAndArithmetic) {
    Float4 r = runPixel1("", R"(
        float4 a = v.wzyx * 2 + 1;
        a.xz = v.yy;
        float3 b = float3(a.w, v.xy) - 0.5f;
        float2 c = (float2)v.z;
        return float4(b.x + c.y, a.y / 4, -a.z, b.z * c.x);
    )",
                         {1, 2, 3, 4});
    // a = (9, 7, 5, 3) -> (2, 7, 2, 3); b = (2.5, 0.5, 1.5); c = (3, 3)
    EXPECT_EQ(r, (Float4{5.5f, 1.75f, -2, 4.5f}));
}

TEST(EffectCompiler, FunctionsWithOutParametersAndStaticTablesAreInlined) {
    Float4 r = runPixel1(R"(
        static const float k[3] = {1, 2, 4};
        void twice(inout float x) { x = x * 2; }
        float sumTo(int n, out float last)
        {
            float s = 0;
            for (int i = 0; i < n; i++) { s += k[i]; last = k[i]; }
            return s;
        }
        float sumTo(int n) { float ignored; return sumTo(n, ignored); }
    )",
                         R"(
        float last;
        float s = sumTo(3, last);
        float y = v.x;
        twice(y);
        return float4(s, last, y, sumTo(2));
    )",
                         {1.5f, 0, 0, 0});
    EXPECT_EQ(r, (Float4{7, 4, 3, 3}));
}

TEST(EffectCompiler, LoopsUnrollWithConstantBreakAndContinue) {
    Float4 r = runPixel1("", R"(
        float s = 0;
        int n = 0;
        [unroll] for (int i = 0; i < 100; ++i)
        {
            if (i == 7) break;
            if (i % 2 == 1) continue;
            s += i * v.x;
            n++;
        }
        return float4(s, n, 0, 0);
    )",
                         {0.5f, 0, 0, 0});
    EXPECT_EQ(r, (Float4{6, 4, 0, 0})); // (0 + 2 + 4 + 6) * 0.5
}

TEST(EffectCompiler, RunTimeIfIsFlattenedPerLane) {
    auto out = runPixel("", R"(
        float r = 0;
        float4 m = v;
        if (v.x > 0.5)
        {
            r = v.y;
            m.w = 9;
        }
        else if (v.x > 0.25)
            r = 2 * v.y;
        else
            r = -v.y;
        bool both = v.x > 0.5 && v.y < 0.5;
        return float4(r, both ? 1 : 0, m.w, !both);
    )",
                        {{0.8f, 0.25f, 0, 1}, {0.3f, 0.25f, 0, 1}, {0.1f, 0.75f, 0, 1}, {0.9f, 0.75f, 0, 1}});
    EXPECT_EQ(out[0], (Float4{0.25f, 1, 9, 0}));
    EXPECT_EQ(out[1], (Float4{0.5f, 0, 1, 1}));
    EXPECT_EQ(out[2], (Float4{-0.75f, 0, 1, 1}));
    EXPECT_EQ(out[3], (Float4{0.75f, 0, 9, 1}));
}

TEST(EffectCompiler, IntegerAndBooleanOperations) {
    Float4 r = runPixel1("", R"(
        int i = int(v.x * 8);          // 6
        int j = i * 3 + 1 - (i & 4);   // 15
        int k = -j;
        bool big = j >= 15 && k < -14;
        return float4(j, k, big, float(i) / 4);
    )",
                         {0.75f, 0, 0, 0});
    EXPECT_EQ(r, (Float4{15, -15, 1, 1.5f}));
}

TEST(EffectCompiler, IntrinsicsMatchTheirDefinitions) {
    Float4 v{0.3f, -1.25f, 2.5f, 0.64f};
    auto one = [&](const std::string& expr) { return runPixel1("", "return " + expr + ";", v); };
    EXPECT_EQ(one("float4(saturate(v.y), saturate(v.z), saturate(v.x), 0)"), (Float4{0, 1, 0.3f, 0}));
    EXPECT_EQ(one("float4(min(v.x, v.y), max(v.x, v.y), clamp(v.z, 0, 1), abs(v.y))"),
              (Float4{-1.25f, 0.3f, 1, 1.25f}));
    Float4 l = one("float4(lerp(v.x, v.z, v.w), dot(v.xyz, v.zyx), sqrt(v.w), floor(v.y))");
    EXPECT_NEAR(l[0], 0.3f + 0.64f * (2.5f - 0.3f), 1e-6f);
    EXPECT_NEAR(l[1], 0.3f * 2.5f + 1.5625f + 2.5f * 0.3f, 1e-6f);
    EXPECT_NEAR(l[2], 0.8f, 1e-6f);
    EXPECT_EQ(l[3], -2.0f);
    Float4 n = one("float4(normalize(float2(3, 4)), length(float3(2, 3, 6)), frac(v.z))");
    EXPECT_NEAR(n[0], 0.6f, 1e-6f);
    EXPECT_NEAR(n[1], 0.8f, 1e-6f);
    EXPECT_NEAR(n[2], 7.0f, 1e-5f);
    EXPECT_EQ(n[3], 0.5f);
    Float4 p = one("float4(pow(v.w, 0.5), exp2(3), step(0.5, v.w), round(v.z))");
    EXPECT_NEAR(p[0], 0.8f, 1e-5f);
    EXPECT_NEAR(p[1], 8.0f, 1e-5f);
    EXPECT_EQ(p[2], 1.0f);
    EXPECT_EQ(p[3], 2.0f); // round to nearest even
}

TEST(EffectCompiler, MatricesMultiplyInBothOrdersWithEitherPacking) {
    // Two uniforms with the same values, packed column by column and row by row.
    const char* globals = "float4x4 C; row_major float4x4 R;";
    const float m[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::vector<uint8_t> cb(128);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            std::memcpy(cb.data() + 16 * c + 4 * r, &m[4 * r + c], 4);
            std::memcpy(cb.data() + 64 + 16 * r + 4 * c, &m[4 * r + c], 4);
        }
    Float4 v{1, -1, 2, 0.5f};
    Float4 rowTimes{}, timesColumn{};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 4; ++k) {
            rowTimes[c] += v[k] * m[4 * k + c];
            timesColumn[c] += m[4 * c + k] * v[k];
        }
    for (const char* expr : {"mul(v, C)", "mul(v, R)", "mul(transpose(C), v)", "mul(transpose(R), v)"})
        EXPECT_EQ(runPixel(globals, std::string("return ") + expr + ";", {v}, cb)[0], rowTimes) << expr;
    for (const char* expr : {"mul(C, v)", "mul(R, v)", "mul(v, transpose(R))"})
        EXPECT_EQ(runPixel(globals, std::string("return ") + expr + ";", {v}, cb)[0], timesColumn) << expr;
    // A local matrix: rows from the constructor, indexing a row, matrix times matrix.
    Float4 r = runPixel(globals, R"(
        float2x2 a = float2x2(1, 2, 3, 4);
        float2x2 b = mul(a, a);
        return float4(a[1], b[0][1], b[1].x);
    )",
                        {v}, cb)[0];
    EXPECT_EQ(r, (Float4{3, 4, 10, 15}));
}

TEST(EffectCompiler, ConstantBuffersArePackedByHlslRules) {
    EffectLayout e = CompileEffect(
        pixelSource(R"(
        float3 a;
        float b;
        float2 c;
        float3 d;
        float e[2];
        float f;
        row_major float2x3 g;
        float h = 2.5;
        float3x2 i;
        cbuffer Second : register(b2)
        {
            float4 x : SEMANTIC_X;
            int y;
        }
    )",
                    "return a.xyzz + b + c.xyxy + d.xyzz + e[1] + f + g[0].x + h + i[0].x + x + y;"));
    ASSERT_EQ(e.buffers.size(), 2u);
    struct Expected {
        const char* name;
        uint32_t offset, size;
    } expected[] = {{"a", 0, 12},  {"b", 12, 4},  {"c", 16, 8},   {"d", 32, 12}, {"e", 48, 20}, {"f", 68, 4},
                    {"g", 80, 28}, {"h", 108, 4}, {"i", 112, 28}, {"x", 0, 16},  {"y", 16, 4}};
    ASSERT_EQ(e.variables.size(), 11u);
    for (size_t k = 0; k < 11; ++k) {
        EXPECT_EQ(e.variables[k].name, expected[k].name);
        EXPECT_EQ(e.variables[k].offset, expected[k].offset) << expected[k].name;
        EXPECT_EQ(e.variables[k].size, expected[k].size) << expected[k].name;
    }
    EXPECT_EQ(e.variables[6].varClass, D3D10_SVC_MATRIX_ROWS);
    EXPECT_EQ(e.variables[8].varClass, D3D10_SVC_MATRIX_COLUMNS);
    EXPECT_EQ(e.variables[9].semantic, "SEMANTIC_X");
    EXPECT_EQ(e.buffers[0].size, 144u);
    EXPECT_EQ(e.buffers[1].name, "Second");
    EXPECT_EQ(e.buffers[1].size, 32u);
    EXPECT_EQ(e.buffers[1].explicitSlot, 2u);
    // Default values are the buffer's initial contents.
    ASSERT_EQ(e.buffers[0].initialData.size(), 144u);
    float h;
    std::memcpy(&h, e.buffers[0].initialData.data() + 108, 4);
    EXPECT_EQ(h, 2.5f);
    // The pixel shader reads both buffers, at their slots.
    const auto& bindings = e.shaders.at(e.techniques[0].passes[0].pixelShader).bindings;
    ASSERT_EQ(bindings.size(), 2u);
    EXPECT_EQ(bindings[0].slot, 0u);
    EXPECT_EQ(bindings[1].slot, 2u);
}

TEST(EffectCompiler, UniformParametersTakeTheirValueFromCompileShader) {
    std::string source = R"(
        float4 PS(uniform bool red, uniform float level) : SV_Target
        {
            return red ? float4(level, 0, 0, 1) : float4(0, level, 0, 1);
        }
        float4 VS(float3 p : POSITION, float2 t : TEXCOORD1, out float2 o : TEXCOORD1) : SV_Position
        {
            o = t;
            return float4(p, 1);
        }
        technique10 T
        {
            pass A { SetVertexShader(CompileShader(vs_4_0, VS())); SetPixelShader(CompileShader(ps_4_0, PS(true, 0.5))); }
            pass B { SetVertexShader(CompileShader(vs_4_0, VS())); SetPixelShader(CompileShader(ps_4_0, PS(false, 0.25))); }
        }
    )";
    EffectLayout e = CompileEffect(source);
    ShaderRunner a(e.shaders.at(e.techniques[0].passes[0].pixelShader).bytecode);
    a.run(1);
    EXPECT_EQ(a.output("SV_Target"), (Float4{0.5f, 0, 0, 1}));
    ShaderRunner b(e.shaders.at(e.techniques[0].passes[1].pixelShader).bytecode);
    b.run(1);
    EXPECT_EQ(b.output("SV_Target"), (Float4{0, 0.25f, 0, 1}));
    // The vertex signature: masks by component count, semantic indices, the position system value.
    ShaderRunner vs(e.shaders.at(e.techniques[0].passes[0].vertexShader).bytecode);
    const auto& in = vs.program().inputs;
    ASSERT_EQ(in.size(), 2u);
    EXPECT_STREQ(in[0].semanticName, "POSITION");
    EXPECT_EQ(in[0].mask, 0x7u);
    EXPECT_STREQ(in[1].semanticName, "TEXCOORD");
    EXPECT_EQ(in[1].semanticIndex, 1u);
    EXPECT_EQ(in[1].mask, 0x3u);
    const auto* position = vs.program().findOutput(isa::SystemValue::Position);
    ASSERT_NE(position, nullptr);
    vs.input("POSITION", {1, 2, 3, 0});
    vs.input("TEXCOORD1", {0.25f, 0.75f, 0, 0});
    vs.run(1);
    EXPECT_EQ(vs.output("SV_Position"), (Float4{1, 2, 3, 1}));
    EXPECT_EQ(vs.output("TEXCOORD1")[1], 0.75f);
}

TEST(EffectCompiler, ObjectMacrosAndCommentsAreHandled) {
    Float4 r = runPixel1("#define SCALE 3\n#define TWICE (2 * SCALE)\n/* a\n block */",
                         "return v * TWICE; // six", {1, 0, 0, 0});
    EXPECT_EQ(r[0], 6.0f);
}

struct ErrorCase {
    std::string source;
    int line;
    const char* message;
};

TEST(EffectCompiler, ErrorsNameTheFileAndLine) {
    const std::string end = kTechnique;
    std::vector<ErrorCase> cases = {
        {"float4 PS() : SV_Target\n{\n    return foo;\n}\n" + end, 3, "undeclared identifier 'foo'"},
        {"float4 PS(float4 v : TEXCOORD) : SV_Target\n{\n    float s = 0;\n    for (int i = 0; i < int(v.x); "
         "i++)\n"
         "        s += 1;\n    return s;\n}\n" +
             end,
         4, "known at compile time"},
        {"float4 PS(float4 v : TEXCOORD) : SV_Target\n{\n    if (v.x > 0)\n        return 1;\n    return "
         "0;\n}\n" +
             end,
         3, "not supported"},
        {"float g;\nfloat4 PS() : SV_Target\n{\n    g = 1;\n    return g;\n}\n" + end, 4,
         "cannot assign to global"},
        {"float4 PS() : SV_Target\n{\n    return float3(1, 2);\n}\n" + end, 3, "needs 3 components"},
        {"float4 PS(float4 v : TEXCOORD) : SV_Target\n{\n    return v.xq;\n}\n" + end, 3, "invalid swizzle"},
        {"float4 PS(float4 v) : SV_Target\n{\n    return v;\n}\n" + end, 1, "has no semantic"},
        {"float4 PS() : SV_Target\n{\n    return frobnicate(1);\n}\n" + end, 3, "unknown function"},
        {"float4 PS() : SV_Target\n{\n    float a[2] = {1, 2};\n    return a[2];\n}\n" + end, 4,
         "out of bounds"},
        {"float4 PS() : SV_Target\n{\n    return 1 @ 2;\n}\n" + end, 3, "unexpected character"},
        {"float4 PS() : SV_Target\n{\n    return 1;\n}\n#include \"x.fxh\"\n" + end, 5,
         "unsupported preprocessor"},
        {"float4 PS() : SV_Target { return 1; }\nfloat4 VS() : SV_Position { return 0; }\ntechnique10 T\n{\n"
         "    pass P { SetPixelShader(CompileShader(vs_4_0, PS())); }\n}\n",
         5, "needs profile ps_4_0"},
        {"float4 PS() : SV_Target { return 1; }\nfloat4 VS() : COLOR { return 0; }\ntechnique10 T\n{\n"
         "    pass P { SetVertexShader(CompileShader(vs_4_0, VS())); }\n}\n",
         2, "writes no SV_Position"},
        {"float4 PS() : SV_Target { return 1; }\ntechnique10 T\n{\n    pass P\n    {\n"
         "        SetGeometryShader(CompileShader(gs_4_0, PS()));\n    }\n}\n",
         6, "geometry shaders are not supported"},
        {"float4 PS() : SV_Target\n{\n    return 1;\n\n" + end, 6, "expected"},
        {"struct S { float a; };\nfloat4 PS() : SV_Target\n{\n    S s;\n    return s.b;\n}\n" + end, 5,
         "no member 'b'"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_FALSE(CompileEffectSource(c.source, "shader.fx", out, error)) << c.source;
        std::string where = "shader.fx:" + std::to_string(c.line) + ": error: ";
        EXPECT_EQ(error.rfind(where, 0), 0u) << error << "\n--- for ---\n" << c.source;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(EffectCompiler, DamagedSourceGivesAnErrorWithALine) {
    std::ifstream in(std::string(kSourceDir) + "/resources/unfold.fx");
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    std::mt19937 random(7);
    for (size_t cut = 0; cut < source.size(); cut += 1 + random() % 60) {
        for (int variant = 0; variant < 2; ++variant) {
            // A truncation, or the same point with a stray character in it.
            std::string damaged =
                variant == 0 ? source.substr(0, cut) : source.substr(0, cut) + "}" + source.substr(cut);
            std::vector<uint8_t> out;
            std::string error;
            if (!CompileEffectSource(damaged, "unfold.fx", out, error)) {
                EXPECT_EQ(error.rfind("unfold.fx:", 0), 0u) << error;
            }
        }
    }
}

TEST(EffectCompiler, TheContainerRoundTripsThroughTheReader) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(CompileEffectSource(pixelSource("float k; Texture2D t; SamplerState s { AddressU = Wrap; };",
                                                "return t.Sample(s, v.xy) * k;"),
                                    "x.fx", bytes, error))
        << error;
    EffectLayout layout;
    ASSERT_EQ(platform::d3d10::ReadEffect(bytes.data(), bytes.size(), layout, &error), S_OK) << error;
    EXPECT_EQ(platform::d3d10::WriteEffect(layout), bytes);
    ASSERT_EQ(layout.samplers.size(), 1u);
    EXPECT_EQ(layout.samplers[0].AddressU, D3D10_TEXTURE_ADDRESS_WRAP);
    EXPECT_EQ(layout.samplers[0].AddressV, D3D10_TEXTURE_ADDRESS_CLAMP);
}

} // namespace
} // namespace unfold::fxc
