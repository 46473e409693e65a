// Object creation. Each call can be failed on purpose through the fault-injection switch under its
// own name ("ID3D10Device::CreateBuffer", ...); a failed creation leaves the out pointer null and no
// object behind.
#include "platform/d3d10/device.h"
#include "platform/win32/fault_injection.h"

namespace platform::d3d10 {

namespace {

template <class T, class I, class Make>
HRESULT create(const char* call, I** out, Make&& make) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (HRESULT hr = InjectedFault(call); FAILED(hr)) return hr;
    T* object = nullptr;
    HRESULT hr = make(&object);
    if (SUCCEEDED(hr)) *out = object;
    return hr;
}

} // namespace

HRESULT Device::CreateBuffer(const D3D10_BUFFER_DESC* desc, const D3D10_SUBRESOURCE_DATA* initial,
                             ID3D10Buffer** out) {
    return create<Buffer>("ID3D10Device::CreateBuffer", out, [&](Buffer** b) {
        return desc ? Buffer::Create(this, *desc, initial, b) : E_INVALIDARG;
    });
}

HRESULT Device::CreateTexture2D(const D3D10_TEXTURE2D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initial,
                                ID3D10Texture2D** out) {
    return create<Texture2D>("ID3D10Device::CreateTexture2D", out, [&](Texture2D** t) {
        return desc ? Texture2D::Create(this, *desc, initial, t) : E_INVALIDARG;
    });
}

HRESULT Device::CreateShaderResourceView(ID3D10Resource* resource,
                                         const D3D10_SHADER_RESOURCE_VIEW_DESC* desc,
                                         ID3D10ShaderResourceView** out) {
    return create<ShaderResourceView>(
        "ID3D10Device::CreateShaderResourceView", out,
        [&](ShaderResourceView** v) { return ShaderResourceView::Create(this, resource, desc, v); });
}

HRESULT Device::CreateRenderTargetView(ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC* desc,
                                       ID3D10RenderTargetView** out) {
    return create<RenderTargetView>("ID3D10Device::CreateRenderTargetView", out, [&](RenderTargetView** v) {
        return RenderTargetView::Create(this, resource, desc, v);
    });
}

HRESULT Device::CreateDepthStencilView(ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC* desc,
                                       ID3D10DepthStencilView** out) {
    return create<DepthStencilView>("ID3D10Device::CreateDepthStencilView", out, [&](DepthStencilView** v) {
        return DepthStencilView::Create(this, resource, desc, v);
    });
}

HRESULT Device::CreateInputLayout(const D3D10_INPUT_ELEMENT_DESC* elements, UINT count, const void* signature,
                                  SIZE_T bytes, ID3D10InputLayout** out) {
    return create<InputLayout>("ID3D10Device::CreateInputLayout", out, [&](InputLayout** l) {
        return InputLayout::Create(this, elements, count, signature, bytes, l);
    });
}

HRESULT Device::CreateVertexShader(const void* code, SIZE_T bytes, ID3D10VertexShader** out) {
    return create<VertexShader>("ID3D10Device::CreateVertexShader", out,
                                [&](VertexShader** s) { return VertexShader::Create(this, code, bytes, s); });
}

HRESULT Device::CreatePixelShader(const void* code, SIZE_T bytes, ID3D10PixelShader** out) {
    return create<PixelShader>("ID3D10Device::CreatePixelShader", out,
                               [&](PixelShader** s) { return PixelShader::Create(this, code, bytes, s); });
}

HRESULT Device::CreateBlendState(const D3D10_BLEND_DESC* desc, ID3D10BlendState** out) {
    return create<BlendState>("ID3D10Device::CreateBlendState", out,
                              [&](BlendState** s) { return BlendState::Create(this, desc, s); });
}

HRESULT Device::CreateDepthStencilState(const D3D10_DEPTH_STENCIL_DESC* desc, ID3D10DepthStencilState** out) {
    return create<DepthStencilState>(
        "ID3D10Device::CreateDepthStencilState", out,
        [&](DepthStencilState** s) { return DepthStencilState::Create(this, desc, s); });
}

HRESULT Device::CreateRasterizerState(const D3D10_RASTERIZER_DESC* desc, ID3D10RasterizerState** out) {
    return create<RasterizerState>("ID3D10Device::CreateRasterizerState", out, [&](RasterizerState** s) {
        return RasterizerState::Create(this, desc, s);
    });
}

HRESULT Device::CreateSamplerState(const D3D10_SAMPLER_DESC* desc, ID3D10SamplerState** out) {
    return create<SamplerState>("ID3D10Device::CreateSamplerState", out,
                                [&](SamplerState** s) { return SamplerState::Create(this, desc, s); });
}

} // namespace platform::d3d10
