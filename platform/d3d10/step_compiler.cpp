#include "platform/d3d10/step_compiler.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace platform::d3d10 {

namespace {

constexpr int kWidth = 8;                  // lanes in a register
constexpr int32_t kSlotBytes = kLanes * 4; // one slot's lane array
static_assert(kLanes % kWidth == 0, "runs take whole registers");

// The operations compiled here: those with an AVX2 kernel (vm_kernels_avx2.cpp) and multiply chains.
bool compilable(const Step& s) {
    if (s.id == KernelId::MulChain) return s.resource == 1 || s.resource == 2;
    switch (s.id) {
    case KernelId::Mov:
    case KernelId::Neg:
    case KernelId::Abs:
    case KernelId::NegAbs:
    case KernelId::Sat:
    case KernelId::Rcp:
    case KernelId::Sqrt:
    case KernelId::Rsq:
    case KernelId::Floor:
    case KernelId::Ceil:
    case KernelId::Frc:
    case KernelId::Itof:
    case KernelId::Add:
    case KernelId::Mul:
    case KernelId::Div:
    case KernelId::Min:
    case KernelId::Max:
    case KernelId::Lt:
    case KernelId::Ge:
    case KernelId::Eq:
    case KernelId::Ne:
    case KernelId::And:
    case KernelId::Or:
    case KernelId::Xor:
    case KernelId::Iadd:
    case KernelId::Ieq:
    case KernelId::Ine:
    case KernelId::Ilt:
    case KernelId::Ige:
    case KernelId::AddNeg:
    case KernelId::Mad:
    case KernelId::Movc:
    case KernelId::MulSub:
    case KernelId::Add3:
        return true;
    default:
        return false;
    }
}

// The slots a step reads, in operand order.
int sourcesOf(const Step& s, PlanSlot out[6]) {
    switch (s.id) {
    case KernelId::MulChain:
        out[0] = s.a, out[1] = s.b, out[2] = s.c, out[3] = s.out[0];
        if (s.resource < 2) return 4;
        out[4] = s.out[1], out[5] = s.out[2];
        return 6;
    case KernelId::Add:
    case KernelId::Mul:
    case KernelId::Div:
    case KernelId::Min:
    case KernelId::Max:
    case KernelId::Lt:
    case KernelId::Ge:
    case KernelId::Eq:
    case KernelId::Ne:
    case KernelId::And:
    case KernelId::Or:
    case KernelId::Xor:
    case KernelId::Iadd:
    case KernelId::Ieq:
    case KernelId::Ine:
    case KernelId::Ilt:
    case KernelId::Ige:
    case KernelId::AddNeg:
        out[0] = s.a, out[1] = s.b;
        return 2;
    case KernelId::Mad:
    case KernelId::Movc:
    case KernelId::MulSub:
    case KernelId::Add3:
        out[0] = s.a, out[1] = s.b, out[2] = s.c;
        return 3;
    default:
        out[0] = s.a;
        return 1;
    }
}

// Every slot a step of any kind may read; conservative for steps that are not compiled (a sample
// reads its coordinates, a footprint axis its coordinate).
int readsOf(const Step& s, PlanSlot out[6]) {
    if (compilable(s)) return sourcesOf(s, out);
    out[0] = s.a, out[1] = s.b, out[2] = s.c;
    return 3;
}

// The constants the code reads from memory, eight lanes each.
enum Constant { kSign, kOne, kAllOnes, kZero, kConstantCount };
alignas(32) const uint32_t kConstants[kConstantCount][kWidth] = {
    {0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u},
    {0x3F800000u, 0x3F800000u, 0x3F800000u, 0x3F800000u, 0x3F800000u, 0x3F800000u, 0x3F800000u, 0x3F800000u},
    {~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u},
    {0, 0, 0, 0, 0, 0, 0, 0}};

// An operand of the body: a value (>= 0) or a constant (-1 - Constant).
using Ref = int;
constexpr Ref constantRef(Constant c) {
    return -1 - int(c);
}

// A value of one pass over eight lanes: a slot's lanes as they were when the run began (`loaded`: it
// is read from the arena where needed), or the result of an instruction.
struct Value {
    PlanSlot slot = 0;
    bool loaded = false;
    int lastUse = -1;
    int reg = -1;   // ymm register holding it, -1 where none does
    int spill = -1; // its 32 bytes in the stack frame once it has left its register
};

// One instruction of the body, over values: d = op(s1, rm[, mask or imm]), or a store of rm's value
// into a slot.
struct Instruction {
    x86::VexOpcode op;
    Ref d = -1, s1 = -1, rm = -1, mask = -1;
    int imm = -1;
    bool store = false;
    PlanSlot slot = 0;
};

// Lowers a run of steps to instructions over values, then gives the values registers (spilling to the
// stack frame those that do not fit, farthest last use first) and writes the machine code.
class RunCompiler {
public:
    RunCompiler(const std::vector<Step>& steps, size_t begin, size_t end,
                const std::unordered_set<PlanSlot>& liveOut) {
        for (size_t i = begin; i < end; ++i) lower(steps[i]);
        storeLiveOut(liveOut);
    }

    std::vector<uint8_t> machineCode() {
        for (size_t i = 0; i < body_.size(); ++i) {
            const Instruction& in = body_[i];
            for (Ref r : {in.s1, in.rm, in.mask})
                if (r >= 0) values_[size_t(r)].lastUse = int(i);
        }
        x86::Emitter body;
        for (size_t i = 0; i < body_.size(); ++i) emit(body, int(i));

        x86::Emitter code;
        const int32_t frame = frameSlots_ * 32;
        if (frame) code.subRsp(frame);
        code.leaRaxRdi(kSlotBytes); // the end of the lanes
        const size_t loop = code.size();
        code.append(body);
        code.addRdi(kWidth * 4);
        code.cmpRdiRax();
        code.jneBack(loop);
        if (frame) code.addRsp(frame);
        code.vzeroupperRet();
        return code.bytes();
    }

private:
    Ref value(PlanSlot slot, bool loaded) {
        values_.push_back({slot, loaded});
        return Ref(values_.size() - 1);
    }

    Ref get(PlanSlot slot) {
        auto it = bySlot_.find(slot);
        if (it != bySlot_.end()) return it->second;
        return bySlot_[slot] = value(slot, true);
    }

    Ref op(x86::VexOpcode code, Ref s1, Ref rm, int imm = -1, Ref mask = -1) {
        Ref d = value(0, false);
        body_.push_back({code, d, s1, rm, mask, imm});
        return d;
    }

    // A constant where an instruction needs it in a register.
    Ref load(Constant c) { return op(x86::op::kMovupsLoad, -1, constantRef(c)); }

    Ref unary(KernelId id, Ref a) {
        using namespace x86::op;
        switch (id) {
        case KernelId::Mov:
            return a;
        case KernelId::Neg:
            return op(kXorps, a, constantRef(kSign));
        case KernelId::Abs:
            return op(kAndnps, load(kSign), a);
        case KernelId::NegAbs:
            return op(kOrps, a, constantRef(kSign));
        case KernelId::Sat: // max returns its second operand when either is NaN: NaN to 0
            return op(kMinps, op(kMaxps, a, constantRef(kZero)), constantRef(kOne));
        case KernelId::Rcp:
            return op(kDivps, load(kOne), a);
        case KernelId::Sqrt:
            return op(kSqrtps, -1, a);
        case KernelId::Rsq:
            return op(kDivps, load(kOne), op(kSqrtps, -1, a));
        case KernelId::Floor:
            return op(kRoundps, -1, a, 0x01);
        case KernelId::Ceil:
            return op(kRoundps, -1, a, 0x02);
        case KernelId::Frc:
            return op(kSubps, a, op(kRoundps, -1, a, 0x01));
        default: // Itof
            return op(kCvtdq2ps, -1, a);
        }
    }

    // (a < b || b != b) ? a : b for min; with a > b, max.
    Ref pick(Ref a, Ref b, int compare) {
        using namespace x86::op;
        Ref which = op(kOrps, op(kCmpps, a, b, compare), op(kCmpps, b, b, 0x03)); // UNORD_Q
        return op(kBlendvps, b, a, -1, which);
    }

    Ref binary(KernelId id, Ref a, Ref b) {
        using namespace x86::op;
        switch (id) {
        case KernelId::Add:
            return op(kAddps, a, b);
        case KernelId::Mul:
            return op(kMulps, a, b);
        case KernelId::Div:
            return op(kDivps, a, b);
        case KernelId::Min:
            return pick(a, b, 0x11); // LT_OQ
        case KernelId::Max:
            return pick(a, b, 0x1E); // GT_OQ
        case KernelId::Lt:
            return op(kCmpps, a, b, 0x11); // LT_OQ
        case KernelId::Ge:
            return op(kCmpps, a, b, 0x1D); // GE_OQ
        case KernelId::Eq:
            return op(kCmpps, a, b, 0x00); // EQ_OQ
        case KernelId::Ne:
            return op(kCmpps, a, b, 0x04); // NEQ_UQ
        case KernelId::And:
            return op(kAndps, a, b);
        case KernelId::Or:
            return op(kOrps, a, b);
        case KernelId::Xor:
            return op(kXorps, a, b);
        case KernelId::Iadd:
            return op(kPaddd, a, b);
        case KernelId::Ieq:
            return op(kPcmpeqd, a, b);
        case KernelId::Ine:
            return op(kPxor, op(kPcmpeqd, a, b), constantRef(kAllOnes));
        case KernelId::Ilt:
            return op(kPcmpgtd, b, a);
        case KernelId::Ige:
            return op(kPxor, op(kPcmpgtd, b, a), constantRef(kAllOnes));
        default: // AddNeg
            return op(kAddps, a, op(kXorps, b, constantRef(kSign)));
        }
    }

    // acc + -(x * y) where subtract, else x * y + acc.
    Ref link(Ref acc, Ref x, Ref y, bool subtract) {
        using namespace x86::op;
        Ref product = op(kMulps, x, y);
        if (subtract) return op(kAddps, acc, op(kXorps, product, constantRef(kSign)));
        return op(kAddps, product, acc);
    }

    Ref ternary(KernelId id, Ref a, Ref b, Ref c) {
        using namespace x86::op;
        switch (id) {
        case KernelId::Mad:
            return op(kAddps, op(kMulps, a, b), c);
        case KernelId::MulSub:
            return link(c, a, b, true);
        case KernelId::Add3:
            return op(kAddps, op(kAddps, a, b), c);
        default: // Movc: a's bits non-zero ? b : c
            return op(kBlendvps, b, c, -1, op(kPcmpeqd, a, constantRef(kZero)));
        }
    }

    void lower(const Step& s) {
        PlanSlot sources[6];
        const int n = sourcesOf(s, sources);
        Ref v[6];
        for (int i = 0; i < n; ++i) v[i] = get(sources[i]);
        Ref d;
        if (s.id == KernelId::MulChain) {
            d = link(op(x86::op::kMulps, v[0], v[1]), v[2], v[3], s.sampler & 1);
            if (s.resource > 1) d = link(d, v[4], v[5], s.sampler & 2);
        } else if (n == 1) {
            d = unary(s.id, v[0]);
        } else if (n == 2) {
            d = binary(s.id, v[0], v[1]);
        } else {
            d = ternary(s.id, v[0], v[1], v[2]);
        }
        bySlot_[s.d] = d;
        written_.push_back(s.d);
    }

    // The values read after the run go to their slots. A slot's lanes as the run found them are
    // copied out first where a store may overwrite them.
    void storeLiveOut(const std::unordered_set<PlanSlot>& liveOut) {
        std::vector<std::pair<PlanSlot, Ref>> stores;
        std::unordered_set<PlanSlot> stored;
        for (PlanSlot slot : written_)
            if (liveOut.count(slot) && stored.insert(slot).second) stores.push_back({slot, bySlot_[slot]});
        for (auto& [slot, ref] : stores)
            if (values_[size_t(ref)].loaded && stored.count(values_[size_t(ref)].slot))
                ref = op(x86::op::kMovupsLoad, -1, ref);
        for (const auto& [slot, ref] : stores) {
            Instruction store{x86::op::kMovupsStore};
            store.rm = ref;
            store.store = true;
            store.slot = slot;
            body_.push_back(store);
        }
    }

    x86::Operand arena(PlanSlot slot) const {
        return x86::Operand::Memory(x86::kRdi, int32_t(slot) * kSlotBytes);
    }
    x86::Operand frame(int spill) const { return x86::Operand::Memory(x86::kRsp, spill * 32); }

    // Where a value is now: its register, or the arena or the frame.
    x86::Operand where(const Value& v) const {
        if (v.reg >= 0) return x86::Operand::Ymm(v.reg);
        return v.loaded ? arena(v.slot) : frame(v.spill);
    }

    int allocate(x86::Emitter& out, unsigned pinned) {
        int victim = -1;
        for (int r = 0; r < 16; ++r) {
            if (regs_[r] < 0) return r;
            if (pinned & (1u << r)) continue;
            if (victim < 0 || values_[size_t(regs_[r])].lastUse > values_[size_t(regs_[victim])].lastUse)
                victim = r;
        }
        Value& v = values_[size_t(regs_[victim])];
        if (!v.loaded && v.spill < 0) {
            v.spill = frameSlots_++;
            out.vex(x86::op::kMovupsStore, victim, -1, frame(v.spill));
        }
        v.reg = -1;
        regs_[victim] = -1;
        return victim;
    }

    int inRegister(x86::Emitter& out, Ref ref, unsigned& pinned) {
        Value& v = values_[size_t(ref)];
        if (v.reg < 0) {
            const x86::Operand from = where(v);
            const int r = allocate(out, pinned);
            out.vex(x86::op::kMovupsLoad, r, -1, from);
            v.reg = r;
            regs_[r] = ref;
        }
        pinned |= 1u << v.reg;
        return v.reg;
    }

    void release(Ref ref, int at) {
        if (ref < 0) return;
        Value& v = values_[size_t(ref)];
        if (v.lastUse <= at && v.reg >= 0) {
            regs_[v.reg] = -1;
            v.reg = -1;
        }
    }

    void emit(x86::Emitter& out, int at) {
        const Instruction& in = body_[size_t(at)];
        unsigned pinned = 0;
        if (in.store) {
            const int r = inRegister(out, in.rm, pinned);
            out.vex(in.op, r, -1, arena(in.slot));
            release(in.rm, at);
            return;
        }
        const int s1 = in.s1 >= 0 ? inRegister(out, in.s1, pinned) : -1;
        const int mask = in.mask >= 0 ? inRegister(out, in.mask, pinned) : -1;
        x86::Operand rm = in.rm >= 0 ? where(values_[size_t(in.rm)])
                                     : x86::Operand::Memory(x86::kRsi, (-1 - in.rm) * kWidth * 4);
        if (!rm.memory) pinned |= 1u << rm.reg;
        for (Ref r : {in.s1, in.rm, in.mask}) release(r, at);
        const int d = allocate(out, pinned);
        out.vex(in.op, d, s1, rm, mask >= 0 ? mask << 4 : in.imm);
        regs_[d] = in.d;
        values_[size_t(in.d)].reg = d;
        release(in.d, at); // a result nothing reads
    }

    std::vector<Value> values_;
    std::vector<Instruction> body_;
    std::unordered_map<PlanSlot, Ref> bySlot_;
    std::vector<PlanSlot> written_;
    int regs_[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int frameSlots_ = 0;
};

} // namespace

bool StepCompilerEnabled() {
    static const bool enabled = [] {
        const char* env = std::getenv("UNFOLD_D3D10_JIT");
        return !(env && std::strcmp(env, "off") == 0);
    }();
    return enabled;
}

std::unique_ptr<const CompiledSteps> CompiledSteps::Compile(const std::vector<Step>& steps,
                                                            const std::vector<PlanSlot>& liveOut, Isa isa) {
    if (isa != Isa::Avx2 || !IsaSupported(isa) || !StepCompilerEnabled()) return nullptr;
    if (std::none_of(steps.begin(), steps.end(), compilable)) return nullptr;

    // Slots read after each step: the caller's, those that later steps read, and those that a step
    // reads before a later one writes them (the next run reads what this run leaves there).
    std::unordered_set<PlanSlot> carried;
    {
        std::unordered_set<PlanSlot> writtenSoFar;
        for (const Step& s : steps) {
            PlanSlot r[6];
            for (int i = 0, n = readsOf(s, r); i < n; ++i)
                if (!writtenSoFar.count(r[i])) carried.insert(r[i]);
            // Only what a step surely writes: a sample writes its results (alpha not where `c` is
            // set), every other step its destination.
            if (s.id == KernelId::Sample)
                writtenSoFar.insert(s.out, s.out + (s.c ? 3 : 4));
            else
                writtenSoFar.insert(s.d);
        }
    }
    std::vector<std::unordered_set<PlanSlot>> readAfter(steps.size() + 1);
    readAfter[steps.size()].insert(liveOut.begin(), liveOut.end());
    readAfter[steps.size()].insert(carried.begin(), carried.end());
    for (size_t i = steps.size(); i-- > 0;) {
        readAfter[i] = readAfter[i + 1];
        PlanSlot r[6];
        for (int k = 0, n = readsOf(steps[i], r); k < n; ++k) readAfter[i].insert(r[k]);
    }

    std::unique_ptr<CompiledSteps> compiled(new CompiledSteps());
    for (size_t i = 0; i < steps.size();) {
        Piece piece;
        if (!compilable(steps[i])) {
            piece.step = steps[i];
            compiled->pieces_.push_back(std::move(piece));
            ++i;
            continue;
        }
        size_t end = i;
        while (end < steps.size() && compilable(steps[end])) ++end;
        if (!piece.code.load(RunCompiler(steps, i, end, readAfter[end]).machineCode())) return nullptr;
        compiled->pieces_.push_back(std::move(piece));
        compiled->compiled_ += end - i;
        i = end;
    }
    return compiled;
}

size_t CompiledSteps::bytes() const {
    size_t n = sizeof *this + pieces_.capacity() * sizeof(Piece);
    for (const Piece& p : pieces_) n += p.code.mappedBytes();
    return n;
}

void CompiledSteps::run(const VmContext& context, int activeLanes) const {
    for (const Piece& p : pieces_) {
        if (p.code.entry())
            reinterpret_cast<Code>(const_cast<void*>(p.code.entry()))(context.arena, kConstants[0]);
        else
            p.step.kernel(context, p.step, activeLanes);
    }
}

} // namespace platform::d3d10
