#include <bit>
#include <chrono>
#include <cmath>

#include <gtest/gtest.h>

#include "platform/d3d10/shader_builder.h"
#include "platform/d3d10/shader_program.h"
#include "platform/d3d10/shader_vm.h"

namespace platform::d3d10 {
namespace {

// Assembles a program, runs it on lanes whose v0 holds (lane, 2 * lane, -lane, 0.5) and returns the VM.
struct VmRun {
    std::shared_ptr<ExecutionPlan> plan;
    std::unique_ptr<ShaderVM> vm;
    float out(unsigned reg, unsigned c, int laneIndex) { return vm->output(reg, c)[laneIndex]; }
    uint32_t outBits(unsigned reg, unsigned c, int laneIndex) {
        return std::bit_cast<uint32_t>(out(reg, c, laneIndex));
    }
};

VmRun assembleAndRun(const std::string& text, const std::vector<float>& constants = {}) {
    std::vector<uint32_t> code;
    std::string error;
    EXPECT_TRUE(AssembleShader(text, code, error)) << error;
    ShaderProgram program;
    EXPECT_EQ(DecodeShader(code.data(), code.size() * 4, program, &error), S_OK) << error;
    VmRun r;
    r.plan = std::make_shared<ExecutionPlan>(program);
    r.vm = std::make_unique<ShaderVM>(r.plan);
    ConstantData cb[isa::kConstantBufferSlots];
    cb[0] = {reinterpret_cast<const uint8_t*>(constants.data()), constants.size() * 4};
    r.vm->bindConstants(cb);
    if (program.inputRegisterCount > 0) {
        for (int i = 0; i < kLanes; ++i) {
            r.vm->input(0, 0)[i] = float(i);
            r.vm->input(0, 1)[i] = 2.0f * float(i);
            r.vm->input(0, 2)[i] = -float(i);
            r.vm->input(0, 3)[i] = 0.5f;
        }
    }
    r.vm->run(kLanes);
    return r;
}

const char* kHeader = "ps\ninput TEXCOORD0 v0\noutput SV_Target0 o0 sv_target\noutput COLOR0 o1\n";

TEST(ShaderVm, ArithmeticWithSwizzlesMasksAndModifiers) {
    VmRun r = assembleAndRun(std::string(kHeader) + "add r0, v0, v0.yxwz\n"    // (3i, 3i, 0.5 - i, 0.5 - i)
                                                    "mul o0.xy, r0.xz, l(2)\n" // x = 6i, y = 1 - 2i
                                                    "mad o0.zw, -v0.z, v0.y, |v0.zzzz|\n" // i*2i + i
                                                    "mov o1, -|v0|\n");
    for (int i : {0, 1, 7, 63}) {
        float f = float(i);
        EXPECT_EQ(r.out(0, 0, i), 6 * f);
        EXPECT_EQ(r.out(0, 1, i), 1 - 2 * f);
        EXPECT_EQ(r.out(0, 2, i), 2 * f * f + f);
        EXPECT_EQ(r.out(0, 3, i), 2 * f * f + f);
        EXPECT_EQ(r.out(1, 0, i), -f);
        EXPECT_EQ(r.out(1, 2, i), -f);
    }
}

TEST(ShaderVm, DestinationThatIsAlsoASourceReadsTheOldValues) {
    VmRun r = assembleAndRun(std::string(kHeader) + "mov r0, v0\nmov r0.xy, r0.yx\nmov o0, r0\n");
    EXPECT_EQ(r.out(0, 0, 5), 10.0f);
    EXPECT_EQ(r.out(0, 1, 5), 5.0f);
}

TEST(ShaderVm, DotProductsReadConstantsAndBroadcast) {
    // cb0[0] = (1, 2, 3, 4), cb0[1] = (0.25, ...)
    VmRun r = assembleAndRun(std::string(kHeader) + "dp3 o0.xw, v0, cb0[0]\n"
                                                    "dp4 o0.y, v0, cb0[0]\n"
                                                    "dp2 o0.z, v0, cb0[1].xxxx\n",
                             {1, 2, 3, 4, 0.25f, 0, 0, 0});
    float f = 3;
    EXPECT_EQ(r.out(0, 0, 3), f + 4 * f - 3 * f);
    EXPECT_EQ(r.out(0, 3, 3), f + 4 * f - 3 * f);
    EXPECT_EQ(r.out(0, 1, 3), f + 4 * f - 3 * f + 2);
    EXPECT_EQ(r.out(0, 2, 3), 0.25f * (3 * f));
}

TEST(ShaderVm, ComparisonsGiveMasksAndMovcSelects) {
    VmRun r = assembleAndRun(std::string(kHeader) + "lt r0.x, v0.x, l(10)\n"
                                                    "movc o0.x, r0.x, l(1), l(2)\n"
                                                    "ge o0.y, v0.x, l(10)\n"
                                                    "itof o0.z, l(0)\n"
                                                    "ftoi r1.x, v0.y\n"
                                                    "itof o0.w, r1.x\n");
    EXPECT_EQ(r.out(0, 0, 9), 1.0f);
    EXPECT_EQ(r.out(0, 0, 10), 2.0f);
    EXPECT_EQ(r.outBits(0, 1, 9), 0u);
    EXPECT_EQ(r.outBits(0, 1, 10), 0xFFFFFFFFu);
    EXPECT_EQ(r.out(0, 3, 21), 42.0f);
}

TEST(ShaderVm, SaturateClampsAndMapsNanToZero) {
    VmRun r = assembleAndRun(std::string(kHeader) +
                             "mov_sat o0.x, v0.x\nmov_sat o0.y, v0.z\ndiv_sat o0.z, v0.w, v0.w\n"
                             "div r0.x, v0.x, v0.x\nmov_sat o0.w, r0.x\n");
    EXPECT_EQ(r.out(0, 0, 0), 0.0f);
    EXPECT_EQ(r.out(0, 0, 5), 1.0f);
    EXPECT_EQ(r.out(0, 1, 5), 0.0f);
    EXPECT_EQ(r.out(0, 2, 5), 1.0f);
    EXPECT_EQ(r.out(0, 3, 0), 0.0f); // 0/0 is NaN
}

TEST(ShaderVm, MalformedBytecodeIsRefused) {
    std::vector<uint32_t> code;
    std::string error;
    ASSERT_TRUE(AssembleShader(std::string(kHeader) + "mov o0, v0\n", code, error)) << error;
    ShaderProgram p;
    EXPECT_EQ(DecodeShader(code.data(), code.size() * 4, p), S_OK);
    for (size_t cut = 0; cut < code.size(); ++cut)
        EXPECT_EQ(DecodeShader(code.data(), cut * 4, p), E_INVALIDARG) << cut;
    // A temp register beyond the declared count.
    std::vector<uint32_t> bad = code;
    bad[bad.size() - 3] = isa::EncodeOperandWord(isa::RegFile::Temp, 9, isa::kIdentitySwizzle);
    EXPECT_EQ(DecodeShader(bad.data(), bad.size() * 4, p, &error), E_INVALIDARG);
    EXPECT_FALSE(error.empty());
}

TEST(ShaderVm, AssemblerReportsTheLine) {
    std::vector<uint32_t> code;
    std::string error;
    EXPECT_FALSE(AssembleShader("ps\nmov o0, v0\n", code, error));
    EXPECT_NE(error.find("register out of range"), std::string::npos) << error; // v0 is not declared
    EXPECT_FALSE(AssembleShader(std::string(kHeader) + "mov o0, v0\nfrobnicate r0\n", code, error));
    EXPECT_NE(error.find("line 6"), std::string::npos) << error;
}

TEST(ShaderVm, DisassemblyReassemblesToTheSameBytecode) {
    std::vector<uint32_t> code, again;
    std::string error;
    ASSERT_TRUE(AssembleShader(std::string(kHeader) + "mad_sat o0.xy, -|v0.zwxy|, cb2[7].x, l(0.5, 1, 2, 3)\n"
                                                      "sample r1, v0.xyxx, t3, s1\nmov o1, r1.wzyx\n",
                               code, error))
        << error;
    std::string text = DisassembleShader(code.data(), code.size());
    ASSERT_TRUE(AssembleShader(text, again, error)) << error << "\n" << text;
    EXPECT_EQ(code, again) << text;
}

// 12 buffers of 4,096 elements: 196,608 constant components, each with a slot of its own, far past
// what 16-bit slots could number. Planning is linear in them (quadratic planning took minutes); the
// sum shows that no two components share a slot.
TEST(ShaderVm, ManyConstantComponentsEachKeepTheirOwnSlot) {
    constexpr uint32_t kBuffers = 12, kElements = isa::kMaxConstantElements;
    ShaderBuilder b(isa::Stage::Pixel);
    b.output("SV_Target", 0, 0, 0xF, isa::SystemValue::Target);
    b.emit(isa::Opcode::Mov, Temp(0), b.literal(0));
    std::vector<std::vector<float>> buffers(kBuffers, std::vector<float>(kElements * 4));
    double expected[4] = {};
    for (uint32_t buffer = 0; buffer < kBuffers; ++buffer) {
        for (uint32_t element = 0; element < kElements; ++element) {
            for (unsigned c = 0; c < 4; ++c) {
                float v = float((buffer * 7 + element * 3 + c) % 5);
                buffers[buffer][element * 4 + c] = v;
                expected[c] += v;
            }
            b.emit(isa::Opcode::Add, Temp(0), Temp(0), Const(buffer, element));
        }
    }
    b.emit(isa::Opcode::Mov, Out(0), Temp(0));
    std::vector<uint32_t> code = b.finish();
    ShaderProgram program;
    std::string error;
    ASSERT_EQ(DecodeShader(code.data(), code.size() * 4, program, &error), S_OK) << error;

    auto start = std::chrono::steady_clock::now();
    auto plan = std::make_shared<ExecutionPlan>(program);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_GT(plan->slotCount(), kBuffers * kElements * 4);
    ShaderVM vm(plan);
    ConstantData cb[isa::kConstantBufferSlots];
    for (uint32_t buffer = 0; buffer < kBuffers; ++buffer)
        cb[buffer] = {reinterpret_cast<const uint8_t*>(buffers[buffer].data()), buffers[buffer].size() * 4};
    vm.bindConstants(cb);
    vm.run(kLanes);
    for (unsigned c = 0; c < 4; ++c) EXPECT_EQ(vm.output(0, c)[kLanes - 1], float(expected[c])) << c;
}

} // namespace
} // namespace platform::d3d10
