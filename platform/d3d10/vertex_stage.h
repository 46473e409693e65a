// Input assembly and the vertex stage: fetches vertices through the input layout and runs the vertex
// program on them, kLanes at a time.
#pragma once

#include <cstdint>
#include <memory>
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
    uint64_t hash = 0; // of data, filled by RunVertexStage
    const float* vertex(uint32_t i) const { return data.data() + size_t(i) * stride; }
    // Bit for bit the same vertices (-0.0 and NaN compare as what they are).
    bool sameAs(const ShadedVertices& o) const;
};

struct ShaderBindings {
    const ConstantData* constants;   // kConstantBufferSlots entries
    const SampledTexture* textures;  // kResourceSlots entries
    const SamplerSettings* samplers; // kSamplerSlots entries
};

class WorkerPool;

// Reads `count` vertices starting at `first`. An element that lies beyond the end of its buffer reads
// as zero, as out-of-range vertex fetches do on Direct3D 10. With a pool, a draw of many vertices is
// shaded on all its threads, each a contiguous share of the batches; the vertices are the same.
void RunVertexStage(const VertexShader& shader, const InputLayout* layout, const VertexStream* streams,
                    const ShaderBindings& bindings, uint32_t first, uint32_t count, ShadedVertices& out,
                    WorkerPool* pool = nullptr);

// The vertex stage's output of recent draws. A draw whose vertex program, input elements, vertex buffer
// contents (by version), strides, offsets, vertex range and read constants are those of an earlier one
// gets that draw's vertices again instead of running the program. A program that samples textures is
// always run.
class VertexStageCache {
public:
    explicit VertexStageCache(size_t maxEntries = 8) : maxEntries_(maxEntries) {}

    // versions: per input slot the content version of the bound vertex buffer, 0 where the buffer's
    // contents cannot be trusted to stay with its version (mapped); such a draw is shaded afresh.
    std::shared_ptr<const ShadedVertices> shade(const VertexShader& shader, const InputLayout* layout,
                                                const VertexStream* streams, const uint64_t* versions,
                                                const ShaderBindings& bindings, uint32_t first,
                                                uint32_t count, WorkerPool* pool = nullptr);
    void clear() { entries_.clear(); }
    uint64_t hits() const { return hits_; }
    uint64_t misses() const { return misses_; }

private:
    static constexpr unsigned kMaxInputs = 16;
    // Everything but the constants' bytes, compared as bytes (built zeroed, so padding compares too).
    struct Key {
        const void* plan;
        uint32_t first, count, inputs;
        struct Input {
            uint32_t slot, format, components, offset, stride, streamOffset;
            uint64_t version;
            uint64_t size;
        } input[kMaxInputs];
        uint64_t constantBytes[isa::kConstantBufferSlots]; // bytes read from each slot's buffer
    };
    struct Entry {
        Key key;
        std::shared_ptr<const ExecutionPlan> plan; // keeps the plan the key names alive
        std::vector<uint8_t> constants;            // the bytes read, slot after slot
        std::shared_ptr<const ShadedVertices> vertices;
    };
    bool matches(const Entry& e, const ShaderBindings& bindings) const;

    size_t maxEntries_;
    std::vector<Entry> entries_; // most recent first
    Key key_;                    // the draw being looked up
    uint64_t hits_ = 0, misses_ = 0;
};

// Binds what a program uses into a VM.
void BindShaderResources(ShaderVM& vm, const ShaderProgram& program, const ShaderBindings& bindings);

} // namespace platform::d3d10
