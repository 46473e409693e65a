#include "platform/d3d10/views.h"

#include <new>

namespace platform::d3d10 {

// Views see the whole of a single-level texture in its own format; anything else is refused.
HRESULT ShaderResourceView::Create(Device* device, ID3D10Resource* resource,
                                   const D3D10_SHADER_RESOURCE_VIEW_DESC* desc, ShaderResourceView** out) {
    *out = nullptr;
    Texture2D* t = AsTexture2D(resource);
    if (!t || !(t->desc().BindFlags & D3D10_BIND_SHADER_RESOURCE)) return E_INVALIDARG;
    D3D10_SHADER_RESOURCE_VIEW_DESC d{};
    d.Format = t->desc().Format;
    d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
    d.Texture2D = {0, 1};
    if (desc) {
        if ((desc->Format != DXGI_FORMAT_UNKNOWN && desc->Format != d.Format) ||
            desc->ViewDimension != D3D10_SRV_DIMENSION_TEXTURE2D || desc->Texture2D.MostDetailedMip != 0 ||
            (desc->Texture2D.MipLevels != 1 && desc->Texture2D.MipLevels != UINT(-1)))
            return E_INVALIDARG;
    }
    *out = new (std::nothrow) ShaderResourceView(device, t, d);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT RenderTargetView::Create(Device* device, ID3D10Resource* resource,
                                 const D3D10_RENDER_TARGET_VIEW_DESC* desc, RenderTargetView** out) {
    *out = nullptr;
    Texture2D* t = AsTexture2D(resource);
    if (!t || !(t->desc().BindFlags & D3D10_BIND_RENDER_TARGET)) return E_INVALIDARG;
    D3D10_RENDER_TARGET_VIEW_DESC d{};
    d.Format = t->desc().Format;
    d.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE2D;
    d.Texture2D.MipSlice = 0;
    if (desc && ((desc->Format != DXGI_FORMAT_UNKNOWN && desc->Format != d.Format) ||
                 desc->ViewDimension != D3D10_RTV_DIMENSION_TEXTURE2D || desc->Texture2D.MipSlice != 0))
        return E_INVALIDARG;
    *out = new (std::nothrow) RenderTargetView(device, t, d);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT DepthStencilView::Create(Device* device, ID3D10Resource* resource,
                                 const D3D10_DEPTH_STENCIL_VIEW_DESC* desc, DepthStencilView** out) {
    *out = nullptr;
    Texture2D* t = AsTexture2D(resource);
    if (!t || !(t->desc().BindFlags & D3D10_BIND_DEPTH_STENCIL)) return E_INVALIDARG;
    D3D10_DEPTH_STENCIL_VIEW_DESC d{};
    d.Format = t->desc().Format;
    d.ViewDimension = D3D10_DSV_DIMENSION_TEXTURE2D;
    d.Texture2D.MipSlice = 0;
    if (desc && ((desc->Format != DXGI_FORMAT_UNKNOWN && desc->Format != d.Format) ||
                 desc->ViewDimension != D3D10_DSV_DIMENSION_TEXTURE2D || desc->Texture2D.MipSlice != 0))
        return E_INVALIDARG;
    *out = new (std::nothrow) DepthStencilView(device, t, d);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace platform::d3d10
