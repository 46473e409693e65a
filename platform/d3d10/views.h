// Shader-resource, render-target and depth-stencil views of 2-D textures. A view keeps its texture
// alive, as on Direct3D 10, through an internal reference: a texture the application has released
// lives on for its views without holding the device.
#pragma once

#include "platform/d3d10/resources.h"

namespace platform::d3d10 {

template <class I, class Derived>
class TextureView : public DeviceChild<I, Derived> {
public:
    TextureView(Device* device, Texture2D* texture) : DeviceChild<I, Derived>(device), texture_(texture) {
        texture_->pipelineAddRef();
    }
    ~TextureView() override { texture_->pipelineRelease(); }
    void STDMETHODCALLTYPE GetResource(ID3D10Resource** out) override {
        if (!out) return;
        *out = texture_;
        texture_->AddRef();
    }
    Texture2D* texture() const { return texture_; }

private:
    Texture2D* texture_;
};

class ShaderResourceView final : public TextureView<ID3D10ShaderResourceView, ShaderResourceView> {
public:
    static bool answers(REFIID riid) {
        return riid == IID_ID3D10View || riid == IID_ID3D10ShaderResourceView;
    }
    static HRESULT Create(Device* device, ID3D10Resource* resource,
                          const D3D10_SHADER_RESOURCE_VIEW_DESC* desc, ShaderResourceView** out);
    void STDMETHODCALLTYPE GetDesc(D3D10_SHADER_RESOURCE_VIEW_DESC* desc) override { *desc = desc_; }

private:
    ShaderResourceView(Device* device, Texture2D* texture, const D3D10_SHADER_RESOURCE_VIEW_DESC& desc)
        : TextureView(device, texture), desc_(desc) {}
    D3D10_SHADER_RESOURCE_VIEW_DESC desc_;
};

class RenderTargetView final : public TextureView<ID3D10RenderTargetView, RenderTargetView> {
public:
    static bool answers(REFIID riid) { return riid == IID_ID3D10View || riid == IID_ID3D10RenderTargetView; }
    static HRESULT Create(Device* device, ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC* desc,
                          RenderTargetView** out);
    void STDMETHODCALLTYPE GetDesc(D3D10_RENDER_TARGET_VIEW_DESC* desc) override { *desc = desc_; }

private:
    RenderTargetView(Device* device, Texture2D* texture, const D3D10_RENDER_TARGET_VIEW_DESC& desc)
        : TextureView(device, texture), desc_(desc) {}
    D3D10_RENDER_TARGET_VIEW_DESC desc_;
};

class DepthStencilView final : public TextureView<ID3D10DepthStencilView, DepthStencilView> {
public:
    static bool answers(REFIID riid) { return riid == IID_ID3D10View || riid == IID_ID3D10DepthStencilView; }
    static HRESULT Create(Device* device, ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC* desc,
                          DepthStencilView** out);
    void STDMETHODCALLTYPE GetDesc(D3D10_DEPTH_STENCIL_VIEW_DESC* desc) override { *desc = desc_; }

private:
    DepthStencilView(Device* device, Texture2D* texture, const D3D10_DEPTH_STENCIL_VIEW_DESC& desc)
        : TextureView(device, texture), desc_(desc) {}
    D3D10_DEPTH_STENCIL_VIEW_DESC desc_;
};

} // namespace platform::d3d10
