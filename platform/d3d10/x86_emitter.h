// A small x86-64 machine-code writer for the step compiler: the VEX-encoded 256-bit and EVEX-encoded
// 512-bit instructions its code uses, on vector registers and on memory at a general register plus a
// 32-bit displacement, the few general instructions of a loop and a stack frame, and executable memory
// to run the result from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::d3d10::x86 {

// General registers by encoding number (only those below 8 are used).
enum Gp : uint8_t { kRax = 0, kRsp = 4, kRsi = 6, kRdi = 7 };

// An instruction's r/m operand: a vector register, or memory at base + displacement.
struct Operand {
    static Operand Register(int reg) { return {false, uint8_t(reg), kRax, 0}; }
    static Operand Memory(Gp base, int32_t displacement) { return {true, 0, base, displacement}; }
    bool memory;
    uint8_t reg;
    Gp base;
    int32_t displacement;
};

// A VEX or EVEX opcode: its implied prefix (none or 0x66), opcode map (0F, 0F38, 0F3A) and byte.
struct VexOpcode {
    uint8_t pp;  // 0: none, 1: 0x66
    uint8_t map; // 1: 0F, 2: 0F38, 3: 0F3A
    uint8_t opcode;
};

namespace op {
constexpr VexOpcode kMovupsLoad{0, 1, 0x10}, kMovupsStore{0, 1, 0x11}, kSqrtps{0, 1, 0x51},
    kAndps{0, 1, 0x54}, kAndnps{0, 1, 0x55}, kOrps{0, 1, 0x56}, kXorps{0, 1, 0x57}, kAddps{0, 1, 0x58},
    kMulps{0, 1, 0x59}, kCvtdq2ps{0, 1, 0x5B}, kSubps{0, 1, 0x5C}, kMinps{0, 1, 0x5D}, kDivps{0, 1, 0x5E},
    kMaxps{0, 1, 0x5F}, kCmpps{0, 1, 0xC2}, kPcmpgtd{1, 1, 0x66}, kPcmpeqd{1, 1, 0x76}, kPxor{1, 1, 0xEF},
    kPaddd{1, 1, 0xFE}, kRoundps{1, 3, 0x08}, kBlendvps{1, 3, 0x4A};
// EVEX only (AVX-512 F): integer forms of the bitwise operations, rounding, compares into mask
// registers, blends under a mask, and a load under a mask.
constexpr VexOpcode kPandd{1, 1, 0xDB}, kPandnd{1, 1, 0xDF}, kPord{1, 1, 0xEB}, kPxord{1, 1, 0xEF},
    kMovdqa32Load{1, 1, 0x6F}, kRndscaleps{1, 3, 0x08}, kBlendmps{1, 2, 0x65}, kPcmpd{1, 3, 0x1F},
    kPtestmd{1, 2, 0x27};
} // namespace op

class Emitter {
public:
    // A 256-bit VEX instruction: `reg` in ModRM.reg (the destination, or a store's source), `vvvv` the
    // first source register (-1 where the instruction has none), `rm` the last operand, then an
    // immediate byte where imm >= 0 (for vblendvps, the mask register in its high four bits).
    void vex(VexOpcode op, int reg, int vvvv, Operand rm, int imm = -1);
    // A 512-bit EVEX instruction (W0) on registers 0 to 31, under opmask register `mask` (0: none),
    // zeroing the lanes it leaves out where `zeroing`. `reg` may name a mask register (a compare's
    // destination).
    void evex(VexOpcode op, int reg, int vvvv, Operand rm, int imm = -1, int mask = 0, bool zeroing = false);

    // vmovups between an xmm register and memory: the 128 bits the Windows convention keeps.
    void movupsXmm(bool store, int reg, Operand memory);

    // The loop and frame around the compiled body; the arena pointer is in rdi.
    void pushRdiRsi();
    void popRsiRdi();
    // rdi and rsi from the Windows argument registers rcx and rdx.
    void movRdiRcxRsiRdx();
    void subRsp(int32_t bytes);
    void addRsp(int32_t bytes);
    void leaRaxRdi(int32_t displacement);
    void addRdi(int8_t bytes);
    void cmpRdiRax();
    // A jne back to `target`, a position in the code.
    void jneBack(size_t target);
    void vzeroupperRet();

    void append(const Emitter& other);

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    void vexEncoded(VexOpcode op, int reg, int vvvv, Operand rm, int imm, bool bits256);
    void modrm(int reg, Operand rm);
    void byte(uint8_t b) { bytes_.push_back(b); }
    void dword(uint32_t v);
    std::vector<uint8_t> bytes_;
};

// Machine code copied into memory mapped executable (and not writable once it is).
class ExecutableCode {
public:
    ExecutableCode() = default;
    ~ExecutableCode();
    ExecutableCode(const ExecutableCode&) = delete;
    ExecutableCode& operator=(const ExecutableCode&) = delete;
    ExecutableCode(ExecutableCode&& o) noexcept;
    ExecutableCode& operator=(ExecutableCode&& o) noexcept;

    // Maps the bytes; false (and nothing mapped) where the system refuses.
    bool load(const std::vector<uint8_t>& bytes);
    const void* entry() const { return memory_; }
    size_t mappedBytes() const { return size_; }

private:
    void* memory_ = nullptr;
    size_t size_ = 0;
};

} // namespace platform::d3d10::x86
