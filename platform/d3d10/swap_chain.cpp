#include "platform/d3d10/swap_chain.h"

#include <windows.h>

#include "platform/win32/fault_injection.h"

namespace platform::d3d10 {

namespace {

constexpr HRESULT kNotCurrentlyAvailable = HRESULT(0x887A0022L); // DXGI_ERROR_NOT_CURRENTLY_AVAILABLE
constexpr UINT kMaxBuffers = 16;

bool supportedBackBufferFormat(DXGI_FORMAT f) {
    return f == DXGI_FORMAT_R8G8B8A8_UNORM || f == DXGI_FORMAT_B8G8R8A8_UNORM;
}

} // namespace

SwapChain::SwapChain(Device* device, const DXGI_SWAP_CHAIN_DESC& desc) : device_(device), desc_(desc) {
    device_->AddRef();
    LiveObjects()++;
}

SwapChain::~SwapChain() {
    if (backBuffer_) backBuffer_->Release();
    device_->Release();
    LiveObjects()--;
}

HRESULT SwapChain::Create(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, SwapChain** out) {
    *out = nullptr;
    if (!IsWindow(desc.OutputWindow) || desc.BufferCount == 0 || desc.BufferCount > kMaxBuffers ||
        !supportedBackBufferFormat(desc.BufferDesc.Format) || desc.SampleDesc.Count != 1 ||
        desc.SampleDesc.Quality != 0 ||
        (desc.SwapEffect != DXGI_SWAP_EFFECT_DISCARD && desc.SwapEffect != DXGI_SWAP_EFFECT_SEQUENTIAL))
        return DXGI_ERROR_INVALID_CALL;
    if (!desc.Windowed) return kNotCurrentlyAvailable; // there is no display to take over
    auto* chain = new (std::nothrow) SwapChain(device, desc);
    if (!chain) return E_OUTOFMEMORY;
    if (HRESULT hr = chain->createBackBuffer(); FAILED(hr)) {
        chain->Release();
        return hr;
    }
    *out = chain;
    return S_OK;
}

HRESULT SwapChain::createBackBuffer() {
    if (desc_.BufferDesc.Width == 0 || desc_.BufferDesc.Height == 0) {
        RECT client{};
        GetClientRect(desc_.OutputWindow, &client);
        if (desc_.BufferDesc.Width == 0) desc_.BufferDesc.Width = UINT(std::max<LONG>(client.right, 1));
        if (desc_.BufferDesc.Height == 0) desc_.BufferDesc.Height = UINT(std::max<LONG>(client.bottom, 1));
    }
    D3D10_TEXTURE2D_DESC t{};
    t.Width = desc_.BufferDesc.Width;
    t.Height = desc_.BufferDesc.Height;
    t.MipLevels = 1;
    t.ArraySize = 1;
    t.Format = desc_.BufferDesc.Format;
    t.SampleDesc = {1, 0};
    t.Usage = D3D10_USAGE_DEFAULT;
    t.BindFlags = ((desc_.BufferUsage & DXGI_USAGE_RENDER_TARGET_OUTPUT) ? D3D10_BIND_RENDER_TARGET : 0) |
                  ((desc_.BufferUsage & DXGI_USAGE_SHADER_INPUT) ? D3D10_BIND_SHADER_RESOURCE : 0);
    return device_->CreateTexture2D(&t, nullptr, &backBuffer_);
}

HRESULT SwapChain::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDXGIObject || riid == IID_IDXGIDeviceSubObject ||
        riid == IID_IDXGISwapChain) {
        *out = static_cast<IDXGISwapChain*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG SwapChain::AddRef() {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG SwapChain::Release() {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT SwapChain::GetParent(REFIID, void** parent) {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return E_NOINTERFACE; // there is no DXGI factory on this platform
}

HRESULT SwapChain::GetDevice(REFIID riid, void** device) {
    return device_->QueryInterface(riid, device);
}

HRESULT SwapChain::Present(UINT, UINT flags) {
    if (HRESULT hr = InjectedFault("IDXGISwapChain::Present"); FAILED(hr)) return hr;
    if (!(flags & DXGI_PRESENT_TEST)) presents_++;
    return S_OK;
}

// With the discard effect only buffer 0 can be reached, as on DXGI.
HRESULT SwapChain::GetBuffer(UINT buffer, REFIID riid, void** surface) {
    if (!surface) return DXGI_ERROR_INVALID_CALL;
    *surface = nullptr;
    if (HRESULT hr = InjectedFault("IDXGISwapChain::GetBuffer"); FAILED(hr)) return hr;
    if (buffer != 0 || !backBuffer_) return DXGI_ERROR_INVALID_CALL;
    return backBuffer_->QueryInterface(riid, surface);
}

HRESULT SwapChain::SetFullscreenState(BOOL fullscreen, IDXGIOutput*) {
    return fullscreen ? kNotCurrentlyAvailable : S_OK;
}

HRESULT SwapChain::GetFullscreenState(BOOL* fullscreen, IDXGIOutput** target) {
    if (fullscreen) *fullscreen = FALSE;
    if (target) *target = nullptr;
    return S_OK;
}

HRESULT SwapChain::GetDesc(DXGI_SWAP_CHAIN_DESC* desc) {
    if (!desc) return E_INVALIDARG;
    *desc = desc_;
    return S_OK;
}

// Every reference to the old back buffer (views included) must be gone first, as DXGI requires.
HRESULT SwapChain::ResizeBuffers(UINT count, UINT width, UINT height, DXGI_FORMAT format, UINT flags) {
    if (HRESULT hr = InjectedFault("IDXGISwapChain::ResizeBuffers"); FAILED(hr)) return hr;
    if (count > kMaxBuffers || (format != DXGI_FORMAT_UNKNOWN && !supportedBackBufferFormat(format)))
        return DXGI_ERROR_INVALID_CALL;
    if (backBuffer_) {
        backBuffer_->AddRef();
        if (backBuffer_->Release() > 1) return DXGI_ERROR_INVALID_CALL;
    }
    DXGI_SWAP_CHAIN_DESC old = desc_;
    if (count) desc_.BufferCount = count;
    if (format != DXGI_FORMAT_UNKNOWN) desc_.BufferDesc.Format = format;
    desc_.BufferDesc.Width = width;
    desc_.BufferDesc.Height = height;
    desc_.Flags = flags;
    ID3D10Texture2D* previous = backBuffer_;
    backBuffer_ = nullptr;
    if (HRESULT hr = createBackBuffer(); FAILED(hr)) {
        desc_ = old;
        backBuffer_ = previous;
        return hr;
    }
    if (previous) previous->Release();
    return S_OK;
}

HRESULT SwapChain::ResizeTarget(const DXGI_MODE_DESC* mode) {
    if (!mode) return DXGI_ERROR_INVALID_CALL;
    return MoveWindow(desc_.OutputWindow, 0, 0, int(mode->Width), int(mode->Height), FALSE)
               ? S_OK
               : DXGI_ERROR_INVALID_CALL;
}

HRESULT SwapChain::GetContainingOutput(IDXGIOutput** output) {
    if (output) *output = nullptr;
    return DXGI_ERROR_UNSUPPORTED;
}

HRESULT SwapChain::GetLastPresentCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = presents_;
    return S_OK;
}

} // namespace platform::d3d10
