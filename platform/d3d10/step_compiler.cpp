#include "platform/d3d10/step_compiler.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "platform/d3d10/vm_kernels.h"

namespace platform::d3d10 {

namespace {

constexpr int32_t kSlotBytes = kLanes * 4; // one slot's lane array
static_assert(kLanes % 16 == 0, "runs take whole registers");

// The operations compiled here: those with an AVX2 kernel (vm_kernels_avx2.cpp), and multiply chains.
bool compilable(const Step& s) {
    if (s.id == KernelId::MulChain) return s.resource == 1 || s.resource == 2;
    return detail::Avx2Kernel(s.id) != nullptr;
}

// Every slot a step of any kind may read: a compiled step's operands (SlotsRead), conservatively a, b
// and c for the other kinds but windows.
int readsOf(const Step& s, PlanSlot out[6]) {
    if (compilable(s) || s.id == KernelId::SampleWindow) return SlotsRead(s, out);
    out[0] = s.a, out[1] = s.b, out[2] = s.c;
    return 3;
}

// The constants the code reads from memory, a whole register each (the narrower code reads the first
// half).
enum Constant { kSign, kOne, kAllOnes, kZero, kConstantCount };
constexpr int kMaxWidth = 16;
constexpr int32_t kConstantBytes = kMaxWidth * 4;
struct alignas(64) ConstantTable {
    uint32_t lanes[kConstantCount][kMaxWidth];
};
constexpr ConstantTable kConstants = [] {
    ConstantTable t{};
    const uint32_t bits[kConstantCount] = {0x80000000u, 0x3F800000u, ~0u, 0};
    for (int c = 0; c < kConstantCount; ++c)
        for (uint32_t& lane : t.lanes[c]) lane = bits[c];
    return t;
}();

// An operand of the body: a value (>= 0) or a constant (-1 - Constant).
using Ref = int;
constexpr Ref constantRef(Constant c) {
    return -1 - int(c);
}

// A value of one pass over a register's lanes: a slot's lanes as they were when the run began
// (`loaded`: it is read from the arena where needed), or the result of an instruction.
struct Value {
    PlanSlot slot = 0;
    bool loaded = false;
    int lastUse = -1;
    int reg = -1;   // vector register holding it, -1 where none does
    int spill = -1; // its place in the stack frame once it has left its register
};

// One instruction of the body, over values: d = op(s1, rm[, imm]) with, for vblendvps, the mask in a
// register; or, 512 bits wide, a compare into opmask register kDest, or an instruction under opmask
// kMask; or a store of rm's value into a slot.
struct Instruction {
    x86::VexOpcode op;
    Ref d = -1, s1 = -1, rm = -1, mask = -1;
    int imm = -1;
    int kDest = -1, kMask = 0;
    bool zeroing = false;
    bool store = false;
    PlanSlot slot = 0;
};

// Lowers a run of steps to instructions over values, then gives the values registers (spilling to the
// stack frame those that do not fit, farthest last use first) and writes the machine code: eight
// lanes a pass with AVX2, sixteen with AVX-512 (where an opmask register stands for AVX2's vector
// masks, and integer bitwise operations for the float ones).
class RunCompiler {
public:
    RunCompiler(const std::vector<Step>& steps, size_t begin, size_t end,
                const std::unordered_set<PlanSlot>& liveOut, bool wide)
        : wide_(wide), width_(wide ? 16 : 8), registers_(wide ? 32 : 16) {
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
#ifdef _WIN32
        // The Windows convention passes the arguments in rcx and rdx, and keeps rdi, rsi and the low
        // halves of xmm6 to xmm15 for the caller.
        constexpr int32_t kSaved = 10 * 16;
        code.pushRdiRsi();
        code.movRdiRcxRsiRdx();
        code.subRsp(kSaved);
        for (int i = 0; i < 10; ++i) code.movupsXmm(true, 6 + i, x86::Operand::Memory(x86::kRsp, i * 16));
#endif
        const int32_t frame = frameSlots_ * width_ * 4;
        if (frame) code.subRsp(frame);
        code.leaRaxRdi(kSlotBytes); // the end of the lanes
        const size_t loop = code.size();
        code.append(body);
        code.addRdi(int8_t(width_ * 4));
        code.cmpRdiRax();
        code.jneBack(loop);
        if (frame) code.addRsp(frame);
#ifdef _WIN32
        for (int i = 0; i < 10; ++i) code.movupsXmm(false, 6 + i, x86::Operand::Memory(x86::kRsp, i * 16));
        code.addRsp(kSaved);
        code.popRsiRdi();
#endif
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
        Instruction in{code, value(0, false), s1, rm, mask, imm};
        body_.push_back(in);
        return in.d;
    }

    // A compare into an opmask register (under another where kMask), 512 bits wide.
    void compare(x86::VexOpcode code, int kDest, Ref s1, Ref rm, int imm, int kMask = 0) {
        Instruction in{code, -1, s1, rm, -1, imm};
        in.kDest = kDest;
        in.kMask = kMask;
        body_.push_back(in);
    }

    Ref masked(x86::VexOpcode code, int kMask, bool zeroing, Ref s1, Ref rm) {
        Instruction in{code, value(0, false), s1, rm};
        in.kMask = kMask;
        in.zeroing = zeroing;
        body_.push_back(in);
        return in.d;
    }

    // All ones in the lanes of opmask k1, zero in the others: a compare's result as AVX2 gives it.
    Ref lanesOfK1() {
        return masked(x86::op::kMovdqa32Load, 1, true, -1, constantRef(kAllOnes));
    }

    // A constant where an instruction needs it in a register.
    Ref load(Constant c) {
        return op(x86::op::kMovupsLoad, -1, constantRef(c));
    }

    x86::VexOpcode bitwise(x86::VexOpcode narrow, x86::VexOpcode wide) const {
        return wide_ ? wide : narrow;
    }
    Ref xorOp(Ref a, Ref b) {
        return op(bitwise(x86::op::kXorps, x86::op::kPxord), a, b);
    }

    Ref unary(KernelId id, Ref a) {
        using namespace x86::op;
        const x86::VexOpcode round = wide_ ? kRndscaleps : kRoundps; // the same rounding, imm 1 and 2
        switch (id) {
        case KernelId::Mov:
            return a;
        case KernelId::Neg:
            return xorOp(a, constantRef(kSign));
        case KernelId::Abs:
            return op(bitwise(kAndnps, kPandnd), load(kSign), a);
        case KernelId::NegAbs:
            return op(bitwise(kOrps, kPord), a, constantRef(kSign));
        case KernelId::Sat: // max returns its second operand when either is NaN: NaN to 0
            return op(kMinps, op(kMaxps, a, constantRef(kZero)), constantRef(kOne));
        case KernelId::Rcp:
            return op(kDivps, load(kOne), a);
        case KernelId::Sqrt:
            return op(kSqrtps, -1, a);
        case KernelId::Rsq:
            return op(kDivps, load(kOne), op(kSqrtps, -1, a));
        case KernelId::Floor:
            return op(round, -1, a, 0x01);
        case KernelId::Ceil:
            return op(round, -1, a, 0x02);
        case KernelId::Frc:
            return op(kSubps, a, op(round, -1, a, 0x01));
        default: // Itof
            return op(kCvtdq2ps, -1, a);
        }
    }

    // (a < b || b != b) ? a : b for min; with a > b, max. 512 bits wide: b where b is ordered and
    // not (a < b), in opmask k2, else a.
    Ref pick(Ref a, Ref b, bool min) {
        using namespace x86::op;
        if (wide_) {
            compare(kCmpps, 1, b, b, 0x07);                 // ORD_Q
            compare(kCmpps, 2, a, b, min ? 0x15 : 0x1A, 1); // NLT_UQ or NGT_UQ, under k1
            return masked(kBlendmps, 2, false, a, b);
        }
        Ref which =
            op(kOrps, op(kCmpps, a, b, min ? 0x11 : 0x1E), op(kCmpps, b, b, 0x03)); // LT_OQ, GT_OQ, UNORD_Q
        return op(kBlendvps, b, a, -1, which);
    }

    Ref floatCompare(Ref a, Ref b, int predicate) {
        if (!wide_) return op(x86::op::kCmpps, a, b, predicate);
        compare(x86::op::kCmpps, 1, a, b, predicate);
        return lanesOfK1();
    }

    // A signed compare of the bits: vpcmpd's predicate (0 equal, 1 less, 4 not equal, 5 not less).
    Ref integerCompare(Ref a, Ref b, int predicate) {
        using namespace x86::op;
        if (wide_) {
            compare(kPcmpd, 1, a, b, predicate);
            return lanesOfK1();
        }
        switch (predicate) {
        case 0:
            return op(kPcmpeqd, a, b);
        case 4:
            return op(kPxor, op(kPcmpeqd, a, b), constantRef(kAllOnes));
        case 1:
            return op(kPcmpgtd, b, a);
        default:
            return op(kPxor, op(kPcmpgtd, b, a), constantRef(kAllOnes));
        }
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
            return pick(a, b, true);
        case KernelId::Max:
            return pick(a, b, false);
        case KernelId::Lt:
            return floatCompare(a, b, 0x11); // LT_OQ
        case KernelId::Ge:
            return floatCompare(a, b, 0x1D); // GE_OQ
        case KernelId::Eq:
            return floatCompare(a, b, 0x00); // EQ_OQ
        case KernelId::Ne:
            return floatCompare(a, b, 0x04); // NEQ_UQ
        case KernelId::And:
            return op(bitwise(kAndps, kPandd), a, b);
        case KernelId::Or:
            return op(bitwise(kOrps, kPord), a, b);
        case KernelId::Xor:
            return xorOp(a, b);
        case KernelId::Iadd:
            return op(kPaddd, a, b);
        case KernelId::Ieq:
            return integerCompare(a, b, 0);
        case KernelId::Ine:
            return integerCompare(a, b, 4);
        case KernelId::Ilt:
            return integerCompare(a, b, 1);
        case KernelId::Ige:
            return integerCompare(a, b, 5);
        default: // AddNeg
            return op(kAddps, a, xorOp(b, constantRef(kSign)));
        }
    }

    // acc + -(x * y) where subtract, else x * y + acc.
    Ref link(Ref acc, Ref x, Ref y, bool subtract) {
        using namespace x86::op;
        Ref product = op(kMulps, x, y);
        if (subtract) return op(kAddps, acc, xorOp(product, constantRef(kSign)));
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
            if (wide_) {
                compare(kPtestmd, 1, a, a, -1);
                return masked(kBlendmps, 1, false, c, b);
            }
            return op(kBlendvps, b, c, -1, op(kPcmpeqd, a, constantRef(kZero)));
        }
    }

    void lower(const Step& s) {
        PlanSlot sources[6];
        const int n = SlotsRead(s, sources);
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
    x86::Operand frame(int spill) const {
        return x86::Operand::Memory(x86::kRsp, spill * width_ * 4);
    }

    // Where a value is now: its register, or the arena or the frame.
    x86::Operand where(const Value& v) const {
        if (v.reg >= 0) return x86::Operand::Register(v.reg);
        return v.loaded ? arena(v.slot) : frame(v.spill);
    }

    void encode(x86::Emitter& out, const Instruction& in, int reg, int vvvv, x86::Operand rm) {
        if (wide_)
            out.evex(in.op, reg, vvvv, rm, in.imm, in.kMask, in.zeroing);
        else
            out.vex(in.op, reg, vvvv, rm, in.imm);
    }

    void move(x86::Emitter& out, x86::VexOpcode code, int reg, x86::Operand rm) {
        Instruction in{code};
        encode(out, in, reg, -1, rm);
    }

    int allocate(x86::Emitter& out, uint32_t pinned) {
        int victim = -1;
        for (int r = 0; r < registers_; ++r) {
            if (regs_[r] < 0) return r;
            if (pinned & (1u << r)) continue;
            if (victim < 0 || values_[size_t(regs_[r])].lastUse > values_[size_t(regs_[victim])].lastUse)
                victim = r;
        }
        Value& v = values_[size_t(regs_[victim])];
        if (!v.loaded && v.spill < 0) {
            v.spill = frameSlots_++;
            move(out, x86::op::kMovupsStore, victim, frame(v.spill));
        }
        v.reg = -1;
        regs_[victim] = -1;
        return victim;
    }

    int inRegister(x86::Emitter& out, Ref ref, uint32_t& pinned) {
        Value& v = values_[size_t(ref)];
        if (v.reg < 0) {
            const x86::Operand from = where(v);
            const int r = allocate(out, pinned);
            move(out, x86::op::kMovupsLoad, r, from);
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
        Instruction in = body_[size_t(at)];
        uint32_t pinned = 0;
        if (in.store) {
            const int r = inRegister(out, in.rm, pinned);
            move(out, in.op, r, arena(in.slot));
            release(in.rm, at);
            return;
        }
        const int s1 = in.s1 >= 0 ? inRegister(out, in.s1, pinned) : -1;
        const int mask = in.mask >= 0 ? inRegister(out, in.mask, pinned) : -1;
        x86::Operand rm = in.rm >= 0 ? where(values_[size_t(in.rm)])
                                     : x86::Operand::Memory(x86::kRsi, (-1 - in.rm) * kConstantBytes);
        if (!rm.memory) pinned |= 1u << rm.reg;
        for (Ref r : {in.s1, in.rm, in.mask}) release(r, at);
        if (mask >= 0) in.imm = mask << 4;
        if (in.kDest >= 0) {
            encode(out, in, in.kDest, s1, rm);
            return;
        }
        const int d = allocate(out, pinned);
        encode(out, in, d, s1, rm);
        regs_[d] = in.d;
        values_[size_t(in.d)].reg = d;
        release(in.d, at); // a result nothing reads
    }

    const bool wide_;
    const int width_, registers_;
    std::vector<Value> values_;
    std::vector<Instruction> body_;
    std::unordered_map<PlanSlot, Ref> bySlot_;
    std::vector<PlanSlot> written_;
    int regs_[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int frameSlots_ = 0;
};

} // namespace

bool StepCompilerEnabled() {
#if !defined(__x86_64__)
    return false; // the code is x86-64's
#endif
    static const bool enabled = [] {
        const char* env = std::getenv("UNFOLD_D3D10_JIT");
        return !(env && std::strcmp(env, "off") == 0);
    }();
    return enabled;
}

std::unique_ptr<const CompiledSteps> CompiledSteps::Compile(const std::vector<Step>& steps,
                                                            const std::vector<PlanSlot>& liveOut, Isa isa,
                                                            bool avx512) {
    if (isa != Isa::Avx2 || !IsaSupported(isa) || !StepCompilerEnabled()) return nullptr;
    if (avx512 && !Avx512Supported()) return nullptr;
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
            if (s.id == KernelId::Sample) {
                writtenSoFar.insert(s.out, s.out + (s.c ? 3 : 4));
            } else if (s.id == KernelId::SampleWindow) {
                PlanSlot out[SampleWindow::kOutputs];
                writtenSoFar.insert(out, out + s.window->writes(out));
            } else {
                writtenSoFar.insert(s.d);
            }
        }
    }
    // Walking back from the end, the slots read after the step at each run's end.
    std::vector<std::unordered_set<PlanSlot>> readAfterRun(steps.size() + 1);
    {
        std::unordered_set<PlanSlot> readAfter(liveOut.begin(), liveOut.end());
        readAfter.insert(carried.begin(), carried.end());
        for (size_t i = steps.size(); i-- > 0;) {
            if (compilable(steps[i]) && (i + 1 == steps.size() || !compilable(steps[i + 1])))
                readAfterRun[i + 1] = readAfter;
            PlanSlot r[6];
            for (int k = 0, n = readsOf(steps[i], r); k < n; ++k) readAfter.insert(r[k]);
        }
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
        if (!piece.code.load(RunCompiler(steps, i, end, readAfterRun[end], avx512).machineCode()))
            return nullptr;
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
            reinterpret_cast<Code>(const_cast<void*>(p.code.entry()))(context.arena, kConstants.lanes[0]);
        else
            p.step.kernel(context, p.step, activeLanes);
    }
}

} // namespace platform::d3d10
