// Techniques and passes of an effect. Like variables, they are not reference counted: they live as
// long as their effect, and a failed lookup gives the invalid technique or pass, whose IsValid() is
// FALSE and whose methods fail with E_FAIL.
#pragma once

#include <memory>
#include <vector>

#include <d3d10effect.h>

#include "platform/d3d10/effect_format.h"

namespace platform::d3d10 {

class Effect;

class EffectPass final : public ID3D10EffectPass {
public:
    EffectPass() = default;
    EffectPass(Effect* effect, const EffectPassInfo* info) : effect_(effect), info_(info) {}
    static EffectPass* Invalid();

    BOOL STDMETHODCALLTYPE IsValid() override { return effect_ != nullptr; }
    // pIAInputSignature points at the bytecode of the pass's vertex shader, which is what
    // CreateInputLayout matches a layout against on this device.
    HRESULT STDMETHODCALLTYPE GetDesc(D3D10_PASS_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetVertexShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetGeometryShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetPixelShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByIndex(UINT Index) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByName(LPCSTR Name) override;
    // Binds the pass's shaders (and a null geometry shader), uploads dirty constant buffers and binds
    // them, and binds the shader resources and samplers the shaders read, each to its slot.
    HRESULT STDMETHODCALLTYPE Apply(UINT Flags) override;
    HRESULT STDMETHODCALLTYPE ComputeStateBlockMask(D3D10_STATE_BLOCK_MASK* pStateBlockMask) override;

private:
    HRESULT shaderDesc(D3D10_PASS_SHADER_DESC* pDesc);

    Effect* effect_ = nullptr;
    const EffectPassInfo* info_ = nullptr;
};

class EffectTechnique final : public ID3D10EffectTechnique {
public:
    EffectTechnique() = default;
    EffectTechnique(Effect* effect, const EffectTechniqueInfo* info);
    static EffectTechnique* Invalid();

    BOOL STDMETHODCALLTYPE IsValid() override { return effect_ != nullptr; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3D10_TECHNIQUE_DESC* pDesc) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByIndex(UINT Index) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByName(LPCSTR Name) override;
    ID3D10EffectPass* STDMETHODCALLTYPE GetPassByIndex(UINT Index) override;
    ID3D10EffectPass* STDMETHODCALLTYPE GetPassByName(LPCSTR Name) override;
    HRESULT STDMETHODCALLTYPE ComputeStateBlockMask(D3D10_STATE_BLOCK_MASK* pStateBlockMask) override;

private:
    Effect* effect_ = nullptr;
    const EffectTechniqueInfo* info_ = nullptr;
    std::vector<std::unique_ptr<EffectPass>> passes_;
};

} // namespace platform::d3d10
