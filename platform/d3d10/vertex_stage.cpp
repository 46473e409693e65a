#include "platform/d3d10/vertex_stage.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d10/worker_pool.h"

namespace platform::d3d10 {

namespace {

struct Fetch {
    uint32_t reg;
    uint32_t mask;
    const VertexStream* stream;
    const InputElement* element;
};

void readElement(const InputElement& e, const uint8_t* p, float out[4]) {
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    if (e.format == DXGI_FORMAT_R8G8B8A8_UNORM) {
        for (int c = 0; c < 4; ++c) out[c] = float(p[c]) / 255.0f;
        return;
    }
    std::memcpy(out, p, e.components * 4);
}

// 64-bit FNV-1a over the vertices' words, folded for speed.
uint64_t hashOf(const std::vector<float>& data) {
    uint64_t h = 0xcbf29ce484222325ull;
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    size_t n = data.size() * sizeof(float), words = n / 8;
    for (size_t i = 0; i < words; ++i) {
        uint64_t w;
        std::memcpy(&w, p + i * 8, 8);
        h = (h ^ w) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (size_t i = words * 8; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

// The bytes of a constant buffer a program reads: its declared elements, as far as the buffer goes.
size_t constantBytesRead(const ShaderProgram& program, const ShaderBindings& bindings, unsigned slot) {
    const ConstantData& c = bindings.constants[slot];
    return c.data ? std::min(size_t(program.constantElements[slot]) * 16, c.bytes) : 0;
}

} // namespace

bool ShadedVertices::sameAs(const ShadedVertices& o) const {
    return count == o.count && stride == o.stride && positionOffset == o.positionOffset && hash == o.hash &&
           data.size() == o.data.size() &&
           (data.empty() || std::memcmp(data.data(), o.data.data(), data.size() * sizeof(float)) == 0);
}

bool VertexStageCache::matches(const Entry& e, const ShaderBindings& bindings) const {
    if (std::memcmp(&e.key, &key_, sizeof key_) != 0) return false;
    const uint8_t* stored = e.constants.data();
    for (unsigned i = 0; i < isa::kConstantBufferSlots; ++i) {
        size_t n = key_.constantBytes[i];
        if (n && std::memcmp(stored, bindings.constants[i].data, n) != 0) return false;
        stored += n;
    }
    return true;
}

std::shared_ptr<const ShadedVertices>
VertexStageCache::shade(const VertexShader& shader, const InputLayout* layout, const VertexStream* streams,
                        const uint64_t* versions, const ShaderBindings& bindings, uint32_t first,
                        uint32_t count, WorkerPool* pool) {
    const ShaderProgram& program = shader.program();
    bool cacheable = program.resourceSlots.empty() && program.inputs.size() <= kMaxInputs;
    if (cacheable) {
        std::memset(&key_, 0, sizeof key_);
        key_.plan = shader.plan().get();
        key_.first = first;
        key_.count = count;
        key_.inputs = uint32_t(program.inputs.size());
        for (size_t i = 0; i < program.inputs.size() && cacheable; ++i) {
            const auto& in = program.inputs[i];
            const InputElement* e = layout ? layout->find(in.semanticName, in.semanticIndex) : nullptr;
            Key::Input& k = key_.input[i];
            if (!e) {
                k.slot = ~0u; // reads (0, 0, 0, 1)
                continue;
            }
            const VertexStream& s = streams[e->slot];
            k = {e->slot,  uint32_t(e->format), e->components, e->offset, s.stride,
                 s.offset, versions[e->slot],   s.size};
            if (s.data && versions[e->slot] == 0) cacheable = false;
        }
        for (unsigned i = 0; i < isa::kConstantBufferSlots; ++i)
            key_.constantBytes[i] = constantBytesRead(program, bindings, i);
    }
    if (cacheable) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (matches(*it, bindings)) {
                std::rotate(entries_.begin(), it, it + 1);
                hits_++;
                return entries_.front().vertices;
            }
    }
    misses_++;
    auto shaded = std::make_shared<ShadedVertices>();
    RunVertexStage(shader, layout, streams, bindings, first, count, *shaded, pool);
    if (!cacheable) return shaded;

    Entry e;
    e.key = key_;
    e.plan = shader.plan();
    for (unsigned i = 0; i < isa::kConstantBufferSlots; ++i) {
        const auto* bytes = bindings.constants[i].data;
        e.constants.insert(e.constants.end(), bytes, bytes + key_.constantBytes[i]);
    }
    e.vertices = shaded;
    if (entries_.size() >= maxEntries_) entries_.pop_back();
    entries_.insert(entries_.begin(), std::move(e));
    return shaded;
}

void BindShaderResources(ShaderVM& vm, const ShaderProgram& program, const ShaderBindings& bindings) {
    vm.bindConstants(bindings.constants);
    for (uint32_t slot : program.resourceSlots) vm.bindTexture(slot, bindings.textures[slot]);
    for (uint32_t slot : program.samplerSlots) vm.bindSampler(slot, bindings.samplers[slot]);
}

void RunVertexStage(const VertexShader& shader, const InputLayout* layout, const VertexStream* streams,
                    const ShaderBindings& bindings, uint32_t first, uint32_t count, ShadedVertices& out,
                    WorkerPool* pool) {
    const ShaderProgram& program = shader.program();
    out.count = count;
    out.stride = program.outputRegisterCount * 4;
    out.positionOffset = program.findOutput(isa::SystemValue::Position)->reg * 4;
    out.data.assign(size_t(count) * out.stride, 0.0f);

    std::vector<Fetch> fetches;
    for (auto& in : program.inputs) {
        const InputElement* e = layout ? layout->find(in.semanticName, in.semanticIndex) : nullptr;
        fetches.push_back({in.reg, in.mask, e ? &streams[e->slot] : nullptr, e});
    }

    // Batches [begin, end) of kLanes vertices on one virtual machine.
    auto shadeBatches = [&](uint32_t begin, uint32_t end) {
        ShaderVM vm(shader.plan());
        BindShaderResources(vm, program, bindings);
        for (uint32_t batch = begin; batch < end; ++batch) {
            const uint32_t base = batch * kLanes;
            int lanes = int(std::min<uint32_t>(kLanes, count - base));
            for (const Fetch& f : fetches) {
                float* dst[4] = {vm.input(f.reg, 0), vm.input(f.reg, 1), vm.input(f.reg, 2),
                                 vm.input(f.reg, 3)};
                for (int i = 0; i < lanes; ++i) {
                    float v[4] = {0.0f, 0.0f, 0.0f, 1.0f};
                    if (f.element && f.stream->data) {
                        size_t at = size_t(f.stream->offset) +
                                    size_t(first + base + uint32_t(i)) * f.stream->stride + f.element->offset;
                        size_t bytes =
                            f.element->format == DXGI_FORMAT_R8G8B8A8_UNORM ? 4 : f.element->components * 4;
                        if (at + bytes <= f.stream->size)
                            readElement(*f.element, f.stream->data + at, v);
                        else
                            v[3] = 0.0f;
                    }
                    for (int c = 0; c < 4; ++c) dst[c][i] = v[c];
                }
            }
            vm.run(lanes);
            for (uint32_t r = 0; r < program.outputRegisterCount; ++r)
                for (unsigned c = 0; c < 4; ++c) {
                    const float* src = vm.output(r, c);
                    for (int i = 0; i < lanes; ++i)
                        out.data[size_t(base + uint32_t(i)) * out.stride + r * 4 + c] = src[i];
                }
        }
    };
    // A few batches are not worth waking the pool for.
    constexpr uint32_t kPartsFrom = 8; // batches
    const uint32_t batches = (count + kLanes - 1) / kLanes;
    if (!pool || pool->threads() < 2 || batches < kPartsFrom) {
        shadeBatches(0, batches);
    } else {
        const unsigned parts = pool->threads();
        pool->run([&](unsigned part) {
            shadeBatches(uint32_t(uint64_t(batches) * part / parts),
                         uint32_t(uint64_t(batches) * (part + 1) / parts));
        });
    }
    out.hash = hashOf(out.data);
}

} // namespace platform::d3d10
