#include "platform/d3d10/shader_vm.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace platform::d3d10 {

namespace {

using isa::Opcode;
using isa::RegFile;

inline uint32_t bits(float f) {
    return std::bit_cast<uint32_t>(f);
}
inline float fromBits(uint32_t u) {
    return std::bit_cast<float>(u);
}
inline float mask(bool b) {
    return fromBits(b ? 0xFFFFFFFFu : 0u);
}

inline float* lane(const VmContext& vm, PlanSlot slot) {
    return vm.arena + size_t(slot) * kLanes;
}

// Each kernel applies one operation to one component across all lanes. Destination and source may be
// the same array: every lane reads and writes only its own element, so there is no loop-carried
// dependency and the loops vectorise.
template <class F>
void unary(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float* a = lane(vm, s.a);
#pragma GCC ivdep
    for (int i = 0; i < kLanes; ++i) d[i] = F{}(a[i]);
}

template <class F>
void binary(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float* a = lane(vm, s.a);
    const float* b = lane(vm, s.b);
#pragma GCC ivdep
    for (int i = 0; i < kLanes; ++i) d[i] = F{}(a[i], b[i]);
}

template <class F>
void ternary(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float* a = lane(vm, s.a);
    const float* b = lane(vm, s.b);
    const float* c = lane(vm, s.c);
#pragma GCC ivdep
    for (int i = 0; i < kLanes; ++i) d[i] = F{}(a[i], b[i], c[i]);
}

template <int kLinks, bool kSubtract0, bool kSubtract1>
void mulChain(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float *a = lane(vm, s.a), *b = lane(vm, s.b), *x0 = lane(vm, s.c), *y0 = lane(vm, s.out[0]);
    const float *x1 = lane(vm, s.out[kLinks > 1 ? 1 : 0]), *y1 = lane(vm, s.out[kLinks > 1 ? 2 : 0]);
#pragma GCC ivdep
    for (int i = 0; i < kLanes; ++i) {
        float acc = a[i] * b[i];
        acc = kSubtract0 ? acc + -(x0[i] * y0[i]) : x0[i] * y0[i] + acc;
        if (kLinks > 1) acc = kSubtract1 ? acc + -(x1[i] * y1[i]) : x1[i] * y1[i] + acc;
        d[i] = acc;
    }
}

struct Mov {
    float operator()(float a) const { return a; }
};
struct Neg {
    float operator()(float a) const { return -a; }
};
struct Abs {
    float operator()(float a) const { return std::fabs(a); }
};
struct NegAbs {
    float operator()(float a) const { return -std::fabs(a); }
};
// Saturate clamps to [0, 1]; NaN becomes 0.
struct Sat {
    float operator()(float a) const { return a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f; }
};
struct Rcp {
    float operator()(float a) const { return 1.0f / a; }
};
struct Rsq {
    float operator()(float a) const { return 1.0f / std::sqrt(a); }
};
struct Sqrt {
    float operator()(float a) const { return std::sqrt(a); }
};
struct Frc {
    float operator()(float a) const { return a - std::floor(a); }
};
struct Floor {
    float operator()(float a) const { return std::floor(a); }
};
struct Ceil {
    float operator()(float a) const { return std::ceil(a); }
};
struct RoundNe {
    float operator()(float a) const { return std::nearbyint(a); }
};
struct Exp2 {
    float operator()(float a) const { return std::exp2(a); }
};
struct Log2 {
    float operator()(float a) const { return std::log2(a); }
};
struct Sin {
    float operator()(float a) const { return std::sin(a); }
};
struct Cos {
    float operator()(float a) const { return std::cos(a); }
};
struct Not {
    float operator()(float a) const { return fromBits(~bits(a)); }
};
struct Itof {
    float operator()(float a) const { return float(int32_t(bits(a))); }
};
struct Utof {
    float operator()(float a) const { return float(bits(a)); }
};
// Float to integer truncates toward zero, saturates out-of-range values and maps NaN to 0.
struct Ftoi {
    float operator()(float a) const {
        int32_t v = !(a == a)             ? 0
                    : a >= 2147483648.0f  ? std::numeric_limits<int32_t>::max()
                    : a <= -2147483648.0f ? std::numeric_limits<int32_t>::min()
                                          : int32_t(a);
        return fromBits(uint32_t(v));
    }
};
struct Ftou {
    float operator()(float a) const {
        uint32_t v = !(a > 0.0f) ? 0u : a >= 4294967296.0f ? 0xFFFFFFFFu : uint32_t(a);
        return fromBits(v);
    }
};
struct Ineg {
    float operator()(float a) const { return fromBits(0u - bits(a)); }
};

struct Add {
    float operator()(float a, float b) const { return a + b; }
};
struct Mul {
    float operator()(float a, float b) const { return a * b; }
};
struct Div {
    float operator()(float a, float b) const { return a / b; }
};
// min and max return the other operand when one is NaN, as shader model 4 requires.
struct Min {
    float operator()(float a, float b) const { return (a < b || b != b) ? a : b; }
};
struct Max {
    float operator()(float a, float b) const { return (a > b || b != b) ? a : b; }
};
struct Lt {
    float operator()(float a, float b) const { return mask(a < b); }
};
struct Ge {
    float operator()(float a, float b) const { return mask(a >= b); }
};
struct Eq {
    float operator()(float a, float b) const { return mask(a == b); }
};
struct Ne {
    float operator()(float a, float b) const { return mask(a != b); }
};
struct And {
    float operator()(float a, float b) const { return fromBits(bits(a) & bits(b)); }
};
struct Or {
    float operator()(float a, float b) const { return fromBits(bits(a) | bits(b)); }
};
struct Xor {
    float operator()(float a, float b) const { return fromBits(bits(a) ^ bits(b)); }
};
struct Iadd {
    float operator()(float a, float b) const { return fromBits(bits(a) + bits(b)); }
};
struct Imul {
    float operator()(float a, float b) const { return fromBits(bits(a) * bits(b)); }
};
struct Ilt {
    float operator()(float a, float b) const { return mask(int32_t(bits(a)) < int32_t(bits(b))); }
};
struct Ige {
    float operator()(float a, float b) const { return mask(int32_t(bits(a)) >= int32_t(bits(b))); }
};
struct Ieq {
    float operator()(float a, float b) const { return mask(bits(a) == bits(b)); }
};
struct Ine {
    float operator()(float a, float b) const { return mask(bits(a) != bits(b)); }
};

struct AddNeg {
    float operator()(float a, float b) const { return a + -b; }
};
struct Mad {
    float operator()(float a, float b, float c) const { return a * b + c; }
};
struct MulSub {
    float operator()(float a, float b, float c) const { return c + -(a * b); }
};
struct Add3 {
    float operator()(float a, float b, float c) const { return (a + b) + c; }
};
struct Movc {
    float operator()(float a, float b, float c) const { return bits(a) != 0 ? b : c; }
};

void sampleKernel(const VmContext& vm, const Step& s, int active) {
    float* out[4] = {lane(vm, s.out[0]), lane(vm, s.out[1]), lane(vm, s.out[2]), lane(vm, s.out[3])};
    SampleLanes(vm.textures[s.resource], vm.samplers[s.sampler], lane(vm, s.a), lane(vm, s.b), out, active);
}

KernelId componentKernel(Opcode op) {
    switch (op) {
    case Opcode::Mov:
        return KernelId::Mov;
    case Opcode::Add:
        return KernelId::Add;
    case Opcode::Mul:
        return KernelId::Mul;
    case Opcode::Mad:
        return KernelId::Mad;
    case Opcode::Div:
        return KernelId::Div;
    case Opcode::Min:
        return KernelId::Min;
    case Opcode::Max:
        return KernelId::Max;
    case Opcode::Rcp:
        return KernelId::Rcp;
    case Opcode::Rsq:
        return KernelId::Rsq;
    case Opcode::Sqrt:
        return KernelId::Sqrt;
    case Opcode::Frc:
        return KernelId::Frc;
    case Opcode::Floor:
        return KernelId::Floor;
    case Opcode::Ceil:
        return KernelId::Ceil;
    case Opcode::RoundNe:
        return KernelId::RoundNe;
    case Opcode::Exp2:
        return KernelId::Exp2;
    case Opcode::Log2:
        return KernelId::Log2;
    case Opcode::Sin:
        return KernelId::Sin;
    case Opcode::Cos:
        return KernelId::Cos;
    case Opcode::Lt:
        return KernelId::Lt;
    case Opcode::Ge:
        return KernelId::Ge;
    case Opcode::Eq:
        return KernelId::Eq;
    case Opcode::Ne:
        return KernelId::Ne;
    case Opcode::And:
        return KernelId::And;
    case Opcode::Or:
        return KernelId::Or;
    case Opcode::Xor:
        return KernelId::Xor;
    case Opcode::Not:
        return KernelId::Not;
    case Opcode::Movc:
        return KernelId::Movc;
    case Opcode::Itof:
        return KernelId::Itof;
    case Opcode::Utof:
        return KernelId::Utof;
    case Opcode::Ftoi:
        return KernelId::Ftoi;
    case Opcode::Ftou:
        return KernelId::Ftou;
    case Opcode::Iadd:
        return KernelId::Iadd;
    case Opcode::Imul:
        return KernelId::Imul;
    case Opcode::Ineg:
        return KernelId::Ineg;
    case Opcode::Ilt:
        return KernelId::Ilt;
    case Opcode::Ige:
        return KernelId::Ige;
    case Opcode::Ieq:
        return KernelId::Ieq;
    case Opcode::Ine:
        return KernelId::Ine;
    default:
        return KernelId::Count;
    }
}

} // namespace

StepKernel PortableMulChainKernel(int links, unsigned subtracts) {
    static constexpr StepKernel kernels[2][4] = {{mulChain<1, false, false>, mulChain<1, true, false>,
                                                  mulChain<1, false, false>, mulChain<1, true, false>},
                                                 {mulChain<2, false, false>, mulChain<2, true, false>,
                                                  mulChain<2, false, true>, mulChain<2, true, true>}};
    return kernels[links > 1][subtracts & 3];
}

StepKernel PortableKernel(KernelId id) {
    switch (id) {
    case KernelId::Mov:
        return unary<Mov>;
    case KernelId::Neg:
        return unary<Neg>;
    case KernelId::Abs:
        return unary<Abs>;
    case KernelId::NegAbs:
        return unary<NegAbs>;
    case KernelId::Sat:
        return unary<Sat>;
    case KernelId::Rcp:
        return unary<Rcp>;
    case KernelId::Rsq:
        return unary<Rsq>;
    case KernelId::Sqrt:
        return unary<Sqrt>;
    case KernelId::Frc:
        return unary<Frc>;
    case KernelId::Floor:
        return unary<Floor>;
    case KernelId::Ceil:
        return unary<Ceil>;
    case KernelId::RoundNe:
        return unary<RoundNe>;
    case KernelId::Exp2:
        return unary<Exp2>;
    case KernelId::Log2:
        return unary<Log2>;
    case KernelId::Sin:
        return unary<Sin>;
    case KernelId::Cos:
        return unary<Cos>;
    case KernelId::Not:
        return unary<Not>;
    case KernelId::Itof:
        return unary<Itof>;
    case KernelId::Utof:
        return unary<Utof>;
    case KernelId::Ftoi:
        return unary<Ftoi>;
    case KernelId::Ftou:
        return unary<Ftou>;
    case KernelId::Ineg:
        return unary<Ineg>;
    case KernelId::Add:
        return binary<Add>;
    case KernelId::Mul:
        return binary<Mul>;
    case KernelId::Div:
        return binary<Div>;
    case KernelId::Min:
        return binary<Min>;
    case KernelId::Max:
        return binary<Max>;
    case KernelId::Lt:
        return binary<Lt>;
    case KernelId::Ge:
        return binary<Ge>;
    case KernelId::Eq:
        return binary<Eq>;
    case KernelId::Ne:
        return binary<Ne>;
    case KernelId::And:
        return binary<And>;
    case KernelId::Or:
        return binary<Or>;
    case KernelId::Xor:
        return binary<Xor>;
    case KernelId::Iadd:
        return binary<Iadd>;
    case KernelId::Imul:
        return binary<Imul>;
    case KernelId::Ilt:
        return binary<Ilt>;
    case KernelId::Ige:
        return binary<Ige>;
    case KernelId::Ieq:
        return binary<Ieq>;
    case KernelId::Ine:
        return binary<Ine>;
    case KernelId::AddNeg:
        return binary<AddNeg>;
    case KernelId::Mad:
        return ternary<Mad>;
    case KernelId::Movc:
        return ternary<Movc>;
    case KernelId::MulSub:
        return ternary<MulSub>;
    case KernelId::Add3:
        return ternary<Add3>;
    case KernelId::Sample:
        return sampleKernel;
    default:
        return nullptr;
    }
}

namespace {

uint64_t constantKey(const DecodedOperand& o, unsigned c) {
    return (uint64_t(o.slot) << 40) | (uint64_t(o.index) << 8) | c;
}

} // namespace

ExecutionPlan::ExecutionPlan(const ShaderProgram& program) : program_(program) {
    inputBase_ = program.tempCount * 4;
    outputBase_ = inputBase_ + program.inputRegisterCount * 4;
    uint32_t next = outputBase_ + program.outputRegisterCount * 4;

    // Constants and literals first, so that scratch slots can follow them.
    for (auto& ins : program.code) {
        for (unsigned i = 1; i < ins.operandCount; ++i) {
            const DecodedOperand& o = ins.operands[i];
            if (o.file != RegFile::Const && o.file != RegFile::Literal) continue;
            auto& table = o.file == RegFile::Const ? constantSlots_ : literalSlots_;
            for (unsigned k = 0; k < 4; ++k) {
                unsigned c = o.component(k);
                uint64_t key = o.file == RegFile::Const ? constantKey(o, c) : (uint64_t(o.index) << 8) | c;
                if (!table.try_emplace(key, next).second) continue;
                if (o.file == RegFile::Const)
                    constantFills_.push_back({next, uint8_t(o.slot), uint8_t(c), o.index});
                else
                    literalFills_.push_back({next, program.literals[o.index][c]});
                next++;
            }
        }
    }
    scratchBase_ = next;
    for (auto& ins : program.code) {
        scratchUsed_ = 0;
        planInstruction(ins);
    }
    // Beyond the scratch, room for a specialised form of the program that keeps more values at once (a
    // filter's taps fetched together).
    slotCount_ = scratchBase_ + scratchMax_ + kSpareSlots;
}

bool ExecutionPlan::readsSlot(PlanSlot slot) const {
    for (const Step& s : steps_) {
        if (s.id == KernelId::Sample ? (s.a == slot || s.b == slot)
                                     : (s.a == slot || s.b == slot || s.c == slot))
            return true;
    }
    return false;
}

PlanSlot ExecutionPlan::scratch() {
    PlanSlot s = scratchBase_ + scratchUsed_++;
    scratchMax_ = std::max(scratchMax_, scratchUsed_);
    return s;
}

void ExecutionPlan::addStep(KernelId k, PlanSlot d, PlanSlot a, PlanSlot b, PlanSlot c) {
    Step s{};
    s.id = k;
    s.kernel = PortableKernel(k);
    s.d = d, s.a = a, s.b = b, s.c = c;
    steps_.push_back(s);
}

PlanSlot ExecutionPlan::sourceSlot(const DecodedOperand& o, unsigned k) {
    unsigned c = o.component(k);
    PlanSlot base = 0;
    switch (o.file) {
    case RegFile::Temp:
        base = o.index * 4 + c;
        break;
    case RegFile::Input:
        base = inputSlot(o.index, c);
        break;
    case RegFile::Const:
    case RegFile::Literal: {
        uint64_t key = o.file == RegFile::Const ? constantKey(o, c) : (uint64_t(o.index) << 8) | c;
        auto& table = o.file == RegFile::Const ? constantSlots_ : literalSlots_;
        base = table.at(key); // every constant and literal read got its slot in the constructor
        break;
    }
    default:
        break;
    }
    if (!o.neg && !o.abs) return base;
    PlanSlot t = scratch();
    addStep(o.abs ? (o.neg ? KernelId::NegAbs : KernelId::Abs) : KernelId::Neg, t, base);
    return t;
}

void ExecutionPlan::planInstruction(const DecodedInstruction& ins) {
    const DecodedOperand& dst = ins.operands[0];
    if (dst.file == RegFile::Null) return; // no side effects to keep
    auto dstSlot = [&](unsigned c) {
        return dst.file == RegFile::Temp ? PlanSlot(dst.index * 4 + c) : outputSlot(dst.index, c);
    };

    // Dot products and samples compute into scratch first, then copy into the written components.
    if (ins.op == Opcode::Dp2 || ins.op == Opcode::Dp3 || ins.op == Opcode::Dp4) {
        unsigned n = ins.op == Opcode::Dp2 ? 2 : ins.op == Opcode::Dp3 ? 3 : 4;
        PlanSlot sum = scratch();
        for (unsigned k = 0; k < n; ++k) {
            PlanSlot a = sourceSlot(ins.operands[1], k);
            PlanSlot b = sourceSlot(ins.operands[2], k);
            if (k == 0)
                addStep(KernelId::Mul, sum, a, b);
            else
                addStep(KernelId::Mad, sum, a, b, sum);
        }
        for (unsigned c = 0; c < 4; ++c)
            if (dst.mask & (1u << c)) addStep(ins.saturate ? KernelId::Sat : KernelId::Mov, dstSlot(c), sum);
        return;
    }
    if (ins.op == Opcode::Sample) {
        Step s{};
        s.id = KernelId::Sample;
        s.kernel = sampleKernel;
        s.a = sourceSlot(ins.operands[1], 0);
        s.b = sourceSlot(ins.operands[1], 1);
        for (auto& o : s.out) o = scratch();
        s.resource = uint8_t(ins.operands[2].index);
        s.sampler = uint8_t(ins.operands[3].index);
        steps_.push_back(s);
        PlanSlot result[4] = {s.out[0], s.out[1], s.out[2], s.out[3]};
        for (unsigned c = 0; c < 4; ++c)
            if (dst.mask & (1u << c))
                addStep(ins.saturate ? KernelId::Sat : KernelId::Mov, dstSlot(c),
                        result[ins.operands[2].component(c)]);
        return;
    }

    KernelId kernel = componentKernel(ins.op);
    unsigned sources = ins.operandCount - 1u;
    // When the destination register is also a source, a component written early could be read by a
    // later one (mov r0.xy, r0.yx); results then go through scratch.
    bool aliased = false;
    for (unsigned i = 1; i <= sources; ++i)
        if (dst.file == RegFile::Temp && ins.operands[i].file == RegFile::Temp &&
            ins.operands[i].index == dst.index)
            aliased = true;
    PlanSlot staged[4] = {};
    for (unsigned c = 0; c < 4; ++c) {
        if (!(dst.mask & (1u << c))) continue;
        PlanSlot src[3] = {};
        for (unsigned i = 0; i < sources; ++i) src[i] = sourceSlot(ins.operands[i + 1], c);
        PlanSlot d = aliased ? scratch() : dstSlot(c);
        addStep(kernel, d, src[0], src[1], src[2]);
        if (ins.saturate) addStep(KernelId::Sat, d, d);
        staged[c] = d;
    }
    if (aliased)
        for (unsigned c = 0; c < 4; ++c)
            if (dst.mask & (1u << c)) addStep(KernelId::Mov, dstSlot(c), staged[c]);
}

ShaderVM::ShaderVM(std::shared_ptr<const ExecutionPlan> plan)
    : plan_(std::move(plan)), arena_(size_t(plan_->slotCount()) * kLanes, 0.0f),
      textures_(isa::kResourceSlots), samplers_(isa::kSamplerSlots) {
    for (auto& l : plan_->literalFills()) std::fill_n(slot(l.slot), kLanes, fromBits(l.bits));
}

float ConstantValue(const ExecutionPlan::ConstantFill& f, const ConstantData* buffers) {
    const ConstantData& cb = buffers[f.buffer];
    size_t offset = size_t(f.element) * 16 + f.component * 4;
    float v = 0.0f;
    if (cb.data && offset + 4 <= cb.bytes) std::memcpy(&v, cb.data + offset, 4);
    return v;
}

void ShaderVM::bindConstants(const ConstantData* buffers) {
    for (auto& f : plan_->constantFills()) std::fill_n(slot(f.slot), kLanes, ConstantValue(f, buffers));
}

void ShaderVM::bindTexture(uint32_t s, const SampledTexture& texture) {
    if (s < textures_.size()) textures_[s] = texture;
}

void ShaderVM::bindSampler(uint32_t s, const SamplerSettings& sampler) {
    if (s < samplers_.size()) samplers_[s] = sampler;
}

void ShaderVM::run(int activeLanes) {
    run(plan_->steps(), activeLanes);
}

int SlotsRead(const Step& s, PlanSlot in[6]) {
    if (s.id == KernelId::SampleWindow) return s.window->reads(in);
    in[0] = s.a, in[1] = s.b, in[2] = s.c;
    if (s.id == KernelId::Sample) return 2;
    if (s.id == KernelId::MulChain) {
        in[3] = s.out[0], in[4] = s.out[1], in[5] = s.out[2];
        return s.resource < 2 ? 4 : 6;
    }
    if (s.id <= KernelId::FootprintAxis) return 1;
    return s.id < KernelId::Mad ? 2 : 3;
}

void ShaderVM::run(const std::vector<Step>& steps, int activeLanes) {
    VmContext vm = context();
    for (const Step& s : steps) s.kernel(vm, s, activeLanes);
}

} // namespace platform::d3d10
