// The straight-line code of one shader before registers are assigned. Temporaries are virtual
// (unbounded) while the shader is generated; finish() drops instructions whose results are never
// read, gives each virtual register a VM temp for its live range and emits the program.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "platform/d3d10/shader_builder.h"

namespace unfold::fxc {

struct IrInstruction {
    platform::d3d10::isa::Opcode op;
    bool saturate = false;
    platform::d3d10::Operand dst;
    platform::d3d10::Operand src[3];
};

struct SlotUse {
    std::set<uint32_t> constantBuffers, textures, samplers;
};

class ShaderIr {
public:
    uint32_t newTemp() { return nextTemp_++; }
    void emit(const IrInstruction& instruction) { code_.push_back(instruction); }

    // Throws CompileError (at `line`) when the shader needs more VM temps than there are.
    SlotUse finish(platform::d3d10::ShaderBuilder& builder, int line);

    size_t size() const { return code_.size(); }

private:
    std::vector<IrInstruction> code_;
    uint32_t nextTemp_ = 0;
};

} // namespace unfold::fxc
