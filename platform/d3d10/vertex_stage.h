// Input assembly and the vertex stage: fetches vertices through the input layout and runs the vertex
// program on them, kLanes at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d10/state_objects.h"

namespace platform::d3d10 {

struct VertexStream {
    const uint8_t* data = nullptr;
    size_t size = 0; // bytes
    uint32_t stride = 0;
    uint32_t offset = 0;
};

// What the vertex stage produced for one draw: every output register of every vertex.
struct ShadedVertices {
    uint32_t count = 0;
    uint32_t stride = 0;         // floats per vertex: four per output register
    uint32_t positionOffset = 0; // float offset of SV_Position within a vertex
    std::vector<float> data;
    const float* vertex(uint32_t i) const { return data.data() + size_t(i) * stride; }
};

struct ShaderBindings {
    const ConstantData* constants;   // kConstantBufferSlots entries
    const SampledTexture* textures;  // kResourceSlots entries
    const SamplerSettings* samplers; // kSamplerSlots entries
};

// Reads `count` vertices starting at `first`. An element that lies beyond the end of its buffer reads
// as zero, as out-of-range vertex fetches do on Direct3D 10.
void RunVertexStage(const VertexShader& shader, const InputLayout* layout, const VertexStream* streams,
                    const ShaderBindings& bindings, uint32_t first, uint32_t count, ShadedVertices& out);

// Binds what a program uses into a VM.
void BindShaderResources(ShaderVM& vm, const ShaderProgram& program, const ShaderBindings& bindings);

} // namespace platform::d3d10
