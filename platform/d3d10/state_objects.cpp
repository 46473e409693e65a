#include "platform/d3d10/state_objects.h"

#include <cctype>
#include <new>

#include "platform/d3d10/format.h"

namespace platform::d3d10 {

namespace {

bool validComparison(D3D10_COMPARISON_FUNC f) {
    return f >= D3D10_COMPARISON_NEVER && f <= D3D10_COMPARISON_ALWAYS;
}
bool validStencilOp(D3D10_STENCIL_OP op) {
    return op >= D3D10_STENCIL_OP_KEEP && op <= D3D10_STENCIL_OP_DECR;
}
bool validStencilFace(const D3D10_DEPTH_STENCILOP_DESC& f) {
    return validStencilOp(f.StencilFailOp) && validStencilOp(f.StencilDepthFailOp) &&
           validStencilOp(f.StencilPassOp) && validComparison(f.StencilFunc);
}
bool validBlend(D3D10_BLEND b, bool alpha) {
    switch (b) {
    case D3D10_BLEND_ZERO:
    case D3D10_BLEND_ONE:
    case D3D10_BLEND_SRC_ALPHA:
    case D3D10_BLEND_INV_SRC_ALPHA:
    case D3D10_BLEND_DEST_ALPHA:
    case D3D10_BLEND_INV_DEST_ALPHA:
    case D3D10_BLEND_SRC_ALPHA_SAT:
    case D3D10_BLEND_BLEND_FACTOR:
    case D3D10_BLEND_INV_BLEND_FACTOR:
        return true;
    case D3D10_BLEND_SRC_COLOR:
    case D3D10_BLEND_INV_SRC_COLOR:
    case D3D10_BLEND_DEST_COLOR:
    case D3D10_BLEND_INV_DEST_COLOR:
        return !alpha; // colour factors are not allowed for alpha
    default:
        return false;
    }
}
bool validBlendOp(D3D10_BLEND_OP op) {
    return op >= D3D10_BLEND_OP_ADD && op <= D3D10_BLEND_OP_MAX;
}
bool validAddress(D3D10_TEXTURE_ADDRESS_MODE m) {
    return m >= D3D10_TEXTURE_ADDRESS_WRAP && m <= D3D10_TEXTURE_ADDRESS_MIRROR_ONCE;
}

template <class T, class Desc>
HRESULT make(Device* device, const Desc& desc, T** out) {
    *out = new (std::nothrow) T(device, desc);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

bool SameSemantic(const std::string& a, const char* b) {
    size_t i = 0;
    for (; b[i]; ++i)
        if (i >= a.size() ||
            std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size();
}

const D3D10_RASTERIZER_DESC& RasterizerState::Default() {
    static const D3D10_RASTERIZER_DESC d = {
        D3D10_FILL_SOLID, D3D10_CULL_BACK, FALSE, 0, 0.0f, 0.0f, TRUE, FALSE, FALSE, FALSE};
    return d;
}

HRESULT RasterizerState::Create(Device* device, const D3D10_RASTERIZER_DESC* desc, RasterizerState** out) {
    *out = nullptr;
    if (!desc || (desc->FillMode != D3D10_FILL_SOLID && desc->FillMode != D3D10_FILL_WIREFRAME) ||
        desc->CullMode < D3D10_CULL_NONE || desc->CullMode > D3D10_CULL_BACK)
        return E_INVALIDARG;
    return make(device, *desc, out);
}

const D3D10_BLEND_DESC& BlendState::Default() {
    static const D3D10_BLEND_DESC d = {FALSE,
                                       {FALSE, FALSE, FALSE, FALSE, FALSE, FALSE, FALSE, FALSE},
                                       D3D10_BLEND_ONE,
                                       D3D10_BLEND_ZERO,
                                       D3D10_BLEND_OP_ADD,
                                       D3D10_BLEND_ONE,
                                       D3D10_BLEND_ZERO,
                                       D3D10_BLEND_OP_ADD,
                                       {15, 15, 15, 15, 15, 15, 15, 15}};
    return d;
}

HRESULT BlendState::Create(Device* device, const D3D10_BLEND_DESC* desc, BlendState** out) {
    *out = nullptr;
    if (!desc || !validBlend(desc->SrcBlend, false) || !validBlend(desc->DestBlend, false) ||
        !validBlend(desc->SrcBlendAlpha, true) || !validBlend(desc->DestBlendAlpha, true) ||
        !validBlendOp(desc->BlendOp) || !validBlendOp(desc->BlendOpAlpha))
        return E_INVALIDARG;
    for (UINT8 m : desc->RenderTargetWriteMask)
        if (m > 15) return E_INVALIDARG;
    return make(device, *desc, out);
}

const D3D10_DEPTH_STENCIL_DESC& DepthStencilState::Default() {
    static const D3D10_DEPTH_STENCIL_DESC d = {
        TRUE,
        D3D10_DEPTH_WRITE_MASK_ALL,
        D3D10_COMPARISON_LESS,
        FALSE,
        D3D10_DEFAULT_STENCIL_READ_MASK,
        D3D10_DEFAULT_STENCIL_WRITE_MASK,
        {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_ALWAYS},
        {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_ALWAYS}};
    return d;
}

HRESULT DepthStencilState::Create(Device* device, const D3D10_DEPTH_STENCIL_DESC* desc,
                                  DepthStencilState** out) {
    *out = nullptr;
    if (!desc ||
        (desc->DepthWriteMask != D3D10_DEPTH_WRITE_MASK_ZERO &&
         desc->DepthWriteMask != D3D10_DEPTH_WRITE_MASK_ALL) ||
        !validComparison(desc->DepthFunc) || !validStencilFace(desc->FrontFace) ||
        !validStencilFace(desc->BackFace))
        return E_INVALIDARG;
    return make(device, *desc, out);
}

const D3D10_SAMPLER_DESC& SamplerState::Default() {
    static const D3D10_SAMPLER_DESC d = {D3D10_FILTER_MIN_MAG_MIP_LINEAR,
                                         D3D10_TEXTURE_ADDRESS_CLAMP,
                                         D3D10_TEXTURE_ADDRESS_CLAMP,
                                         D3D10_TEXTURE_ADDRESS_CLAMP,
                                         0.0f,
                                         1,
                                         D3D10_COMPARISON_NEVER,
                                         {1.0f, 1.0f, 1.0f, 1.0f},
                                         -D3D10_FLOAT32_MAX,
                                         D3D10_FLOAT32_MAX};
    return d;
}

HRESULT SamplerState::Create(Device* device, const D3D10_SAMPLER_DESC* desc, SamplerState** out) {
    *out = nullptr;
    if (!desc || !validAddress(desc->AddressU) || !validAddress(desc->AddressV) ||
        !validAddress(desc->AddressW) || desc->MaxAnisotropy > 16 || !validComparison(desc->ComparisonFunc))
        return E_INVALIDARG;
    return make(device, *desc, out);
}

const InputElement* InputLayout::find(const char* semantic, uint32_t index) const {
    for (auto& e : elements_)
        if (e.semanticIndex == index && SameSemantic(e.semantic, semantic)) return &e;
    return nullptr;
}

HRESULT InputLayout::Create(Device* device, const D3D10_INPUT_ELEMENT_DESC* descs, UINT count,
                            const void* signature, SIZE_T bytes, InputLayout** out) {
    *out = nullptr;
    if ((count && !descs) || count > 32) return E_INVALIDARG;
    ShaderProgram program;
    if (!signature || FAILED(DecodeShader(signature, bytes, program)) || program.stage != isa::Stage::Vertex)
        return E_INVALIDARG;
    std::vector<InputElement> elements;
    uint32_t nextOffset[D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
    for (UINT i = 0; i < count; ++i) {
        const D3D10_INPUT_ELEMENT_DESC& d = descs[i];
        const FormatInfo* f = GetFormatInfo(d.Format);
        if (!d.SemanticName || !f || !f->vertexElement ||
            d.InputSlot >= D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT ||
            d.InputSlotClass != D3D10_INPUT_PER_VERTEX_DATA)
            return E_INVALIDARG;
        InputElement e;
        for (const char* c = d.SemanticName; *c; ++c)
            e.semantic += char(std::toupper(static_cast<unsigned char>(*c)));
        e.semanticIndex = d.SemanticIndex;
        e.format = d.Format;
        e.slot = d.InputSlot;
        e.offset = d.AlignedByteOffset == D3D10_APPEND_ALIGNED_ELEMENT ? nextOffset[d.InputSlot]
                                                                       : d.AlignedByteOffset;
        if (e.offset % 4 != 0) return E_INVALIDARG;
        e.components = f->components;
        nextOffset[d.InputSlot] = e.offset + f->bytes;
        for (auto& other : elements)
            if (other.semanticIndex == e.semanticIndex && other.semantic == e.semantic) return E_INVALIDARG;
        elements.push_back(std::move(e));
    }
    for (auto& in : program.inputs) {
        bool found = false;
        for (auto& e : elements)
            if (e.semanticIndex == in.semanticIndex && SameSemantic(e.semantic, in.semanticName))
                found = true;
        if (!found) return E_INVALIDARG;
    }
    *out = new (std::nothrow) InputLayout(device, std::move(elements));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace platform::d3d10
