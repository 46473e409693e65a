// Compiles an effect source file (HLSL, profile fx_4_0) into the effect container that
// D3D10CreateEffectFromMemory loads (platform/d3d10/effect_format.h).
//
// File scope: numeric globals go to the "$Globals" constant buffer in declaration order, named
// cbuffers to their own buffers, both packed by HLSL's rules (matrices column_major unless declared
// row_major); Texture2D and SamplerState globals become object variables with texture and sampler
// slots in declaration order (or their register()); static globals are compile-time values. Each
// pass's SetVertexShader/SetPixelShader(CompileShader(vs_4_0 | ps_4_0, Entry(uniform args))) makes
// one shader; SetGeometryShader takes NULL only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d10/effect_format.h"

namespace unfold::fxc {

// Throws CompileError.
platform::d3d10::EffectLayout CompileEffect(const std::string& source);

// The container bytes, or false with error = "file:line: error: message".
bool CompileEffectSource(const std::string& source, const std::string& fileName,
                         std::vector<uint8_t>& container, std::string& error);

// A readable listing of a container: buffers, variables with offsets, techniques, and each shader's
// disassembly.
std::string DescribeEffect(const platform::d3d10::EffectLayout& layout);

} // namespace unfold::fxc
