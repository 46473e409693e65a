// COrbExpander: the engine facade the expansion filter drives. It owns the Direct3D 10 device and the
// swap chain of the filter's hidden render window, the effect, the input texture (UploadFrame copies a
// frame straight into it) and one expander per unfold mode, created on first selection and kept for
// the facade's life.
//
// Calling order: Initialize, SetFrontViewRect, SetInput, SetRenderBufSize, SetExpMode at connection;
// UploadFrame and Render per frame. No locking of its own: the filter calls it under its engine lock.
#pragma once

#include <cstdint>
#include <memory>

#include <d3d10.h>
#include <d3d10effect.h>

#include "engine/base_expander.h"
#include "engine/source_view.h"
#include "modes/mode_table.h"

// The largest input texture the facade takes: 16 MiB.
constexpr size_t kFrameBufferBytes = 16 * 1024 * 1024;

class COrbExpander {
public:
    COrbExpander();
    ~COrbExpander();
    COrbExpander(const COrbExpander&) = delete;
    COrbExpander& operator=(const COrbExpander&) = delete;

    HRESULT Initialize(HWND window);
    bool SetFrontViewRect(float a, float b, float c, float d);
    bool SetInput(uint16_t width, uint16_t height);
    // Whether SetInput takes a picture of this size: one whose rows, at the texture's width, fit in
    // kFrameBufferBytes.
    static bool AcceptsInputSize(uint32_t width, uint32_t height);
    bool SetRenderBufSize(uint16_t width, uint16_t height);
    bool SetExpMode(int32_t id);
    bool UploadFrame(const BYTE* pixels, uint32_t rowLength);
    HRESULT Render(BYTE* output);
    static const char* GetModeName(int32_t id);
    // The input frame the last Render drew from, with the current mode's drawing of where its view
    // lies (CSourceView::Draw). D3DERR_INVALIDCALL without a device, an input texture, the effect or a
    // mode. Not part of the frame path.
    HRESULT RenderSource(uint16_t width, uint16_t height, BYTE* picture, uint16_t overviewWidth,
                         uint16_t overviewHeight, BYTE* overview, bool* overviewDrawn);

    // The selected mode's expander (the filter reaches its view operations directly), or null.
    CBaseExpander* Current() const { return current; }
    int32_t ModeId() const { return modeId; }
    ID3D10Device* Device() const { return device; }
    uint16_t TexWidth() const { return texWidth; }
    uint16_t TexHeight() const { return texHeight; }
    uint16_t OutWidth() const { return outWidth; }
    uint16_t OutHeight() const { return outHeight; }
    bool HasEffect() const { return effect != nullptr; }

    // Output size noted by the filter; the facade neither reads nor writes it.
    uint16_t requestedWidth, requestedHeight;

private:
    // Gives the front view (mode 0), when it is current, the stored front-view pair.
    void applyFrontView();
    void releaseDevice();
    HRESULT createTargets(UINT width, UINT height);
    HRESULT createRgbTexture(uint16_t width, uint16_t height);
    CBaseExpander* createExpander(int32_t id) const;

    HWND window;
    RECT windowClient;
    ID3D10Device* device;
    DXGI_FORMAT backBufferFormat;
    ID3D10RenderTargetView* windowRTV;
    IDXGISwapChain* swapChain;
    ID3D10DepthStencilView* windowDSV;
    ID3D10InputLayout* inputLayout;
    ID3D10Effect* effect;
    ID3D10Texture2D* inputTexture;
    ID3D10ShaderResourceView* inputView;
    uint16_t texWidth, texHeight;
    int32_t inputFormat;
    uint16_t imgWidth, imgHeight;
    uint16_t outWidth, outHeight;
    float frontView[4];
    int32_t modeId;
    CBaseExpander* current;
    CBaseExpander* cache[kModeCount];
    bool effectMissingReported;
    CSourceView sourceView;
    // Shares the frame's upload and read-back copies with the calling thread.
    CFrameWorker frameWorker;
};
