// CBaseExpander: the drawing core every unfold mode derives from.
//
// It owns the Direct3D objects all modes share (the full-image quad, the panorama strip mesh, the mask
// ring outside the picture circle, two full-screen quads, the common states and the off-screen out
// buffer) and draws a frame in RenderAll: bind the input textures and effect variables, let the mode
// draw into the out buffer through renderMain, read the result back as packed 24-bit pixels, present.
//
// To derive a mode: set radiusScale, pan, tilt, zoom and modeParam in the constructor; build the mode's
// own geometry and states in initialize (called at the end of every SetInputSize); draw in renderMain
// with draw/drawLines/renderGlobalMask and SetWorldViewProj; map the 0..100 view percentages onto the
// mode's own angles in SetPosition/SetZoom/GetPosition/GetZoom. Read the process-wide settings through
// settings(): while RenderAll draws a frame it answers the copy taken at the frame's start. Every
// operation runs under the caller's engine lock.
#pragma once

#include <cstdint>
#include <vector>

#include <d3d10.h>
#include <d3d10effect.h>

#include "engine/angles.h"
#include "engine/effect_passes.h"
#include "engine/frame_worker.h"
#include "engine/lens_model.h"
#include "engine/matrix.h"
#include "engine/report_sites.h"
#include "engine/shared_state.h"

// The vertex of every mesh: position, colour, texture coordinate; 36 bytes.
struct VERTEX {
    float x, y, z;
    float r, g, b, a;
    float u, v;
};
static_assert(sizeof(VERTEX) == 36);

// What the facade hands RenderAll each frame.
struct RenderContext {
    ID3D10Device* device;
    ID3D10Effect* effect;
    int32_t inputKind; // 0: one packed colour texture; 1: three planes Y, Cb, Cr
    HWND window;
    ID3D10RenderTargetView* windowRTV;
    IDXGISwapChain* swapChain;
    ID3D10DepthStencilView* windowDSV;
    ID3D10ShaderResourceView* planeViews[3];
    // The render window's client rectangle, read when the window targets were made: the frame takes
    // nothing from the window itself, whose lock the user interface's thread shares.
    RECT windowClient{};
    // Shares the frame's read-back with the caller's thread; null: the caller does it alone.
    CFrameWorker* worker = nullptr;
};

constexpr int kPanoramaVertices = 32 * 129 * 2;
constexpr int kMaskVertices = 130;

class CBaseExpander {
public:
    CBaseExpander();
    virtual ~CBaseExpander();
    CBaseExpander(const CBaseExpander&) = delete;
    CBaseExpander& operator=(const CBaseExpander&) = delete;

    virtual HRESULT RenderAll(const RenderContext& context, BYTE* output);
    virtual HRESULT SetInputSize(ID3D10Device* device, uint16_t imgWidth, uint16_t imgHeight,
                                 uint16_t texWidth, uint16_t texHeight);
    virtual HRESULT SetOutBufSize(ID3D10Device* device, uint16_t outWidth, uint16_t outHeight);
    virtual void SetContrast(float contrast);
    virtual void SetBrightness(float brightness);
    virtual void SetSaturation(float saturation);
    virtual void SetSharpness(float amount);
    virtual void SetBlur(float width);
    virtual void SetFlip(bool horizontal, bool vertical);
    virtual void SetModeParam(float value);
    virtual void MoveBy(float dx, float dy) = 0;
    virtual void SetPosition(float h, float v) = 0;
    virtual void ZoomBy(float step) = 0;
    virtual void SetZoom(float percent) = 0;
    virtual void GetPosition(float* h, float* v) = 0;
    virtual void GetZoom(float* percent) = 0;
    virtual HRESULT initialize(ID3D10Device* device) = 0;
    virtual HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) = 0;
    virtual HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b);
    // Draws an overview of the mode into a target of size[0] x size[1] pixels (width, height).
    virtual HRESULT renderOverlay(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass,
                                  const uint16_t* size);

    // Loads the effect (raw-data resource 104 of this module) and creates and binds its input layout.
    // Without the resource it succeeds and leaves *effect empty.
    static HRESULT CreateEffect(ID3D10Device* device, ID3D10Effect** effect, ID3D10InputLayout** layout);

    float lensRadius(float t) const;
    CMatrix getFlipMatrix() const;

    uint16_t getOutWidth() const { return outWidth; }
    uint16_t getOutHeight() const { return outHeight; }
    // The view in the mode's own units (see each mode).
    float getPan() const { return pan; }
    float getTilt() const { return tilt; }
    float getZoom() const { return zoom; }
    float getModeParam() const { return modeParam; }

protected:
    ID3D10Buffer* createGlobalVtx(ID3D10Device* device);
    ID3D10Buffer* createPanoramaVtx(ID3D10Device* device);
    HRESULT createGlobalMask(ID3D10Device* device);
    HRESULT createCommonRasterizer(ID3D10Device* device);
    HRESULT createCommonBlender(ID3D10Device* device);
    HRESULT createCommonDSState(ID3D10Device* device);
    HRESULT createOutBufRes(ID3D10Device* device);
    HRESULT draw(ID3D10Device* device, ID3D10Effect* effect, ID3D10Buffer* buffer, uint32_t pass,
                 uint32_t count);
    HRESULT drawLines(const float* points, ID3D10Device* device, ID3D10Effect* effect, uint16_t count,
                      float r, float g, float b, float a);
    HRESULT renderGlobalMask(ID3D10Device* device, ID3D10Effect* effect);
    // Draws the frame into the out buffer's target and reads it back into output as 24-bit pixels; the
    // packing is shared with the worker when there is one.
    HRESULT renderOutBuf(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass, BYTE* output,
                         CFrameWorker* worker);
    // For the overviews of renderOverlay: marks the dimming quad under world x view x projection in
    // the stencil only, then dims everything that was not marked.
    void markUndimmed(ID3D10Device* device, ID3D10Effect* effect, const CMatrix& world, const CMatrix& view,
                      const CMatrix& projection);
    void dimUnmarked(ID3D10Device* device, ID3D10Effect* effect);

    // A default-usage vertex buffer initialised from count vertices.
    static HRESULT createVertexBuffer(ID3D10Device* device, const VERTEX* vertices, uint32_t count,
                                      ID3D10Buffer** out);
    // Adds the calibrated picture-centre offset to the texture coordinates of a mesh that samples the
    // circle.
    static void addCentreOffset(VERTEX* vertices, uint32_t count, const EngineSettings& calibration);
    // Replaces mainVB with a buffer of the mode's mesh (E_OUTOFMEMORY for a mesh that could not be
    // built); a failure is reported at the caller's site and leaves mainVB empty.
    HRESULT replaceMainVB(ID3D10Device* device, const VERTEX* mesh, uint32_t count, const ReportSite& site);
    // The process-wide settings to draw or build with: during RenderAll the frame's copy, otherwise the
    // current values.
    EngineSettings settings() const;

    float radiusScale;
    ID3D10Buffer* mainVB;
    ID3D10Buffer* globalVB;
    ID3D10Buffer* panoramaVB;
    ID3D10Buffer* maskVB;
    ID3D10Buffer* dimVB;
    ID3D10Buffer* quadVB;
    ID3D10RasterizerState* rasterizerState;
    ID3D10BlendState* blendState;
    ID3D10DepthStencilState* maskWriteState;
    ID3D10DepthStencilState* maskTestState;
    uint16_t texWidth, texHeight;
    uint16_t imgWidth, imgHeight;
    uint16_t outWidth, outHeight;
    float pan, tilt, zoom;
    float modeParam;
    ID3D10Texture2D* outTexture;
    ID3D10DepthStencilView* outDSV;
    ID3D10RenderTargetView* outRTV;

private:
    HRESULT renderFrame(const RenderContext& context, BYTE* output);

    // The read-back texture keeps its description from frame to frame, so it is made once per out buffer.
    ID3D10Texture2D* staging;
    // The settings of the frame RenderAll is drawing; drawingFrame is set while it draws.
    EngineSettings frameSettings;
    bool drawingFrame;
    // The line strips of recent drawLines calls, reused while their vertices are unchanged, so that a
    // steady frame creates no buffer and the device's caches keep recognising the draw.
    struct LineBuffer {
        ID3D10Device* device;
        std::vector<VERTEX> vertices;
        ID3D10Buffer* buffer;
    };
    std::vector<LineBuffer> lineBuffers; // most recent first
    std::vector<VERTEX> lineVertices;    // the strip being drawn
};

// A depth-stencil target of width x height (DXGI_FORMAT_D24_UNORM_S8_UINT, one mip, one sample): the
// view holds the texture.
HRESULT CreateDepthTarget(ID3D10Device* device, UINT width, UINT height, ID3D10DepthStencilView** view);
