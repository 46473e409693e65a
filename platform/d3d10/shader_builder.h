// Builds shader VM programs: the effect compiler's code generator and the device tests use it.
//
//   ShaderBuilder b(isa::Stage::Pixel);
//   b.input("TEXCOORD", 0, 1, 0x3);
//   b.output("SV_Target", 0, 0, 0xF, isa::SystemValue::Target);
//   b.sample(Temp(0), In(1).swizzle("xyxx"), 0, 0);
//   b.emit(isa::Opcode::Mul, Out(0), Temp(0), Const(0, 2).swizzle("xxxx"));
//   std::vector<uint32_t> code = b.finish();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d10/shader_isa.h"

namespace platform::d3d10 {

struct Operand {
    isa::RegFile file = isa::RegFile::Null;
    uint32_t index = 0;
    uint32_t slot = 0;                       // constant-buffer slot
    uint8_t swizzle = isa::kIdentitySwizzle; // sources
    uint8_t mask = 0xF;                      // destinations
    bool neg = false;
    bool abs = false;

    // "xyzw"-style text; a shorter swizzle repeats its last letter, as HLSL's .x reads .xxxx.
    Operand swizzled(const char* components) const;
    Operand masked(const char* components) const;
    Operand negated() const {
        Operand o = *this;
        o.neg = !o.neg;
        return o;
    }
    Operand absolute() const {
        Operand o = *this;
        o.abs = true;
        o.neg = false;
        return o;
    }
    // Component i of the swizzle.
    unsigned component(unsigned i) const { return (swizzle >> (2 * i)) & 3; }
};

inline Operand Temp(uint32_t i) {
    return {isa::RegFile::Temp, i};
}
inline Operand In(uint32_t i) {
    return {isa::RegFile::Input, i};
}
inline Operand Out(uint32_t i) {
    return {isa::RegFile::Output, i};
}
inline Operand Const(uint32_t slot, uint32_t element) {
    return {isa::RegFile::Const, element, slot};
}
inline Operand NullDst() {
    return {isa::RegFile::Null, 0};
}

// Parses "xyzw"/"rgba" letters into component indices; returns false on a bad letter.
bool ParseComponents(const char* text, unsigned out[4], unsigned& count);

class ShaderBuilder {
public:
    explicit ShaderBuilder(isa::Stage stage) : stage_(stage) {}

    void input(const std::string& semantic, uint32_t semanticIndex, uint32_t reg, uint32_t mask,
               isa::SystemValue sv = isa::SystemValue::None);
    void output(const std::string& semantic, uint32_t semanticIndex, uint32_t reg, uint32_t mask,
                isa::SystemValue sv = isa::SystemValue::None);

    // A literal operand; equal literals share one slot.
    Operand literal(float x, float y, float z, float w);
    Operand literal(float v) { return literal(v, v, v, v); }
    Operand literalBits(uint32_t x, uint32_t y, uint32_t z, uint32_t w);

    void emit(isa::Opcode op, const Operand& dst, const Operand& a = {}, const Operand& b = {},
              const Operand& c = {}, bool saturate = false);
    void sample(const Operand& dst, const Operand& coordinate, uint32_t resourceSlot, uint32_t samplerSlot,
                bool saturate = false);

    // Ends the program with Ret and returns its bytecode.
    std::vector<uint32_t> finish();

private:
    void operand(const Operand& o, bool destination);
    void noteTemp(const Operand& o);

    isa::Stage stage_;
    std::vector<isa::SignatureElement> inputs_, outputs_;
    std::vector<uint32_t> literals_;
    std::vector<uint32_t> code_;
    uint32_t tempCount_ = 0;
};

// Text form of the bytecode, one instruction per line:
//   ps
//   input TEXCOORD0 v1.xy
//   output SV_Target0 o0.xyzw sv_target
//   sample r0, v1.xyxx, t0, s0
//   mad_sat o0, r0, cb0[2].xxxx, l(0.5, 0.5, 0.5, 0)
//   mov o0.w, -|r1.x|
// Comments start with "//" or ";". Returns false and sets error ("line N: ...") on bad text.
bool AssembleShader(const std::string& text, std::vector<uint32_t>& code, std::string& error);

// The text form of a program, in the syntax AssembleShader reads.
std::string DisassembleShader(const uint32_t* code, size_t words);

} // namespace platform::d3d10
