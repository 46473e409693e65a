// The DXGI swap chain of a window: one back buffer texture the device renders into. There is no
// display, so Present only counts.
#pragma once

#include <dxgi.h>

#include "platform/d3d10/device.h"

namespace platform::d3d10 {

class SwapChain final : public IDXGISwapChain {
public:
    // Validates the description (window, format, usage, sizes; zero sizes take the window's client
    // size) and creates the back buffer.
    static HRESULT Create(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, SwapChain** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT size, const void* data) override {
        return private_.set(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) override {
        return private_.setInterface(guid, data);
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* size, void* data) override {
        return private_.get(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) override;
    HRESULT STDMETHODCALLTYPE Present(UINT syncInterval, UINT flags) override;
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT buffer, REFIID riid, void** surface) override;
    HRESULT STDMETHODCALLTYPE SetFullscreenState(BOOL fullscreen, IDXGIOutput* target) override;
    HRESULT STDMETHODCALLTYPE GetFullscreenState(BOOL* fullscreen, IDXGIOutput** target) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_SWAP_CHAIN_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE ResizeBuffers(UINT count, UINT width, UINT height, DXGI_FORMAT format,
                                            UINT flags) override;
    HRESULT STDMETHODCALLTYPE ResizeTarget(const DXGI_MODE_DESC* mode) override;
    HRESULT STDMETHODCALLTYPE GetContainingOutput(IDXGIOutput** output) override;
    // No display: there are no frame statistics.
    HRESULT STDMETHODCALLTYPE GetFrameStatistics(DXGI_FRAME_STATISTICS* stats) override {
        if (stats) *stats = DXGI_FRAME_STATISTICS{};
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetLastPresentCount(UINT* count) override;

    unsigned presents() const { return presents_; }

private:
    SwapChain(Device* device, const DXGI_SWAP_CHAIN_DESC& desc);
    ~SwapChain();
    HRESULT createBackBuffer();

    std::atomic<ULONG> refs_{1};
    Device* device_;
    DXGI_SWAP_CHAIN_DESC desc_;
    ID3D10Texture2D* backBuffer_ = nullptr;
    unsigned presents_ = 0;
    PrivateDataStore private_;
};

} // namespace platform::d3d10
