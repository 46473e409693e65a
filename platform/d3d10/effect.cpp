#include "platform/d3d10/effect.h"

#include <new>
#include <strings.h>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace platform::d3d10 {

namespace {

void setBit(BYTE* bits, uint32_t index) {
    bits[index / 8] |= static_cast<BYTE>(1u << (index % 8));
}

} // namespace

HRESULT Effect::Create(const void* data, size_t bytes, ID3D10Device* device, ID3D10Effect** effect) {
    struct Releaser {
        void operator()(Effect* e) const { e->Release(); }
    };
    std::unique_ptr<Effect, Releaser> e(new (std::nothrow) Effect);
    if (!e) return E_OUTOFMEMORY;
    std::string why;
    if (FAILED(ReadEffect(data, bytes, e->layout_, &why))) {
        WARN("d3d10", "refused effect container: %s", why.c_str());
        return E_INVALIDARG;
    }
    if (HRESULT hr = e->initialize(device); FAILED(hr)) return hr;
    *effect = e.release();
    return S_OK;
}

HRESULT Effect::initialize(ID3D10Device* device) {
    device_ = ComPtr<ID3D10Device>(device);
    HRESULT hr;

    // Constant buffers start with their default values (zeros without any), already uploaded.
    buffers_.resize(layout_.buffers.size());
    for (size_t i = 0; i < layout_.buffers.size(); ++i) {
        const EffectBufferInfo& info = layout_.buffers[i];
        EffectBufferState& state = buffers_[i];
        state.data = info.initialData.empty() ? std::vector<uint8_t>(info.size, 0) : info.initialData;
        D3D10_BUFFER_DESC desc{info.size, D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0};
        D3D10_SUBRESOURCE_DATA initial{state.data.data(), 0, 0};
        if (FAILED(hr = device->CreateBuffer(&desc, &initial, state.buffer.put()))) return hr;
        state.dirty = false;
        bufferVariables_.push_back(EffectVariable::Buffer(info, &state));
    }

    samplerStates_.resize(layout_.samplers.size());
    for (size_t i = 0; i < layout_.samplers.size(); ++i)
        if (FAILED(hr = device->CreateSamplerState(&layout_.samplers[i], samplerStates_[i].put()))) return hr;

    for (const EffectVariableInfo& info : layout_.variables) {
        std::unique_ptr<EffectVariable> v;
        if (!info.isObject()) {
            EffectVariable* parent = bufferVariables_[info.buffer].get();
            v = EffectVariable::Numeric(info, &buffers_[info.buffer], parent);
            parent->addMember(v.get());
        } else if (info.varType == D3D10_SVT_SAMPLER) {
            v = EffectVariable::Sampler(info, &samplerStates_[info.firstSampler],
                                        &layout_.samplers[info.firstSampler]);
        } else {
            v = EffectVariable::Texture(info);
        }
        variables_.push_back(std::move(v));
    }

    vertexShaders_.resize(layout_.shaders.size());
    pixelShaders_.resize(layout_.shaders.size());
    for (size_t i = 0; i < layout_.shaders.size(); ++i) {
        const EffectShaderInfo& s = layout_.shaders[i];
        const void* code = s.bytecode.data();
        SIZE_T size = s.bytecode.size() * sizeof(uint32_t);
        hr = s.stage == isa::Stage::Vertex ? device->CreateVertexShader(code, size, vertexShaders_[i].put())
                                           : device->CreatePixelShader(code, size, pixelShaders_[i].put());
        if (FAILED(hr)) return hr;
    }

    for (const EffectTechniqueInfo& t : layout_.techniques)
        techniques_.push_back(std::make_unique<EffectTechnique>(this, &t));
    return S_OK;
}

HRESULT Effect::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3D10Effect) {
        *ppvObject = static_cast<ID3D10Effect*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG Effect::AddRef() {
    return ++refs_;
}

ULONG Effect::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

HRESULT Effect::GetDevice(ID3D10Device** ppDevice) {
    if (!ppDevice) return E_INVALIDARG;
    device_.copyTo(ppDevice);
    return S_OK;
}

HRESULT Effect::GetDesc(D3D10_EFFECT_DESC* pDesc) {
    if (!pDesc) return E_INVALIDARG;
    *pDesc = D3D10_EFFECT_DESC{};
    pDesc->ConstantBuffers = static_cast<UINT>(layout_.buffers.size());
    pDesc->GlobalVariables = static_cast<UINT>(layout_.variables.size());
    pDesc->Techniques = static_cast<UINT>(layout_.techniques.size());
    return S_OK;
}

ID3D10EffectConstantBuffer* Effect::GetConstantBufferByIndex(UINT Index) {
    if (Index >= bufferVariables_.size()) return EffectVariable::Invalid();
    return bufferVariables_[Index].get();
}

ID3D10EffectConstantBuffer* Effect::GetConstantBufferByName(LPCSTR Name) {
    if (Name)
        for (auto& b : bufferVariables_)
            if (b->name() == Name) return b.get();
    return EffectVariable::Invalid();
}

ID3D10EffectVariable* Effect::GetVariableByIndex(UINT Index) {
    if (Index >= variables_.size()) return EffectVariable::Invalid()->asVariable();
    return variables_[Index]->asVariable();
}

ID3D10EffectVariable* Effect::GetVariableByName(LPCSTR Name) {
    if (Name)
        for (auto& v : variables_)
            if (v->name() == Name) return v->asVariable();
    return EffectVariable::Invalid()->asVariable();
}

ID3D10EffectVariable* Effect::GetVariableBySemantic(LPCSTR Semantic) {
    if (Semantic)
        for (auto& v : variables_)
            if (!v->semantic().empty() && strcasecmp(v->semantic().c_str(), Semantic) == 0)
                return v->asVariable();
    return EffectVariable::Invalid()->asVariable();
}

ID3D10EffectTechnique* Effect::GetTechniqueByIndex(UINT Index) {
    if (Index >= techniques_.size()) return EffectTechnique::Invalid();
    return techniques_[Index].get();
}

ID3D10EffectTechnique* Effect::GetTechniqueByName(LPCSTR Name) {
    if (Name)
        for (size_t i = 0; i < techniques_.size(); ++i)
            if (layout_.techniques[i].name == Name) return techniques_[i].get();
    return EffectTechnique::Invalid();
}

HRESULT Effect::Optimize() {
    optimized_ = true;
    return S_OK;
}

HRESULT Effect::apply(const EffectPassInfo& pass) {
    ID3D10Device* d = device_.get();
    d->VSSetShader(pass.vertexShader != kNone ? vertexShaders_[pass.vertexShader].get() : nullptr);
    d->GSSetShader(nullptr);
    d->PSSetShader(pass.pixelShader != kNone ? pixelShaders_[pass.pixelShader].get() : nullptr);
    for (uint32_t index : {pass.vertexShader, pass.pixelShader}) {
        if (index == kNone) continue;
        const EffectShaderInfo& shader = layout_.shaders[index];
        bool vertex = shader.stage == isa::Stage::Vertex;
        for (const EffectBinding& b : shader.bindings) {
            switch (b.kind) {
            case BindingKind::ConstantBuffer: {
                EffectBufferState& s = buffers_[b.index];
                if (!s.userBuffer && s.dirty) {
                    d->UpdateSubresource(s.buffer.get(), 0, nullptr, s.data.data(), 0, 0);
                    s.dirty = false;
                }
                ID3D10Buffer* buffer = s.bound();
                if (vertex)
                    d->VSSetConstantBuffers(b.slot, 1, &buffer);
                else
                    d->PSSetConstantBuffers(b.slot, 1, &buffer);
                break;
            }
            case BindingKind::Texture: {
                ID3D10ShaderResourceView* view = variables_[b.index]->resource(b.element);
                if (vertex)
                    d->VSSetShaderResources(b.slot, 1, &view);
                else
                    d->PSSetShaderResources(b.slot, 1, &view);
                break;
            }
            case BindingKind::Sampler: {
                ID3D10SamplerState* sampler = variables_[b.index]->samplerState(b.element);
                if (vertex)
                    d->VSSetSamplers(b.slot, 1, &sampler);
                else
                    d->PSSetSamplers(b.slot, 1, &sampler);
                break;
            }
            }
        }
    }
    return S_OK;
}

void Effect::stateMask(const EffectPassInfo& pass, D3D10_STATE_BLOCK_MASK& mask) const {
    mask.VS = 1;
    mask.GS = 1;
    mask.PS = 1;
    for (uint32_t index : {pass.vertexShader, pass.pixelShader}) {
        if (index == kNone) continue;
        const EffectShaderInfo& shader = layout_.shaders[index];
        bool vertex = shader.stage == isa::Stage::Vertex;
        for (const EffectBinding& b : shader.bindings) {
            if (b.kind == BindingKind::ConstantBuffer)
                setBit(vertex ? mask.VSConstantBuffers : mask.PSConstantBuffers, b.slot);
            else if (b.kind == BindingKind::Texture)
                setBit(vertex ? mask.VSShaderResources : mask.PSShaderResources, b.slot);
            else
                setBit(vertex ? mask.VSSamplers : mask.PSSamplers, b.slot);
        }
    }
}

} // namespace platform::d3d10

STDAPI D3D10CreateEffectFromMemory(void* pData, SIZE_T DataLength, UINT FXFlags, ID3D10Device* pDevice,
                                   ID3D10EffectPool* pEffectPool, ID3D10Effect** ppEffect) {
    TRACE("d3d10", "data %p, %zu bytes, flags 0x%x, device %p, pool %p", pData, size_t(DataLength), FXFlags,
          static_cast<void*>(pDevice), static_cast<void*>(pEffectPool));
    if (!ppEffect) return E_INVALIDARG;
    *ppEffect = nullptr;
    if (HRESULT hr = platform::InjectedFault("D3D10CreateEffectFromMemory"); FAILED(hr)) return hr;
    if (!pData || !pDevice) return E_INVALIDARG;
    if (pEffectPool || (FXFlags & D3D10_EFFECT_COMPILE_CHILD_EFFECT)) {
        FIXME("d3d10", "effect pools and child effects are not supported");
        return E_NOTIMPL;
    }
    if (FXFlags & ~UINT(D3D10_EFFECT_SINGLE_THREADED | D3D10_EFFECT_COMPILE_ALLOW_SLOW_OPS))
        return E_INVALIDARG;
    try {
        return platform::d3d10::Effect::Create(pData, DataLength, pDevice, ppEffect);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
