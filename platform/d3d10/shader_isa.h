// The bytecode of the software device's shader VM: what CreateVertexShader and CreatePixelShader take.
//
// A program is a little-endian stream of 32-bit words:
//   Header
//   inputCount  x SignatureElement   (vertex stage: the input-assembler signature)
//   outputCount x SignatureElement
//   literalCount x 4 words           (float4 constants, as raw bits)
//   instructionWords words           (the code)
//
// Registers hold four 32-bit components, read as floats or as integer bits by the instruction.
// Comparisons write 0xFFFFFFFF for true and 0 for false, as shader model 4 does; Movc selects on any
// non-zero bit. Operands name a register file and index; sources carry a swizzle and the neg/abs
// modifiers, destinations a write mask. Constant-buffer operands also name the buffer slot; t# and s#
// operands name shader-resource and sampler slots directly.
//
// Instruction word: bits 0-7 opcode, bits 8-11 operand count, bit 12 saturate (clamp the result to
// [0, 1]). Each operand is two words: word 0 = file (bits 0-3) | neg (bit 4) | abs (bit 5) |
// swizzle (bits 8-15, two bits per component, x first) or write mask (bits 8-11) | index (bits 16-31);
// word 1 = constant-buffer slot for Const operands, else 0.
#pragma once

#include <cstdint>

namespace platform::d3d10::isa {

constexpr uint32_t kMagic = 0x314D5655; // "UVM1"
constexpr uint32_t kVersion = 1;
constexpr unsigned kMaxTemps = 256;
constexpr unsigned kMaxIoRegisters = 32;
constexpr unsigned kMaxConstantElements = 4096;
constexpr unsigned kConstantBufferSlots = 14;
constexpr unsigned kResourceSlots = 128;
constexpr unsigned kSamplerSlots = 16;
constexpr unsigned kSemanticNameLength = 32;

enum class Stage : uint32_t { Vertex = 0, Pixel = 1 };

// System values, numbered as D3D10_NAME.
enum class SystemValue : uint32_t { None = 0, Position = 1, Target = 64 };

struct Header {
    uint32_t magic;
    uint32_t version;
    uint32_t stage;
    uint32_t tempCount;
    uint32_t inputCount;
    uint32_t outputCount;
    uint32_t literalCount;
    uint32_t instructionWords;
};

struct SignatureElement {
    char semanticName[kSemanticNameLength]; // zero-terminated
    uint32_t semanticIndex;
    uint32_t reg;  // input or output register index
    uint32_t mask; // components present, bit 0 = x
    uint32_t systemValue;
};

enum class Opcode : uint8_t {
    Mov, // dst = a
    Add, // dst = a + b
    Mul, // dst = a * b
    Mad, // dst = a * b + c
    Div, // dst = a / b
    Min,
    Max,
    Dp2, // every written component = a.x*b.x + a.y*b.y
    Dp3,
    Dp4,
    Rcp, // 1 / a
    Rsq, // 1 / sqrt(a)
    Sqrt,
    Frc, // a - floor(a)
    Floor,
    Ceil,
    RoundNe, // round to nearest even
    Exp2,
    Log2,
    Sin,
    Cos,
    Lt, // float comparisons -> mask
    Ge,
    Eq,
    Ne,
    And, // bitwise
    Or,
    Xor,
    Not,
    Movc, // dst = a != 0 ? b : c (per component, a read as bits)
    Itof, // signed integer bits -> float
    Utof,
    Ftoi, // float -> signed integer bits (truncate)
    Ftou,
    Iadd,
    Imul,
    Ineg,
    Ilt, // signed integer comparisons -> mask
    Ige,
    Ieq,
    Ine,
    Sample, // dst = texture(t).Sample(s, a.xy); operands: dst, coordinate, resource, sampler
    Ret,    // end of program
    Count
};

enum class RegFile : uint8_t { Null = 0, Temp, Input, Output, Const, Literal, Resource, Sampler };

// Number of operands (destination included) each opcode takes.
constexpr unsigned OperandCount(Opcode op) {
    switch (op) {
    case Opcode::Ret:
        return 0;
    case Opcode::Mov:
    case Opcode::Rcp:
    case Opcode::Rsq:
    case Opcode::Sqrt:
    case Opcode::Frc:
    case Opcode::Floor:
    case Opcode::Ceil:
    case Opcode::RoundNe:
    case Opcode::Exp2:
    case Opcode::Log2:
    case Opcode::Sin:
    case Opcode::Cos:
    case Opcode::Not:
    case Opcode::Itof:
    case Opcode::Utof:
    case Opcode::Ftoi:
    case Opcode::Ftou:
    case Opcode::Ineg:
        return 2;
    case Opcode::Mad:
    case Opcode::Movc:
    case Opcode::Sample:
        return 4;
    default:
        return 3;
    }
}

constexpr uint32_t kSaturateBit = 1u << 12;
constexpr uint32_t kNegBit = 1u << 4;
constexpr uint32_t kAbsBit = 1u << 5;

constexpr uint32_t EncodeInstruction(Opcode op, bool saturate = false) {
    return static_cast<uint32_t>(op) | (OperandCount(op) << 8) | (saturate ? kSaturateBit : 0);
}

// Swizzle from four component indices (0 = x ... 3 = w).
constexpr uint8_t Swizzle(unsigned x, unsigned y, unsigned z, unsigned w) {
    return static_cast<uint8_t>(x | (y << 2) | (z << 4) | (w << 6));
}
constexpr uint8_t kIdentitySwizzle = Swizzle(0, 1, 2, 3);

constexpr uint32_t EncodeOperandWord(RegFile file, uint32_t index, uint8_t swizzleOrMask, bool neg = false,
                                     bool abs = false) {
    return static_cast<uint32_t>(file) | (neg ? kNegBit : 0) | (abs ? kAbsBit : 0) |
           (static_cast<uint32_t>(swizzleOrMask) << 8) | (index << 16);
}

} // namespace platform::d3d10::isa
