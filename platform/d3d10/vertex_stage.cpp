#include "platform/d3d10/vertex_stage.h"

#include <algorithm>
#include <cstring>

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

} // namespace

void BindShaderResources(ShaderVM& vm, const ShaderProgram& program, const ShaderBindings& bindings) {
    vm.bindConstants(bindings.constants);
    for (uint32_t slot : program.resourceSlots) vm.bindTexture(slot, bindings.textures[slot]);
    for (uint32_t slot : program.samplerSlots) vm.bindSampler(slot, bindings.samplers[slot]);
}

void RunVertexStage(const VertexShader& shader, const InputLayout* layout, const VertexStream* streams,
                    const ShaderBindings& bindings, uint32_t first, uint32_t count, ShadedVertices& out) {
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

    ShaderVM vm(shader.plan());
    BindShaderResources(vm, program, bindings);
    for (uint32_t base = 0; base < count; base += kLanes) {
        int lanes = int(std::min<uint32_t>(kLanes, count - base));
        for (const Fetch& f : fetches) {
            float* dst[4] = {vm.input(f.reg, 0), vm.input(f.reg, 1), vm.input(f.reg, 2), vm.input(f.reg, 3)};
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
}

} // namespace platform::d3d10
