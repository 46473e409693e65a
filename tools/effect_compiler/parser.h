// Parses effect source (HLSL for fx_4_0: structs, functions, global variables, cbuffers, sampler
// state blocks, technique10 with passes) into a Program. Throws CompileError naming the line.
#pragma once

#include <string>

#include "tools/effect_compiler/ast.h"

namespace unfold::fxc {

Program Parse(const std::string& source);

// Whether a name is one of HLSL's built-in type names this compiler knows (float4, int, matrix, ...).
bool IsBuiltinTypeName(const std::string& name);

} // namespace unfold::fxc
