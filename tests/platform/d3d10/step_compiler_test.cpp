// Compiled steps against the same steps run kernel by kernel: random programs over every compiled
// operation, mixed with steps that keep their kernels, long enough that values leave the registers for
// the stack, reading slots before later steps write them, run twice over the same arena.
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/pixel_routine.h"
#include "platform/d3d10/step_compiler.h"
#include "platform/d3d10/vm_kernels.h"
#include "platform/d3d10/x86_emitter.h"

namespace platform::d3d10 {
namespace {

uint32_t canonical(float f) {
    return std::isnan(f) ? 0x7FC00000u : std::bit_cast<uint32_t>(f);
}

float randomValue(std::mt19937& random) {
    const float inf = std::numeric_limits<float>::infinity();
    static const float special[] = {0.0f, -0.0f, 1.0f, -1.0f,  0.5f,  2.5f,
                                    inf,  -inf,  NAN,  1e-40f, 1e30f, 0.999f};
    switch (random() % 4) {
    case 0:
        return special[random() % std::size(special)];
    case 1:
        return std::bit_cast<float>(uint32_t(random())); // any bits, integers included
    default:
        return std::uniform_real_distribution<float>(-4.0f, 4.0f)(random);
    }
}

constexpr KernelId kCompiled[] = {
    KernelId::Mov,  KernelId::Neg,  KernelId::Abs,    KernelId::NegAbs, KernelId::Sat,     KernelId::Rcp,
    KernelId::Sqrt, KernelId::Rsq,  KernelId::Floor,  KernelId::Ceil,   KernelId::Frc,     KernelId::Itof,
    KernelId::Add,  KernelId::Mul,  KernelId::Div,    KernelId::Min,    KernelId::Max,     KernelId::Lt,
    KernelId::Ge,   KernelId::Eq,   KernelId::Ne,     KernelId::And,    KernelId::Or,      KernelId::Xor,
    KernelId::Iadd, KernelId::Ieq,  KernelId::Ine,    KernelId::Ilt,    KernelId::Ige,     KernelId::AddNeg,
    KernelId::Mad,  KernelId::Movc, KernelId::MulSub, KernelId::Add3,   KernelId::MulChain};
// Operations that keep their kernel between compiled runs.
constexpr KernelId kKept[] = {KernelId::Exp2, KernelId::Log2, KernelId::Ftoi, KernelId::Imul};

// Which of two NaNs an IEEE operation keeps depends on its operand order, which the compiler of the
// kernels may exchange (Direct3D 10 leaves it open), so the NaN a step leaves may differ in its bits
// while staying a NaN. Operations that read the bits of their operands read the inputs, whose bits are
// the same on both sides.
bool readsBits(KernelId id) {
    switch (id) {
    case KernelId::And:
    case KernelId::Or:
    case KernelId::Xor:
    case KernelId::Iadd:
    case KernelId::Ieq:
    case KernelId::Ine:
    case KernelId::Ilt:
    case KernelId::Ige:
    case KernelId::Itof:
    case KernelId::Ftoi:
    case KernelId::Imul:
        return true;
    default:
        return false;
    }
}

struct Program {
    std::vector<Step> steps;
    std::vector<PlanSlot> liveOut;
    uint32_t slots;
};

// Inputs in slots [0, inputs); the steps write slots above them, some more than once, and read any slot
// (a slot not yet written holds what the previous run left there, or its start value).
Program randomProgram(std::mt19937& random, int length, bool keptSteps) {
    const uint32_t inputs = 6, written = uint32_t(length) / 2 + 2;
    Program p;
    p.slots = inputs + written + 300; // the last slots sit far from the arena's start
    auto anySlot = [&] {
        uint32_t s = random() % (inputs + written);
        return s < inputs ? s : s + 300;
    };
    for (int i = 0; i < length; ++i) {
        Step s{};
        s.id = keptSteps && random() % 6 == 0 ? kKept[random() % std::size(kKept)]
                                              : kCompiled[random() % std::size(kCompiled)];
        s.d = inputs + 300 + random() % written;
        s.a = anySlot(), s.b = anySlot(), s.c = anySlot();
        if (readsBits(s.id)) s.a = random() % inputs, s.b = random() % inputs;
        for (PlanSlot& o : s.out) o = anySlot();
        if (s.id == KernelId::MulChain) {
            s.resource = uint8_t(1 + random() % 2);
            s.sampler = uint8_t(random() % 4);
            s.kernel = MulChainKernel(Isa::Avx2, s.resource, s.sampler);
        } else {
            s.kernel = PortableKernel(s.id);
        }
        p.steps.push_back(s);
    }
    SpecialiseKernels(p.steps, Isa::Avx2);
    for (const Step& s : p.steps)
        if (random() % 3 == 0) p.liveOut.push_back(s.d);
    return p;
}

void checkCompiledSteps(bool avx512) {
    std::mt19937 random(29);
    size_t compiledSteps = 0, programs = 0;
    for (int round = 0; round < 300; ++round) {
        const int length = 1 + int(random() % (round % 3 == 0 ? 120 : 24));
        Program p = randomProgram(random, length, round % 2 == 1);
        auto compiled = CompiledSteps::Compile(p.steps, p.liveOut, Isa::Avx2, avx512);
        ASSERT_TRUE(compiled) << "round " << round;
        compiledSteps += compiled->compiledSteps();
        programs++;

        std::vector<float> expected(size_t(p.slots) * kLanes), actual;
        for (float& v : expected) v = randomValue(random);
        actual = expected;
        VmContext reference{expected.data(), nullptr, nullptr}, fast{actual.data(), nullptr, nullptr};
        for (int run = 0; run < 2; ++run) {
            for (const Step& s : p.steps) s.kernel(reference, s, kLanes);
            compiled->run(fast, kLanes);
            // The next run sees new inputs and what this one left in every other slot it keeps.
            for (size_t i = 0; i < size_t(6) * kLanes; ++i) expected[i] = actual[i] = randomValue(random);
        }
        std::vector<PlanSlot> compared = p.liveOut;
        for (PlanSlot s = 0; s < p.slots; ++s) {
            bool written = false;
            for (const Step& step : p.steps) written = written || step.d == s;
            if (!written) compared.push_back(s); // slots nothing writes stay as they were
        }
        for (PlanSlot s : compared)
            for (int i = 0; i < kLanes; ++i)
                ASSERT_EQ(canonical(actual[size_t(s) * kLanes + i]),
                          canonical(expected[size_t(s) * kLanes + i]))
                    << "round " << round << " slot " << s << " lane " << i;
    }
    EXPECT_EQ(programs, 300u);
    EXPECT_GT(compiledSteps, 300u * 20);
}

TEST(StepCompiler, CompiledStepsGiveTheKernelsBits) {
    if (!IsaSupported(Isa::Avx2) || !StepCompilerEnabled()) GTEST_SKIP() << "no step compiler here";
    checkCompiledSteps(false);
}

TEST(StepCompiler, CompiledAvx512StepsGiveTheKernelsBits) {
    if (!IsaSupported(Isa::Avx2) || !Avx512Supported() || !StepCompilerEnabled())
        GTEST_SKIP() << "no AVX-512 step compiler here";
    checkCompiledSteps(true);
}

TEST(StepCompiler, StepsWithoutCompiledFormAreNotCompiled) {
    if (!IsaSupported(Isa::Avx2) || !StepCompilerEnabled()) GTEST_SKIP() << "no step compiler here";
    Step exp2{};
    exp2.id = KernelId::Exp2;
    exp2.kernel = PortableKernel(KernelId::Exp2);
    exp2.d = 1;
    EXPECT_FALSE(CompiledSteps::Compile({exp2}, {1}, Isa::Avx2, false));
    Step add = exp2;
    add.id = KernelId::Add;
    add.kernel = PortableKernel(KernelId::Add);
    EXPECT_FALSE(CompiledSteps::Compile({add}, {1}, Isa::Portable, false));
    auto both = CompiledSteps::Compile({exp2, add}, {1}, Isa::Avx2, false);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->compiledSteps(), 1u);
}

// The encoder against encodings read off the processor manuals (the assembler's three-byte VEX form).
TEST(X86Emitter, EncodesVexInstructions) {
    x86::Emitter e;
    e.vex(x86::op::kAddps, 1, 2, x86::Operand::Register(3)); // vaddps ymm1, ymm2, ymm3
    EXPECT_EQ(e.bytes(), (std::vector<uint8_t>{0xC4, 0xE1, 0x6C, 0x58, 0xCB}));
    x86::Emitter high;
    high.vex(x86::op::kMulps, 9, 10, x86::Operand::Register(11)); // vmulps ymm9, ymm10, ymm11
    EXPECT_EQ(high.bytes(), (std::vector<uint8_t>{0xC4, 0x41, 0x2C, 0x59, 0xCB}));
    x86::Emitter memory;
    memory.vex(x86::op::kMovupsStore, 12, -1, x86::Operand::Memory(x86::kRsp, 64)); // vmovups [rsp+64], ymm12
    EXPECT_EQ(memory.bytes(), (std::vector<uint8_t>{0xC4, 0x61, 0x7C, 0x11, 0xA4, 0x24, 0x40, 0, 0, 0}));
    x86::Emitter blend;
    blend.vex(x86::op::kBlendvps, 0, 1, x86::Operand::Memory(x86::kRdi, 256), 5 << 4);
    EXPECT_EQ(blend.bytes(), (std::vector<uint8_t>{0xC4, 0xE3, 0x75, 0x4A, 0x87, 0, 1, 0, 0, 0x50}));
    x86::Emitter saved;
    saved.movupsXmm(true, 6, x86::Operand::Memory(x86::kRsp, 16));    // vmovups [rsp+16], xmm6
    saved.movupsXmm(false, 15, x86::Operand::Memory(x86::kRsp, 144)); // vmovups xmm15, [rsp+144]
    EXPECT_EQ(saved.bytes(), (std::vector<uint8_t>{0xC4, 0xE1, 0x78, 0x11, 0xB4, 0x24, 0x10, 0, 0, 0,
                                                   0xC4, 0x61, 0x78, 0x10, 0xBC, 0x24, 0x90, 0, 0, 0}));
}

TEST(X86Emitter, EncodesEvexInstructions) {
    using x86::Operand;
    auto bytes = [](auto write) {
        x86::Emitter e;
        write(e);
        return e.bytes();
    };
    // vmulps zmm9, zmm18, zmm27: every register field's high bits
    EXPECT_EQ(bytes([](x86::Emitter& e) { e.evex(x86::op::kMulps, 9, 18, Operand::Register(27)); }),
              (std::vector<uint8_t>{0x62, 0x11, 0x6C, 0x40, 0x59, 0xCB}));
    // vmovups [rsp+64], zmm20
    EXPECT_EQ(
        bytes([](x86::Emitter& e) { e.evex(x86::op::kMovupsStore, 20, -1, Operand::Memory(x86::kRsp, 64)); }),
        (std::vector<uint8_t>{0x62, 0xE1, 0x7C, 0x48, 0x11, 0xA4, 0x24, 0x40, 0, 0, 0}));
    // vblendmps zmm0{k2}, zmm1, [rdi+256]
    EXPECT_EQ(bytes([](x86::Emitter& e) {
                  e.evex(x86::op::kBlendmps, 0, 1, Operand::Memory(x86::kRdi, 256), -1, 2);
              }),
              (std::vector<uint8_t>{0x62, 0xF2, 0x75, 0x4A, 0x65, 0x87, 0, 1, 0, 0}));
    // vcmpps k2{k1}, zmm16, zmm17, 5
    EXPECT_EQ(bytes([](x86::Emitter& e) { e.evex(x86::op::kCmpps, 2, 16, Operand::Register(17), 5, 1); }),
              (std::vector<uint8_t>{0x62, 0xB1, 0x7C, 0x41, 0xC2, 0xD1, 0x05}));
    // vmovdqa32 zmm31{k1}{z}, [rsi+64]
    EXPECT_EQ(bytes([](x86::Emitter& e) {
                  e.evex(x86::op::kMovdqa32Load, 31, -1, Operand::Memory(x86::kRsi, 64), -1, 1, true);
              }),
              (std::vector<uint8_t>{0x62, 0x61, 0x7D, 0xC9, 0x6F, 0xBE, 0x40, 0, 0, 0}));
    // vrndscaleps zmm24, zmm25, 1
    EXPECT_EQ(bytes([](x86::Emitter& e) { e.evex(x86::op::kRndscaleps, 24, -1, Operand::Register(25), 1); }),
              (std::vector<uint8_t>{0x62, 0x03, 0x7D, 0x48, 0x08, 0xC1, 0x01}));
}

} // namespace
} // namespace platform::d3d10
