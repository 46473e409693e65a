#include "engine/orb_expander.h"

#include <cmath>

#include "engine/engine_log.h"
#include "engine/pixel_rows.h"
#include "modes/front_expander.h"
#include "modes/mode_table.h"

namespace {

// The smallest power of two above v, or v itself when it is one: 1920 -> 2048, 1024 -> 1024.
uint32_t textureSide(uint32_t v) {
    uint32_t bits = 0;
    while ((v >> bits) != 0) bits++;
    uint32_t p = 1u << bits;
    return 2 * v == p ? v : p;
}

bool inUnitRange(float v) {
    return v >= 0.0f && v <= 1.0f;
}

} // namespace

COrbExpander::COrbExpander()
    : requestedWidth(0), requestedHeight(0), window(nullptr), windowClient{}, device(nullptr),
      backBufferFormat(DXGI_FORMAT_R8G8B8A8_UNORM), windowRTV(nullptr), swapChain(nullptr),
      windowDSV(nullptr), inputLayout(nullptr), effect(nullptr), inputTexture(nullptr), inputView(nullptr),
      texWidth(0), texHeight(0), inputFormat(-1), imgWidth(0), imgHeight(0), outWidth(0),
      outHeight(0), frontView{0, 0, 0, 0}, modeId(-1), current(nullptr), cache{},
      effectMissingReported(false) {}

COrbExpander::~COrbExpander() {
    releaseDevice();
    current = nullptr;
    for (CBaseExpander*& e : cache) {
        delete e;
        e = nullptr;
    }
}

void COrbExpander::releaseDevice() {
    sourceView.Release();
    SafeRelease(device);
    SafeRelease(inputLayout);
    SafeRelease(effect);
    SafeRelease(swapChain);
    SafeRelease(windowRTV);
    SafeRelease(windowDSV);
    SafeRelease(inputTexture);
    SafeRelease(inputView);
}

const char* COrbExpander::GetModeName(int32_t id) {
    return ModeName(id);
}

CBaseExpander* COrbExpander::createExpander(int32_t id) const {
    const ExpanderFactory create = kUnfoldModes[size_t(id)].create;
    return create ? create({frontView[0], frontView[1]}) : nullptr;
}

void COrbExpander::applyFrontView() {
    if (modeId == kModeNone && current)
        static_cast<CFrontExpander*>(current)->SetAspect(frontView[0], frontView[1]);
}

HRESULT COrbExpander::Initialize(HWND w) {
    releaseDevice();
    window = w;

    windowClient = RECT{};
    GetClientRect(window, &windowClient);
    outWidth = uint16_t(windowClient.right);
    outHeight = uint16_t(windowClient.bottom);

    DXGI_SWAP_CHAIN_DESC desc{};
    desc.BufferDesc.Width = outWidth;
    desc.BufferDesc.Height = outHeight;
    desc.BufferDesc.RefreshRate = {1, 60};
    desc.BufferDesc.Format = backBufferFormat;
    desc.BufferDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED;
    desc.BufferDesc.Scaling = DXGI_MODE_SCALING_CENTERED;
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = window;
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;

    HRESULT created = D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                                    D3D10_SDK_VERSION, &desc, &swapChain, &device);
    if (FAILED(created)) {
        EngineLogError(report::kInitializeHardware, created);
        created = D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_REFERENCE, nullptr, 0,
                                                D3D10_SDK_VERSION, &desc, &swapChain, &device);
        if (FAILED(created)) {
            EngineLogError(report::kInitializeReference, created);
            return created;
        }
    }
    HRESULT hr = createTargets(outWidth, outHeight);
    if (SUCCEEDED(hr)) hr = CBaseExpander::CreateEffect(device, &effect, &inputLayout);
    if (FAILED(hr)) {
        EngineLogError(report::kInitializeObjects, hr);
        releaseDevice();
        return hr;
    }
    effectMissingReported = false;
    return created;
}

HRESULT COrbExpander::createTargets(UINT width, UINT height) {
    if (!device) return E_FAIL;
    HRESULT hr = CreateDepthTarget(device, width, height, &windowDSV);
    if (SUCCEEDED(hr)) {
        ID3D10Texture2D* back = nullptr;
        hr = swapChain->GetBuffer(0, IID_ID3D10Texture2D, reinterpret_cast<void**>(&back));
        if (SUCCEEDED(hr)) {
            hr = device->CreateRenderTargetView(back, nullptr, &windowRTV);
            back->Release();
        }
    }
    if (FAILED(hr)) EngineLogError(report::kCreateTargets, hr);
    return hr;
}

bool COrbExpander::SetFrontViewRect(float a, float b, float c, float d) {
    if (!inUnitRange(a) || !inUnitRange(b) || !inUnitRange(c) || !inUnitRange(d)) return false;
    frontView[0] = a, frontView[1] = b, frontView[2] = c, frontView[3] = d;
    applyFrontView();
    return true;
}

HRESULT COrbExpander::createRgbTexture(uint16_t width, uint16_t height) {
    if (!device) return E_FAIL;
    SafeRelease(inputTexture);
    SafeRelease(inputView);
    const uint16_t w = uint16_t(textureSide(width)), h = uint16_t(textureSide(height));
    D3D10_TEXTURE2D_DESC d{w,
                           h,
                           1,
                           1,
                           backBufferFormat,
                           {1, 0},
                           D3D10_USAGE_DYNAMIC,
                           D3D10_BIND_SHADER_RESOURCE,
                           D3D10_CPU_ACCESS_WRITE,
                           0};
    HRESULT hr = device->CreateTexture2D(&d, nullptr, &inputTexture);
    if (SUCCEEDED(hr)) hr = device->CreateShaderResourceView(inputTexture, nullptr, &inputView);
    if (FAILED(hr)) {
        EngineLogError(report::kCreateRgbTexture, hr);
        return hr;
    }
    texWidth = w;
    texHeight = h;
    return S_OK;
}

bool COrbExpander::AcceptsInputSize(uint32_t width, uint32_t height) {
    // A picture must fit kFrameBufferBytes row for row: texture width x 4 bytes x its height.
    return width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF &&
           size_t(textureSide(width)) * 4 * height <= kFrameBufferBytes;
}

bool COrbExpander::SetInput(uint16_t width, uint16_t height) {
    HRESULT hr = AcceptsInputSize(width, height) ? createRgbTexture(width, height) : E_INVALIDARG;
    if (FAILED(hr)) {
        EngineLogError(report::kSetInput, hr);
        SafeRelease(inputTexture);
        SafeRelease(inputView);
        return false;
    }
    inputFormat = 1;
    imgWidth = width;
    imgHeight = height;
    if (current) current->SetInputSize(device, imgWidth, imgHeight, texWidth, texHeight);
    return true;
}

bool COrbExpander::SetRenderBufSize(uint16_t width, uint16_t height) {
    if (swapChain && (width != outWidth || height != outHeight)) {
        device->OMSetRenderTargets(0, nullptr, nullptr);
        SafeRelease(windowDSV);
        SafeRelease(windowRTV);
        HRESULT hr = swapChain->ResizeBuffers(1, width, height, backBufferFormat,
                                              DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH);
        if (SUCCEEDED(hr)) hr = createTargets(width, height);
        if (FAILED(hr)) {
            EngineLogError(report::kSetRenderBufSize, hr);
            EngineLog("SetRenderBufSize(%d,%d) hr:0x%08X\r\n", int(width), int(height), unsigned(hr));
            return false;
        }
    }
    outWidth = width;
    outHeight = height;
    // A caller that resizes the render window says so here; the frames' window viewport follows.
    if (window) GetClientRect(window, &windowClient);
    if (!current) return false;
    current->SetOutBufSize(device, width, height);
    return true;
}

bool COrbExpander::SetExpMode(int32_t id) {
    EngineLog("SetExpMode(%s)\r\n", GetModeName(id));
    if (!device || !IsModeId(id)) return false;
    modeId = id;
    if (!cache[id]) cache[id] = createExpander(id);
    current = cache[id];
    applyFrontView();
    if (!current) return false;
    if (imgWidth && texWidth && outWidth) {
        current->SetInputSize(device, imgWidth, imgHeight, texWidth, texHeight);
        current->SetOutBufSize(device, outWidth, outHeight);
    }
    return true;
}

bool COrbExpander::UploadFrame(const BYTE* pixels, uint32_t rowLength) {
    if (inputFormat != 1 || !inputTexture || !pixels) return false;
    // A row longer than the texture's would run into the next row and, at the end, past the texture.
    const size_t stride = size_t(texWidth) * 4;
    if (rowLength > stride || stride * imgHeight > kFrameBufferBytes) return false;
    // The frame goes straight into the texture: its only copy. The rest of a texture row keeps its
    // bytes and is never sampled (texture coordinates stop at the last picture texel).
    D3D10_MAPPED_TEXTURE2D mapped{};
    if (HRESULT hr = inputTexture->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &mapped); FAILED(hr)) {
        EngineLogError(report::kRenderUpload, hr);
        return false;
    }
    // Half the rows each on both cores: one core alone cannot fill the memory bandwidth.
    auto copy = [&](unsigned part, unsigned parts) {
        uint32_t begin, end;
        PartRows(imgHeight, part, parts, &begin, &end);
        CopyRows(static_cast<BYTE*>(mapped.pData), mapped.RowPitch, pixels, rowLength, rowLength, begin, end);
    };
    frameWorker.Run(copy);
    inputTexture->Unmap(0);
    return true;
}

HRESULT COrbExpander::Render(BYTE* output) {
    if (!device || !inputTexture || !current) return D3DERR_INVALIDCALL;
    if (inputFormat != 1) return E_NOTIMPL;
    // Drawing needs the effect; without its resource there is nothing to draw with.
    if (!effect) {
        if (!effectMissingReported) EngineLogError(report::kRenderNoEffect, D3DERR_INVALIDCALL);
        effectMissingReported = true;
        return D3DERR_INVALIDCALL;
    }
    RenderContext context{device,       effect,      0,         window,
                          windowRTV,    swapChain,   windowDSV, {inputView, nullptr, nullptr},
                          windowClient, &frameWorker};
    return current->RenderAll(context, output);
}

HRESULT COrbExpander::RenderSource(uint16_t width, uint16_t height, BYTE* picture, uint16_t overviewWidth,
                                   uint16_t overviewHeight, BYTE* overview, bool* overviewDrawn) {
    if (!device || !inputTexture || !current || !effect || inputFormat != 1) return D3DERR_INVALIDCALL;
    const CSourceView::Input input{device, effect, inputView, imgWidth, imgHeight, texWidth, texHeight};
    return sourceView.Draw(input, current, width, height, picture, overviewWidth, overviewHeight, overview,
                           overviewDrawn);
}
