// Immutable pipeline objects: rasterizer, blend, depth-stencil and sampler states, input layouts and
// shaders. Each keeps its description exactly as created and is validated on creation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/d3d10/device_child.h"
#include "platform/d3d10/sampler.h"
#include "platform/d3d10/shader_vm.h"

namespace platform::d3d10 {

template <class I, class Derived, class Desc, const IID& Iid>
class StateObject : public DeviceChild<I, Derived> {
public:
    static bool answers(REFIID riid) { return riid == Iid; }
    StateObject(Device* device, const Desc& desc) : DeviceChild<I, Derived>(device), desc_(desc) {}
    void STDMETHODCALLTYPE GetDesc(Desc* desc) override { *desc = desc_; }
    const Desc& desc() const { return desc_; }

private:
    Desc desc_;
};

class RasterizerState final : public StateObject<ID3D10RasterizerState, RasterizerState,
                                                 D3D10_RASTERIZER_DESC, IID_ID3D10RasterizerState> {
public:
    using StateObject::StateObject;
    static HRESULT Create(Device* device, const D3D10_RASTERIZER_DESC* desc, RasterizerState** out);
    // The state in force when none is bound: solid, back faces culled, clockwise front faces, depth clip on.
    static const D3D10_RASTERIZER_DESC& Default();
};

class BlendState final
    : public StateObject<ID3D10BlendState, BlendState, D3D10_BLEND_DESC, IID_ID3D10BlendState> {
public:
    using StateObject::StateObject;
    static HRESULT Create(Device* device, const D3D10_BLEND_DESC* desc, BlendState** out);
    static const D3D10_BLEND_DESC& Default();
};

class DepthStencilState final : public StateObject<ID3D10DepthStencilState, DepthStencilState,
                                                   D3D10_DEPTH_STENCIL_DESC, IID_ID3D10DepthStencilState> {
public:
    using StateObject::StateObject;
    static HRESULT Create(Device* device, const D3D10_DEPTH_STENCIL_DESC* desc, DepthStencilState** out);
    static const D3D10_DEPTH_STENCIL_DESC& Default();
};

class SamplerState final
    : public StateObject<ID3D10SamplerState, SamplerState, D3D10_SAMPLER_DESC, IID_ID3D10SamplerState> {
public:
    SamplerState(Device* device, const D3D10_SAMPLER_DESC& desc)
        : StateObject(device, desc), settings_(SamplerSettings::From(desc)) {}
    static HRESULT Create(Device* device, const D3D10_SAMPLER_DESC* desc, SamplerState** out);
    static const D3D10_SAMPLER_DESC& Default();
    const SamplerSettings& settings() const { return settings_; }

private:
    SamplerSettings settings_;
};

struct InputElement {
    std::string semantic; // upper case
    uint32_t semanticIndex;
    DXGI_FORMAT format;
    uint32_t slot;
    uint32_t offset; // bytes, append-aligned offsets resolved
    uint32_t components;
};

class InputLayout final : public DeviceChild<ID3D10InputLayout, InputLayout> {
public:
    static bool answers(REFIID riid) { return riid == IID_ID3D10InputLayout; }
    // The signature is a complete vertex program; every input it reads must be in the layout.
    static HRESULT Create(Device* device, const D3D10_INPUT_ELEMENT_DESC* elements, UINT count,
                          const void* signature, SIZE_T bytes, InputLayout** out);
    const std::vector<InputElement>& elements() const { return elements_; }
    const InputElement* find(const char* semantic, uint32_t index) const;

private:
    InputLayout(Device* device, std::vector<InputElement> elements)
        : DeviceChild(device), elements_(std::move(elements)) {}
    std::vector<InputElement> elements_;
};

template <class I, class Derived, const IID& Iid, isa::Stage kStage>
class Shader : public DeviceChild<I, Derived> {
public:
    static bool answers(REFIID riid) { return riid == Iid; }
    static HRESULT Create(Device* device, const void* code, SIZE_T bytes, Derived** out) {
        *out = nullptr;
        ShaderProgram program;
        if (!code || FAILED(DecodeShader(code, bytes, program)) || program.stage != kStage)
            return E_INVALIDARG;
        try {
            *out = new Derived(device, std::make_shared<const ExecutionPlan>(program));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    Shader(Device* device, std::shared_ptr<const ExecutionPlan> plan)
        : DeviceChild<I, Derived>(device), plan_(std::move(plan)) {}
    const std::shared_ptr<const ExecutionPlan>& plan() const { return plan_; }
    const ShaderProgram& program() const { return plan_->program(); }

private:
    std::shared_ptr<const ExecutionPlan> plan_;
};

class VertexShader final
    : public Shader<ID3D10VertexShader, VertexShader, IID_ID3D10VertexShader, isa::Stage::Vertex> {
public:
    using Shader::Shader;
};

class PixelShader final
    : public Shader<ID3D10PixelShader, PixelShader, IID_ID3D10PixelShader, isa::Stage::Pixel> {
public:
    using Shader::Shader;
};

// Case-insensitive semantic comparison, as Direct3D matches semantics.
bool SameSemantic(const std::string& a, const char* b);

} // namespace platform::d3d10
