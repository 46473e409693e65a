// Device creation and the software device's extensions.
#include <d3d10.h>

#include "platform/d3d10/device.h"
#include "platform/d3d10/software_device.h"
#include "platform/d3d10/swap_chain.h"
#include "platform/win32/fault_injection.h"

using platform::d3d10::Device;
using platform::d3d10::SwapChain;

namespace {

// Both the hardware and the reference driver are this software device; each can be failed on its own,
// so that a test can take away "Direct3D 10".
HRESULT createDevice(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE type, HMODULE software, UINT flags, UINT sdk,
                     Device** out) {
    *out = nullptr;
    if (sdk != D3D10_SDK_VERSION || adapter) return E_INVALIDARG;
    const char* fault = nullptr;
    switch (type) {
    case D3D10_DRIVER_TYPE_HARDWARE:
        fault = "D3D10CreateDevice.Hardware";
        break;
    case D3D10_DRIVER_TYPE_REFERENCE:
        fault = "D3D10CreateDevice.Reference";
        break;
    case D3D10_DRIVER_TYPE_SOFTWARE:
        return software ? DXGI_ERROR_UNSUPPORTED : E_INVALIDARG;
    default:
        return DXGI_ERROR_UNSUPPORTED;
    }
    if (HRESULT hr = platform::InjectedFault(fault); FAILED(hr)) return hr;
    return Device::Create(flags, out);
}

} // namespace

HRESULT D3D10CreateDevice(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE type, HMODULE software, UINT flags,
                          UINT sdk, ID3D10Device** device) {
    Device* d = nullptr;
    HRESULT hr = createDevice(adapter, type, software, flags, sdk, &d);
    if (FAILED(hr)) {
        if (device) *device = nullptr;
        return hr;
    }
    if (!device) {
        d->Release();
        return S_FALSE;
    }
    *device = d;
    return hr;
}

HRESULT D3D10CreateDeviceAndSwapChain(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE type, HMODULE software,
                                      UINT flags, UINT sdk, DXGI_SWAP_CHAIN_DESC* desc,
                                      IDXGISwapChain** swapChain, ID3D10Device** device) {
    if (swapChain) *swapChain = nullptr;
    if (device) *device = nullptr;
    if (!desc || !swapChain) return E_INVALIDARG;
    Device* d = nullptr;
    HRESULT hr = createDevice(adapter, type, software, flags, sdk, &d);
    if (FAILED(hr)) return hr;
    SwapChain* chain = nullptr;
    hr = SwapChain::Create(d, *desc, &chain);
    if (FAILED(hr)) {
        d->Release();
        return hr;
    }
    *swapChain = chain;
    if (device)
        *device = d;
    else
        d->Release();
    return S_OK;
}

namespace platform::d3d10 {

long LiveObjectCount() {
    return LiveObjects().load();
}

void SetDeviceThreads(ID3D10Device* device, unsigned threads) {
    static_cast<Device*>(device)->setThreads(threads);
}

unsigned long long GetChunksShadedByOtherThreads(ID3D10Device* device) {
    return static_cast<Device*>(device)->chunkDealer().takenFromOthers();
}

bool SetDeviceAvx2(ID3D10Device* device, bool avx2) {
    auto* d = static_cast<Device*>(device);
    d->setIsa(avx2 ? Isa::Avx2 : Isa::Portable);
    return d->isa() == Isa::Avx2;
}

void SetDeviceInterpretsNewCoverage(ID3D10Device* device, bool interpret) {
    static_cast<Device*>(device)->setInterpretNewCoverage(interpret);
}

unsigned GetDeviceThreads(ID3D10Device* device) {
    return static_cast<Device*>(device)->threads();
}

CoverageCacheStats GetCoverageCacheStats(ID3D10Device* device) {
    auto* d = static_cast<Device*>(device);
    auto s = d->coverageCache().stats();
    return {
        s.hits, s.misses, s.records, s.bytes, d->vertexStageCache().hits(), d->vertexStageCache().misses()};
}

void ClearCoverageCache(ID3D10Device* device) {
    static_cast<Device*>(device)->coverageCache().clear();
    static_cast<Device*>(device)->vertexStageCache().clear();
}

unsigned GetPresentCount(IDXGISwapChain* swapChain) {
    return static_cast<SwapChain*>(swapChain)->presents();
}

} // namespace platform::d3d10
