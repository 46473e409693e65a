#include "platform/d3d10/effect_technique.h"

#include <cstring>

#include "platform/d3d10/effect.h"
#include "platform/win32/debug.h"

namespace platform::d3d10 {

// ---- passes ----

EffectPass* EffectPass::Invalid() {
    static EffectPass invalid;
    return &invalid;
}

HRESULT EffectPass::GetDesc(D3D10_PASS_DESC* pDesc) {
    if (!effect_) return E_FAIL;
    if (!pDesc) return E_INVALIDARG;
    *pDesc = D3D10_PASS_DESC{};
    pDesc->Name = info_->name.c_str();
    pDesc->SampleMask = 0xFFFFFFFF;
    if (info_->vertexShader != kNone) {
        const auto& code = effect_->layout().shaders[info_->vertexShader].bytecode;
        pDesc->pIAInputSignature = const_cast<BYTE*>(reinterpret_cast<const BYTE*>(code.data()));
        pDesc->IAInputSignatureSize = code.size() * sizeof(uint32_t);
    }
    return S_OK;
}

HRESULT EffectPass::shaderDesc(D3D10_PASS_SHADER_DESC* pDesc) {
    if (!effect_) return E_FAIL;
    if (!pDesc) return E_INVALIDARG;
    // Shaders are inline in the passes; this platform has no shader variables to hand out.
    pDesc->pShaderVariable = EffectVariable::Invalid();
    pDesc->ShaderIndex = 0;
    FIXME("d3d10", "shader variables of passes are not provided");
    return E_NOTIMPL;
}

HRESULT EffectPass::GetVertexShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) {
    return shaderDesc(pDesc);
}
HRESULT EffectPass::GetGeometryShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) {
    return shaderDesc(pDesc);
}
HRESULT EffectPass::GetPixelShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) {
    return shaderDesc(pDesc);
}

ID3D10EffectVariable* EffectPass::GetAnnotationByIndex(UINT) {
    return EffectVariable::Invalid()->asVariable();
}
ID3D10EffectVariable* EffectPass::GetAnnotationByName(LPCSTR) {
    return EffectVariable::Invalid()->asVariable();
}

HRESULT EffectPass::Apply(UINT Flags) {
    if (!effect_) return E_FAIL;
    TRACE("d3d10", "pass %s, flags 0x%x", info_->name.c_str(), Flags);
    return effect_->apply(*info_);
}

HRESULT EffectPass::ComputeStateBlockMask(D3D10_STATE_BLOCK_MASK* pStateBlockMask) {
    if (!effect_) return E_FAIL;
    if (!pStateBlockMask) return E_INVALIDARG;
    effect_->stateMask(*info_, *pStateBlockMask);
    return S_OK;
}

// ---- techniques ----

EffectTechnique::EffectTechnique(Effect* effect, const EffectTechniqueInfo* info)
    : effect_(effect), info_(info) {
    for (const auto& p : info->passes) passes_.push_back(std::make_unique<EffectPass>(effect, &p));
}

EffectTechnique* EffectTechnique::Invalid() {
    static EffectTechnique invalid;
    return &invalid;
}

HRESULT EffectTechnique::GetDesc(D3D10_TECHNIQUE_DESC* pDesc) {
    if (!effect_) return E_FAIL;
    if (!pDesc) return E_INVALIDARG;
    pDesc->Name = info_->name.c_str();
    pDesc->Passes = static_cast<UINT>(passes_.size());
    pDesc->Annotations = 0;
    return S_OK;
}

ID3D10EffectVariable* EffectTechnique::GetAnnotationByIndex(UINT) {
    return EffectVariable::Invalid()->asVariable();
}
ID3D10EffectVariable* EffectTechnique::GetAnnotationByName(LPCSTR) {
    return EffectVariable::Invalid()->asVariable();
}

ID3D10EffectPass* EffectTechnique::GetPassByIndex(UINT Index) {
    if (Index >= passes_.size()) return EffectPass::Invalid();
    return passes_[Index].get();
}

ID3D10EffectPass* EffectTechnique::GetPassByName(LPCSTR Name) {
    if (Name)
        for (size_t i = 0; i < passes_.size(); ++i)
            if (info_->passes[i].name == Name) return passes_[i].get();
    return EffectPass::Invalid();
}

HRESULT EffectTechnique::ComputeStateBlockMask(D3D10_STATE_BLOCK_MASK* pStateBlockMask) {
    if (!effect_) return E_FAIL;
    if (!pStateBlockMask) return E_INVALIDARG;
    for (const auto& p : info_->passes) effect_->stateMask(p, *pStateBlockMask);
    return S_OK;
}

} // namespace platform::d3d10
