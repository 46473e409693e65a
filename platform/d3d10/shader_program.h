// A shader program decoded from VM bytecode and checked, so that the VM can run it without bounds
// checks: every register, constant, literal and slot index it names is within range.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/d3d10/shader_isa.h"

namespace platform::d3d10 {

struct DecodedOperand {
    isa::RegFile file = isa::RegFile::Null;
    uint32_t index = 0;
    uint32_t slot = 0;
    uint8_t swizzle = isa::kIdentitySwizzle;
    uint8_t mask = 0;
    bool neg = false;
    bool abs = false;
    unsigned component(unsigned i) const { return (swizzle >> (2 * i)) & 3; }
};

struct DecodedInstruction {
    isa::Opcode op = isa::Opcode::Ret;
    bool saturate = false;
    uint8_t operandCount = 0;
    DecodedOperand operands[4];
};

struct ShaderProgram {
    isa::Stage stage = isa::Stage::Vertex;
    uint32_t tempCount = 0;
    std::vector<isa::SignatureElement> inputs;
    std::vector<isa::SignatureElement> outputs;
    std::vector<std::array<uint32_t, 4>> literals;
    std::vector<DecodedInstruction> code; // ends at the first Ret
    uint32_t inputRegisterCount = 0;      // highest declared input register + 1
    uint32_t outputRegisterCount = 0;
    std::array<uint32_t, isa::kConstantBufferSlots>
        constantElements{};              // elements read per slot (max index + 1)
    std::vector<uint32_t> resourceSlots; // shader-resource slots sampled
    std::vector<uint32_t> samplerSlots;
    std::vector<uint32_t> bytecode; // the words it was decoded from

    const isa::SignatureElement* findOutput(isa::SystemValue sv) const;
};

// E_INVALIDARG for malformed or truncated bytecode; error (when given) says what is wrong.
HRESULT DecodeShader(const void* bytecode, size_t bytes, ShaderProgram& program,
                     std::string* error = nullptr);

const char* OpcodeName(isa::Opcode op);

} // namespace platform::d3d10
