// What an expression evaluates to while a shader is generated: a compile-time constant, a register
// operand of the VM, or a composite of such values.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/d3d10/shader_builder.h"
#include "tools/effect_compiler/types.h"

namespace unfold::fxc {

struct Value {
    Type type;
    // Scalars and vectors: either constant component bits, or an operand whose swizzle gives, at
    // position i, the register component that holds component i of the value.
    bool constant = false;
    std::array<uint32_t, 4> bits{};
    platform::d3d10::Operand operand;
    // Matrices: one vector per row (or per column when `columns`); structs: one value per member;
    // arrays: one value per element.
    std::vector<Value> parts;
    bool columns = false;
    // Textures and samplers: index of the global object.
    int object = -1;

    // The same value: identical constants, or the same register and swizzle.
    bool sameAs(const Value& o) const;
};

} // namespace unfold::fxc
