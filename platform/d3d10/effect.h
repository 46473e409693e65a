// The effect object behind D3D10CreateEffectFromMemory: the loaded container, the device objects
// made from it (one constant buffer per buffer, one shader per shader, one sampler state per sampler
// element), and the variables, techniques and passes that reach them.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <d3d10effect.h>

#include "platform/d3d10/effect_format.h"
#include "platform/d3d10/effect_technique.h"
#include "platform/d3d10/effect_variable.h"
#include "platform/win32/com_ptr.h"

namespace platform::d3d10 {

class Effect final : public ID3D10Effect {
public:
    // E_INVALIDARG for a malformed container; a device failure's own code.
    static HRESULT Create(const void* data, size_t bytes, ID3D10Device* device, ID3D10Effect** effect);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ID3D10Effect
    BOOL STDMETHODCALLTYPE IsValid() override { return TRUE; }
    BOOL STDMETHODCALLTYPE IsPool() override { return FALSE; }
    HRESULT STDMETHODCALLTYPE GetDevice(ID3D10Device** ppDevice) override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3D10_EFFECT_DESC* pDesc) override;
    ID3D10EffectConstantBuffer* STDMETHODCALLTYPE GetConstantBufferByIndex(UINT Index) override;
    ID3D10EffectConstantBuffer* STDMETHODCALLTYPE GetConstantBufferByName(LPCSTR Name) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetVariableByIndex(UINT Index) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetVariableByName(LPCSTR Name) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetVariableBySemantic(LPCSTR Semantic) override;
    ID3D10EffectTechnique* STDMETHODCALLTYPE GetTechniqueByIndex(UINT Index) override;
    ID3D10EffectTechnique* STDMETHODCALLTYPE GetTechniqueByName(LPCSTR Name) override;
    HRESULT STDMETHODCALLTYPE Optimize() override;
    BOOL STDMETHODCALLTYPE IsOptimized() override { return optimized_; }

    // For passes.
    HRESULT apply(const EffectPassInfo& pass);
    const EffectLayout& layout() const { return layout_; }
    // Sets the bits of the state a pass touches.
    void stateMask(const EffectPassInfo& pass, D3D10_STATE_BLOCK_MASK& mask) const;

private:
    Effect() = default;
    ~Effect() = default;
    HRESULT initialize(ID3D10Device* device);

    std::atomic<ULONG> refs_{1};
    ComPtr<ID3D10Device> device_;
    EffectLayout layout_;
    std::vector<EffectBufferState> buffers_;
    std::vector<std::unique_ptr<EffectVariable>> bufferVariables_;
    std::vector<std::unique_ptr<EffectVariable>> variables_;
    std::vector<ComPtr<ID3D10VertexShader>> vertexShaders_; // by shader index (empty for pixel shaders)
    std::vector<ComPtr<ID3D10PixelShader>> pixelShaders_;
    std::vector<ComPtr<ID3D10SamplerState>> samplerStates_;
    std::vector<std::unique_ptr<EffectTechnique>> techniques_;
    bool optimized_ = false;
};

} // namespace platform::d3d10
