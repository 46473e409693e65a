// The effect container: what the effect compiler writes and D3D10CreateEffectFromMemory reads.
//
// Little-endian 32-bit words throughout, version kEffectVersion:
//
//   Header      magic "UFX1", version, file size, reserved (0), then one Section {offset, count} for
//               each table below, in this order. Offsets are bytes from the start of the file and
//               multiples of 4; counts are records, or bytes for the two byte tables.
//   strings     bytes: zero-terminated UTF-8 names. A string is referred to by its byte offset here;
//               kNone means "no string".
//   buffers     BufferRecord[]: constant buffers, each owning a contiguous run of variables.
//   variables   VariableRecord[]: the effect's global variables, numeric ones (in a buffer) first in
//               buffer order, then object variables (textures, samplers), in declaration order.
//   samplers    SamplerRecord[]: the state of each sampler variable element (D3D10_SAMPLER_DESC).
//   shaders     ShaderRecord[]: VM bytecode (see shader_isa.h) and the slots the shader reads.
//   bindings    BindingRecord[]: per shader, which buffer or object element goes to which slot.
//   techniques  TechniqueRecord[], each owning a contiguous run of passes.
//   passes      PassRecord[]: the shaders a pass sets; kNone sets a null shader.
//   data        bytes: initial buffer contents and shader bytecode, addressed by (offset, size).
//
// Numeric variables are packed by HLSL's constant-buffer rules (EffectPackedSize): an element never
// straddles a 16-byte register, arrays and matrices start on a register and each array element
// starts on its own register. The reader checks every offset, length, index and enumerant before it
// is used, so a damaged container is refused rather than read out of bounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <d3d10.h>
#include <d3d10effect.h>

#include "platform/d3d10/shader_isa.h"

namespace platform::d3d10 {

constexpr uint32_t kEffectMagic = 0x31584655; // "UFX1"
constexpr uint32_t kEffectVersion = 1;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kMaxBufferBytes = 4096 * 16;
constexpr uint32_t kMaxArrayElements = 4096;

namespace format {

struct Section {
    uint32_t offset;
    uint32_t count;
};

struct Header {
    uint32_t magic;
    uint32_t version;
    uint32_t fileSize;
    uint32_t reserved;
    Section strings, buffers, variables, samplers, shaders, bindings, techniques, passes, data;
};

struct BufferRecord {
    uint32_t name;
    uint32_t size;         // bytes, a multiple of 16
    uint32_t explicitSlot; // register(bN), or kNone
    uint32_t initialData;  // offset in data of `size` bytes, or kNone for zeros
    uint32_t firstVariable;
    uint32_t variableCount;
};

struct VariableRecord {
    uint32_t name;
    uint32_t semantic; // kNone without one
    uint32_t typeName; // "float4x4", "Texture2D", ...
    uint32_t varClass; // D3D10_SHADER_VARIABLE_CLASS
    uint32_t varType;  // D3D10_SHADER_VARIABLE_TYPE
    uint32_t rows;
    uint32_t columns;
    uint32_t elements;          // 0 when not an array
    uint32_t buffer;            // numeric variables: index into buffers; objects: kNone
    uint32_t offset;            // byte offset in the buffer
    uint32_t size;              // bytes covered in the buffer, EffectPackedSize of the type
    uint32_t explicitBindPoint; // register(...) of an object or buffer, or kNone
    uint32_t firstSampler;      // samplers: index into the sampler table, else kNone
};

// D3D10_SAMPLER_DESC field for field, floats as their bits.
struct SamplerRecord {
    uint32_t filter, addressU, addressV, addressW;
    uint32_t mipLODBias, maxAnisotropy, comparisonFunc;
    uint32_t borderColor[4];
    uint32_t minLOD, maxLOD;
};

struct ShaderRecord {
    uint32_t stage; // isa::Stage
    uint32_t bytecode;
    uint32_t bytecodeSize;
    uint32_t firstBinding;
    uint32_t bindingCount;
};

struct BindingRecord {
    uint32_t kind;    // BindingKind
    uint32_t index;   // buffer index, or variable index for textures and samplers
    uint32_t element; // array element of the variable (0 when not an array)
    uint32_t slot;    // cbN, tN or sN
};

struct TechniqueRecord {
    uint32_t name;
    uint32_t firstPass;
    uint32_t passCount;
};

struct PassRecord {
    uint32_t name;
    uint32_t vertexShader;   // index into shaders, or kNone
    uint32_t geometryShader; // always kNone: the device has no geometry stage
    uint32_t pixelShader;
};

} // namespace format

enum class BindingKind : uint32_t { ConstantBuffer = 0, Texture = 1, Sampler = 2 };

// The container as plain data: the compiler fills one and writes it; the reader returns one.
struct EffectBinding {
    BindingKind kind = BindingKind::ConstantBuffer;
    uint32_t index = 0;
    uint32_t element = 0;
    uint32_t slot = 0;
};

struct EffectShaderInfo {
    isa::Stage stage = isa::Stage::Vertex;
    std::vector<uint32_t> bytecode;
    std::vector<EffectBinding> bindings;
};

struct EffectVariableInfo {
    std::string name, semantic, typeName;
    D3D10_SHADER_VARIABLE_CLASS varClass = D3D10_SVC_SCALAR;
    D3D10_SHADER_VARIABLE_TYPE varType = D3D10_SVT_FLOAT;
    uint32_t rows = 1, columns = 1, elements = 0;
    uint32_t buffer = kNone;
    uint32_t offset = 0, size = 0;
    uint32_t explicitBindPoint = kNone;
    uint32_t firstSampler = kNone;

    bool isObject() const { return varClass == D3D10_SVC_OBJECT; }
    uint32_t elementCount() const { return elements ? elements : 1; }
};

struct EffectBufferInfo {
    std::string name;
    uint32_t size = 0;
    uint32_t explicitSlot = kNone;
    std::vector<uint8_t> initialData; // empty, or `size` bytes
    uint32_t firstVariable = 0, variableCount = 0;
};

struct EffectPassInfo {
    std::string name;
    uint32_t vertexShader = kNone, geometryShader = kNone, pixelShader = kNone;
};

struct EffectTechniqueInfo {
    std::string name;
    std::vector<EffectPassInfo> passes;
};

struct EffectLayout {
    std::vector<EffectBufferInfo> buffers;
    std::vector<EffectVariableInfo> variables;
    std::vector<D3D10_SAMPLER_DESC> samplers;
    std::vector<EffectShaderInfo> shaders;
    std::vector<EffectTechniqueInfo> techniques;
};

// Bytes a numeric variable covers in a constant buffer: elements are padded to whole registers
// except the last; a column-major matrix is one register per column.
uint32_t EffectPackedSize(D3D10_SHADER_VARIABLE_CLASS varClass, uint32_t rows, uint32_t columns,
                          uint32_t elements);
// Bytes of one element, and the stride between array elements.
uint32_t EffectElementSize(D3D10_SHADER_VARIABLE_CLASS varClass, uint32_t rows, uint32_t columns);
inline uint32_t EffectElementStride(D3D10_SHADER_VARIABLE_CLASS varClass, uint32_t rows, uint32_t columns) {
    return (EffectElementSize(varClass, rows, columns) + 15u) & ~15u;
}

std::vector<uint8_t> WriteEffect(const EffectLayout& layout);

// E_INVALIDARG for anything malformed, truncated or out of range; error (when given) says what.
HRESULT ReadEffect(const void* data, size_t bytes, EffectLayout& layout, std::string* error = nullptr);

} // namespace platform::d3d10
