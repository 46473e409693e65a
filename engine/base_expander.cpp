#include "engine/base_expander.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "engine/effect_variables.h"
#include "engine/engine_log.h"
#include "engine/pixel_rows.h"

namespace {

constexpr UINT kStride = sizeof(VERTEX);
constexpr int kEffectResource = 104;

void quad(VERTEX v[4], float r, float g, float b, float a, const float uv[8]) {
    const float xy[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) v[i] = {xy[2 * i], xy[2 * i + 1], 0.0f, r, g, b, a, uv[2 * i], uv[2 * i + 1]};
}

// A depth-stencil state with the depth test on and the stencil on (all bits), the same for both faces.
D3D10_DEPTH_STENCIL_DESC stencilState(D3D10_DEPTH_WRITE_MASK depthWrite, D3D10_COMPARISON_FUNC depthFunc,
                                      D3D10_DEPTH_STENCILOP_DESC faces) {
    D3D10_DEPTH_STENCIL_DESC d{};
    d.DepthEnable = TRUE;
    d.DepthWriteMask = depthWrite;
    d.DepthFunc = depthFunc;
    d.StencilEnable = TRUE;
    d.StencilReadMask = 0xFF;
    d.StencilWriteMask = 0xFF;
    d.FrontFace = faces;
    d.BackFace = faces;
    return d;
}

// The module this code is linked into: the effect is one of its resources.
HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

} // namespace

HRESULT CreateDepthTarget(ID3D10Device* device, UINT width, UINT height, ID3D10DepthStencilView** view) {
    const D3D10_TEXTURE2D_DESC d{width,
                                 height,
                                 1,
                                 1,
                                 DXGI_FORMAT_D24_UNORM_S8_UINT,
                                 {1, 0},
                                 D3D10_USAGE_DEFAULT,
                                 D3D10_BIND_DEPTH_STENCIL,
                                 0,
                                 0};
    ID3D10Texture2D* depth = nullptr;
    HRESULT hr = device->CreateTexture2D(&d, nullptr, &depth);
    if (FAILED(hr)) return hr;
    D3D10_DEPTH_STENCIL_VIEW_DESC viewDesc{};
    viewDesc.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
    viewDesc.ViewDimension = D3D10_DSV_DIMENSION_TEXTURE2D;
    viewDesc.Texture2D.MipSlice = 0;
    hr = device->CreateDepthStencilView(depth, &viewDesc, view);
    depth->Release();
    return hr;
}

CBaseExpander::CBaseExpander()
    : radiusScale(1.0f), mainVB(nullptr), globalVB(nullptr), panoramaVB(nullptr), maskVB(nullptr),
      dimVB(nullptr), quadVB(nullptr), rasterizerState(nullptr), blendState(nullptr), maskWriteState(nullptr),
      maskTestState(nullptr), texWidth(0), texHeight(0), imgWidth(0), imgHeight(0), outWidth(0), outHeight(0),
      pan(0.0f), tilt(0.0f), zoom(1.0f), modeParam(1.0f), outTexture(nullptr), outDSV(nullptr),
      outRTV(nullptr), staging(nullptr), drawingFrame(false) {}

CBaseExpander::~CBaseExpander() {
    SafeRelease(mainVB);
    SafeRelease(globalVB);
    SafeRelease(panoramaVB);
    SafeRelease(maskVB);
    SafeRelease(dimVB);
    SafeRelease(quadVB);
    SafeRelease(rasterizerState);
    SafeRelease(blendState);
    SafeRelease(maskWriteState);
    SafeRelease(maskTestState);
    SafeRelease(outTexture);
    SafeRelease(outDSV);
    SafeRelease(outRTV);
    SafeRelease(staging);
    for (LineBuffer& l : lineBuffers) SafeRelease(l.buffer);
}

float CBaseExpander::lensRadius(float t) const {
    return LensRadius(t);
}

EngineSettings CBaseExpander::settings() const {
    return drawingFrame ? frameSettings : EngineShared().Snapshot();
}

CMatrix CBaseExpander::getFlipMatrix() const {
    const EngineSettings s = settings();
    CMatrix m, r;
    if (s.flipHorizontal) m *= r.RotationY(kPi);
    if (s.flipVertical) m *= r.RotationX(kPi);
    return m;
}

HRESULT CBaseExpander::createVertexBuffer(ID3D10Device* device, const VERTEX* vertices, uint32_t count,
                                          ID3D10Buffer** out) {
    *out = nullptr;
    if (!device) return E_INVALIDARG;
    D3D10_BUFFER_DESC desc{count * kStride, D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0};
    D3D10_SUBRESOURCE_DATA init{vertices, 0, 0};
    return device->CreateBuffer(&desc, &init, out);
}

void CBaseExpander::addCentreOffset(VERTEX* vertices, uint32_t count, const EngineSettings& calibration) {
    const float du = calibration.centreOffsetU, dv = calibration.centreOffsetV;
    for (uint32_t i = 0; i < count; ++i) {
        vertices[i].u += du;
        vertices[i].v += dv;
    }
}

HRESULT CBaseExpander::replaceMainVB(ID3D10Device* device, const VERTEX* mesh, uint32_t count,
                                     const ReportSite& site) {
    SafeRelease(mainVB);
    HRESULT hr = mesh ? createVertexBuffer(device, mesh, count, &mainVB) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        EngineLogError(site, hr);
        SafeRelease(mainVB);
    }
    return hr;
}

ID3D10Buffer* CBaseExpander::createGlobalVtx(ID3D10Device* device) {
    const float U = float(imgWidth - 1) / float(texWidth), V = float(imgHeight - 1) / float(texHeight);
    const float uv[8] = {0, V, 0, 0, U, V, U, 0};
    VERTEX v[4];
    quad(v, 1, 1, 1, 1, uv);
    ID3D10Buffer* buffer = nullptr;
    if (HRESULT hr = createVertexBuffer(device, v, 4, &buffer); FAILED(hr)) {
        EngineLogError(report::kCreateGlobalVtx, hr);
        EngineLog("createGlobalVtx hr:0x%08X\r\n", unsigned(hr));
        return nullptr;
    }
    return buffer;
}

ID3D10Buffer* CBaseExpander::createPanoramaVtx(ID3D10Device* device) {
    const float a = radiusScale / kPi;
    const float dy = a * 0.0625f;
    const float dt = radiusScale * 0.03125f;
    const float U = float(imgWidth - 1) / float(texWidth), V = float(imgHeight - 1) / float(texHeight);
    const EngineSettings calibration = settings();
    const double S = 2.0 * double(calibration.circleRadius);
    std::vector<VERTEX> v;
    v.reserve(kPanoramaVertices);
    float y = -a, t = 1.0f, xs = 1.0f, phi = 0.0f;
    bool forward = true;
    for (int band = 0; band < 32; ++band) {
        const double r1 = lensRadius(t) * S;
        const float t2 = t - dt;
        const double r2 = lensRadius(t2) * S;
        for (int column = 0; column < 129; ++column) {
            const float theta = RadiansInFloat(phi);
            const float c = fcos(theta) * 0.5f, s = fsin(theta) * 0.5f;
            v.push_back({2 * xs, y, 0, 1, 1, 1, 1, float(U * (c * r1 + 0.5)), float(V * (s * r1 + 0.5))});
            v.push_back(
                {2 * xs, y + dy, 0, 1, 1, 1, 1, float(U * (c * r2 + 0.5)), float(V * (s * r2 + 0.5))});
            if (forward) {
                xs -= 0.015625f;
                phi += 5.625f;
            } else {
                xs += 0.015625f;
                phi -= 5.625f;
            }
        }
        forward = !forward;
        xs = forward ? 1.0f : -1.0f;
        phi = 0.0f;
        y += dy;
        t = t2;
    }
    addCentreOffset(v.data(), uint32_t(v.size()), calibration);
    ID3D10Buffer* buffer = nullptr;
    if (HRESULT hr = createVertexBuffer(device, v.data(), uint32_t(v.size()), &buffer); FAILED(hr)) {
        EngineLogError(report::kCreatePanoramaVtx, hr);
        EngineLog("createPanoramaVtx hr:0x%08X\r\n", unsigned(hr));
        return nullptr;
    }
    return buffer;
}

HRESULT CBaseExpander::createGlobalMask(ID3D10Device* device) {
    const float k = fsqrt(2.0f);
    VERTEX v[kMaskVertices];
    for (int i = 0; i < 64; ++i) {
        const float theta = RadiansInFloat(float(i) * 5.625f);
        const float c = fcos(theta), s = fsin(theta);
        float X = k * c, Y = k * s;
        if (Y >= 1.0f || Y <= -1.0f)
            Y = Y > 0 ? 1.0f : -1.0f;
        else
            X = X > 0 ? 1.0f : -1.0f;
        v[2 * i] = {2 * X, 2 * Y, 0, 0, 0, 0, 1, 0, 0};
        v[2 * i + 1] = {c, s, 0, 0, 0, 0, 1, 0, 0};
    }
    v[128] = v[0];
    v[129] = v[1];
    SafeRelease(maskVB);
    HRESULT hr = createVertexBuffer(device, v, kMaskVertices, &maskVB);
    if (FAILED(hr)) EngineLogError(report::kCreateGlobalMask, hr);
    return hr;
}

HRESULT CBaseExpander::createCommonRasterizer(ID3D10Device* device) {
    SafeRelease(rasterizerState);
    D3D10_RASTERIZER_DESC d{
        D3D10_FILL_SOLID, D3D10_CULL_NONE, TRUE, 0, 0.0f, 0.0f, TRUE, FALSE, FALSE, FALSE};
    HRESULT hr = device->CreateRasterizerState(&d, &rasterizerState);
    if (FAILED(hr)) {
        EngineLogError(report::kCreateCommonRasterizer, hr);
        return hr;
    }
    device->RSSetState(rasterizerState);
    return S_OK;
}

HRESULT CBaseExpander::createCommonBlender(ID3D10Device* device) {
    SafeRelease(blendState);
    D3D10_BLEND_DESC d{};
    d.AlphaToCoverageEnable = FALSE;
    d.BlendEnable[0] = TRUE;
    d.SrcBlend = D3D10_BLEND_SRC_ALPHA;
    d.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
    d.BlendOp = D3D10_BLEND_OP_ADD;
    d.SrcBlendAlpha = D3D10_BLEND_ONE;
    d.DestBlendAlpha = D3D10_BLEND_ZERO;
    d.BlendOpAlpha = D3D10_BLEND_OP_ADD;
    d.RenderTargetWriteMask[0] = D3D10_COLOR_WRITE_ENABLE_ALL;
    HRESULT hr = device->CreateBlendState(&d, &blendState);
    if (FAILED(hr)) {
        EngineLogError(report::kCreateCommonBlender, hr);
        return hr;
    }
    const float factor[4] = {0, 0, 0, 0};
    device->OMSetBlendState(blendState, factor, 0xFFFFFFFF);
    return S_OK;
}

HRESULT CBaseExpander::createCommonDSState(ID3D10Device* device) {
    SafeRelease(maskWriteState);
    SafeRelease(maskTestState);
    // Writes the reference into the stencil wherever geometry lies, never colour.
    const D3D10_DEPTH_STENCIL_DESC write = stencilState(
        D3D10_DEPTH_WRITE_MASK_ZERO, D3D10_COMPARISON_NEVER,
        {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_REPLACE, D3D10_COMPARISON_ALWAYS});
    HRESULT hr = device->CreateDepthStencilState(&write, &maskWriteState);
    if (FAILED(hr)) {
        EngineLogError(report::kCreateMaskWriteState, hr);
        return hr;
    }
    // Draws only where the reference is greater than the stencil: where no mask was written.
    const D3D10_DEPTH_STENCIL_DESC test = stencilState(
        D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS_EQUAL,
        {D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_GREATER});
    hr = device->CreateDepthStencilState(&test, &maskTestState);
    if (FAILED(hr)) {
        EngineLogError(report::kCreateMaskTestState, hr);
        SafeRelease(maskWriteState);
        return hr;
    }
    device->OMSetDepthStencilState(maskTestState, 1);
    return S_OK;
}

HRESULT CBaseExpander::createOutBufRes(ID3D10Device* device) {
    SafeRelease(outTexture);
    SafeRelease(outDSV);
    SafeRelease(outRTV);
    SafeRelease(staging);
    if (!device) return E_INVALIDARG;
    D3D10_TEXTURE2D_DESC d{outWidth,
                           outHeight,
                           1,
                           1,
                           DXGI_FORMAT_R8G8B8A8_UNORM,
                           {1, 0},
                           D3D10_USAGE_DEFAULT,
                           D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE,
                           0,
                           0};
    HRESULT hr = device->CreateTexture2D(&d, nullptr, &outTexture);
    if (SUCCEEDED(hr)) hr = CreateDepthTarget(device, outWidth, outHeight, &outDSV);
    if (SUCCEEDED(hr)) hr = device->CreateRenderTargetView(outTexture, nullptr, &outRTV);
    if (FAILED(hr)) EngineLogError(report::kCreateOutBufRes, hr);
    return hr;
}

HRESULT CBaseExpander::draw(ID3D10Device* device, ID3D10Effect* effect, ID3D10Buffer* buffer, uint32_t pass,
                            uint32_t count) {
    if (!device || !effect || !buffer) return E_INVALIDARG;
    ID3D10EffectTechnique* technique = effect->GetTechniqueByName(kTechniqueName);
    if (!technique || !technique->IsValid()) return E_INVALIDARG;
    UINT stride = kStride, offset = 0;
    device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    if (HRESULT hr = technique->GetPassByIndex(pass)->Apply(0); FAILED(hr)) {
        EngineLogError(report::kDrawApply, hr);
        return hr;
    }
    device->Draw(count, 0);
    return S_OK;
}

HRESULT CBaseExpander::drawLines(const float* points, ID3D10Device* device, ID3D10Effect* effect,
                                 uint16_t count, float r, float g, float b, float a) {
    if (!device || !effect || (count && !points)) return E_INVALIDARG;
    std::vector<VERTEX>& v = lineVertices;
    v.resize(count);
    for (uint16_t i = 0; i < count; ++i)
        v[i] = {points[2 * i], points[2 * i + 1], 0.0f, r, g, b, a, 0.5f, 0.5f};
    ID3D10Buffer* buffer = nullptr;
    // Strips made on another device are of no more use.
    if (!lineBuffers.empty() && lineBuffers.front().device != device) {
        for (LineBuffer& l : lineBuffers) SafeRelease(l.buffer);
        lineBuffers.clear();
    }
    auto same = std::find_if(lineBuffers.begin(), lineBuffers.end(), [&](const LineBuffer& l) {
        return l.vertices.size() == v.size() &&
               (v.empty() || std::memcmp(l.vertices.data(), v.data(), v.size() * sizeof(VERTEX)) == 0);
    });
    if (same != lineBuffers.end()) {
        std::rotate(lineBuffers.begin(), same, same + 1);
        buffer = lineBuffers.front().buffer;
        buffer->AddRef();
    } else {
        if (HRESULT hr = createVertexBuffer(device, v.data(), count, &buffer); FAILED(hr)) {
            EngineLogError(report::kDrawLinesBuffer, hr);
            return hr;
        }
        constexpr size_t kLineBuffers = 8; // enough for every outline a frame draws
        if (lineBuffers.size() == kLineBuffers) {
            SafeRelease(lineBuffers.back().buffer);
            lineBuffers.pop_back();
        }
        buffer->AddRef();
        lineBuffers.insert(lineBuffers.begin(), LineBuffer{device, v, buffer});
    }
    ID3D10EffectTechnique* technique = effect->GetTechniqueByName(kTechniqueName);
    if (!technique || !technique->IsValid()) {
        buffer->Release();
        return S_OK;
    }
    UINT stride = kStride, offset = 0;
    device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP);
    if (HRESULT hr = technique->GetPassByIndex(kPassVertexColour)->Apply(0); FAILED(hr)) {
        EngineLogError(report::kDrawLinesApply, hr);
        buffer->Release();
        return hr;
    }
    device->Draw(count, 0);
    buffer->Release();
    return S_OK;
}

HRESULT CBaseExpander::renderGlobalMask(ID3D10Device* device, ID3D10Effect* effect) {
    device->OMSetDepthStencilState(maskWriteState, 1);
    HRESULT hr = draw(device, effect, maskVB, kPassVertexColour, kMaskVertices);
    device->OMSetDepthStencilState(maskTestState, 1);
    if (FAILED(hr)) {
        EngineLogError(report::kRenderGlobalMask, hr);
        return hr;
    }
    return S_OK;
}

void CBaseExpander::markUndimmed(ID3D10Device* device, ID3D10Effect* effect, const CMatrix& world,
                                 const CMatrix& view, const CMatrix& projection) {
    SetWorldViewProj(&world, &view, &projection, effect);
    device->OMSetDepthStencilState(maskWriteState, 1);
    draw(device, effect, dimVB, kPassVertexColour, 4);
}

void CBaseExpander::dimUnmarked(ID3D10Device* device, ID3D10Effect* effect) {
    SetWorldViewProj(nullptr, nullptr, nullptr, effect);
    device->OMSetDepthStencilState(maskTestState, 1);
    draw(device, effect, dimVB, kPassVertexColour, 4);
}

HRESULT CBaseExpander::SetInputSize(ID3D10Device* device, uint16_t imgW, uint16_t imgH, uint16_t texW,
                                    uint16_t texH) {
    imgWidth = imgW;
    imgHeight = imgH;
    texWidth = texW;
    texHeight = texH;
    SafeRelease(globalVB);
    globalVB = createGlobalVtx(device);
    SafeRelease(panoramaVB);
    panoramaVB = createPanoramaVtx(device);
    SafeRelease(quadVB);
    const float quadUV[8] = {0, 1, 0, 0, 1, 1, 1, 0};
    VERTEX q[4];
    quad(q, 1, 1, 1, 1, quadUV);
    if (HRESULT hr = createVertexBuffer(device, q, 4, &quadVB); FAILED(hr)) {
        EngineLogError(report::kSetInputSizeQuad, hr);
        EngineLog("createGlobalVtx hr:0x%08X\r\n", unsigned(hr));
    }
    if (!device) return E_INVALIDARG;
    HRESULT hr = createCommonRasterizer(device);
    if (SUCCEEDED(hr)) hr = createCommonBlender(device);
    if (SUCCEEDED(hr)) hr = createCommonDSState(device);
    if (SUCCEEDED(hr)) hr = createGlobalMask(device);
    if (SUCCEEDED(hr)) {
        SafeRelease(dimVB);
        const float dimUV[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        VERTEX d[4];
        quad(d, 0, 0, 0, 0.7f, dimUV);
        hr = createVertexBuffer(device, d, 4, &dimVB);
    }
    if (SUCCEEDED(hr)) hr = initialize(device);
    if (FAILED(hr)) {
        EngineLogError(report::kSetInputSize, hr);
        return hr;
    }
    return S_OK;
}

HRESULT CBaseExpander::SetOutBufSize(ID3D10Device* device, uint16_t w, uint16_t h) {
    outWidth = w;
    outHeight = h;
    return createOutBufRes(device);
}

void CBaseExpander::SetContrast(float c) {
    EngineShared().SetContrast(c);
}
void CBaseExpander::SetBrightness(float b) {
    EngineShared().SetBrightness(b);
}
void CBaseExpander::SetSaturation(float s) {
    EngineShared().SetSaturation(s);
}
void CBaseExpander::SetSharpness(float amount) {
    EngineShared().SetSharpness(amount);
}
void CBaseExpander::SetBlur(float width) {
    EngineShared().SetBlur(width);
}

void CBaseExpander::SetFlip(bool horizontal, bool vertical) {
    EngineShared().SetFlip(horizontal, vertical);
}

void CBaseExpander::SetModeParam(float value) {
    modeParam = value;
}

HRESULT CBaseExpander::renderPreviewLine(ID3D10Device*, ID3D10Effect*, int32_t, int32_t) {
    return S_OK;
}
HRESULT CBaseExpander::renderOverlay(ID3D10Device*, ID3D10Effect*, uint32_t, const uint16_t*) {
    return S_OK;
}

HRESULT CBaseExpander::CreateEffect(ID3D10Device* device, ID3D10Effect** effect, ID3D10InputLayout** layout) {
    HMODULE module = thisModule();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kEffectResource), RT_RCDATA);
    if (!resource) return S_OK;
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    void* data = loaded ? LockResource(loaded) : nullptr;
    if (!size || !data) return S_OK;
    HRESULT hr = D3D10CreateEffectFromMemory(data, size, 0, device, nullptr, effect);
    if (FAILED(hr)) {
        EngineLogError(report::kCreateEffect, hr);
        return hr;
    }
    // The layout is made against the input signature of the first pass; all passes share it.
    D3D10_PASS_DESC pass{};
    hr = (*effect)->GetTechniqueByName(kTechniqueName)->GetPassByIndex(kPassPlanar)->GetDesc(&pass);
    if (SUCCEEDED(hr)) {
        const D3D10_INPUT_ELEMENT_DESC elements[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 28, D3D10_INPUT_PER_VERTEX_DATA, 0},
        };
        hr =
            device->CreateInputLayout(elements, 3, pass.pIAInputSignature, pass.IAInputSignatureSize, layout);
    }
    if (FAILED(hr)) {
        EngineLogError(report::kCreateInputLayout, hr);
        return hr;
    }
    device->IASetInputLayout(*layout);
    return S_OK;
}

HRESULT CBaseExpander::RenderAll(const RenderContext& ctx, BYTE* output) {
    if (!ctx.device || !ctx.effect) return E_INVALIDARG;
    // One copy of the shared settings serves the whole frame, so a change made meanwhile on another
    // thread shows from the next frame on.
    frameSettings = EngineShared().Snapshot();
    drawingFrame = true;
    const HRESULT hr = renderFrame(ctx, output);
    drawingFrame = false;
    return hr;
}

HRESULT CBaseExpander::renderFrame(const RenderContext& ctx, BYTE* output) {
    const EngineSettings& shared = frameSettings;
    EffectPass pass;
    switch (ctx.inputKind) {
    case 0:
        SetEffectResource(ctx.effect, "tex0", ctx.planeViews[0]);
        pass = shared.filterOn ? kPassPackedFiltered : kPassPacked;
        break;
    case 1:
        SetEffectResource(ctx.effect, "tex0", ctx.planeViews[0]);
        SetEffectResource(ctx.effect, "tex1", ctx.planeViews[1]);
        SetEffectResource(ctx.effect, "tex2", ctx.planeViews[2]);
        pass = shared.filterOn ? kPassPlanarFiltered : kPassPlanar;
        break;
    default:
        EngineLogError(report::kRenderAllInputKind, E_NOTIMPL);
        return E_NOTIMPL;
    }
    SetEffectInt(ctx.effect, "texWidth", texWidth);
    SetEffectInt(ctx.effect, "texHeight", texHeight);
    SetEffectInt(ctx.effect, "imgWidth", imgWidth);
    SetEffectFloat(ctx.effect, "contrast", shared.contrast);
    SetEffectFloat(ctx.effect, "brightness", shared.brightness);
    SetEffectFloat(ctx.effect, "saturation", shared.saturation);
    SetEffectFilter(ctx.effect, "filter", shared.filter);

    D3D10_VIEWPORT viewport{0, 0, UINT(ctx.windowClient.right), UINT(ctx.windowClient.bottom), 0.0f, 1.0f};
    ctx.device->RSSetViewports(1, &viewport);
    const float black[4] = {0, 0, 0, 1};
    if (ctx.windowRTV) ctx.device->ClearRenderTargetView(ctx.windowRTV, black);
    if (ctx.windowDSV)
        ctx.device->ClearDepthStencilView(ctx.windowDSV, D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
    ID3D10RenderTargetView* rtv = ctx.windowRTV;
    ctx.device->OMSetRenderTargets(1, &rtv, ctx.windowDSV);
    ctx.device->RSSetState(rasterizerState);
    SetWorldViewProj(nullptr, nullptr, nullptr, ctx.effect);
    SetEffectFloat(ctx.effect, "alpha", 1.0f);

    if (output) {
        if (HRESULT hr = renderOutBuf(ctx.device, ctx.effect, pass, output, ctx.worker); FAILED(hr)) {
            EngineLogError(report::kRenderAllOutBuf, hr);
            return hr;
        }
    }
    if (ctx.swapChain) {
        if (HRESULT hr = ctx.swapChain->Present(0, 0); FAILED(hr)) {
            EngineLogError(report::kRenderAllPresent, hr);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CBaseExpander::renderOutBuf(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass, BYTE* output,
                                    CFrameWorker* worker) {
    if (!outTexture || !outRTV || !outDSV) {
        EngineLogError(report::kRenderOutBufTargets, E_FAIL);
        return E_FAIL;
    }
    device->OMSetRenderTargets(1, &outRTV, outDSV);
    const float black[4] = {0, 0, 0, 1};
    device->ClearRenderTargetView(outRTV, black);
    device->ClearDepthStencilView(outDSV, D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
    SetEffectBool(effect, "inversed", true);
    if (HRESULT hr = renderMain(device, effect, pass); FAILED(hr)) {
        EngineLogError(report::kRenderOutBufMain, hr);
        return hr;
    }
    SetEffectBool(effect, "inversed", false);

    if (!staging) {
        D3D10_TEXTURE2D_DESC d;
        outTexture->GetDesc(&d);
        d.Usage = D3D10_USAGE_STAGING;
        d.BindFlags = 0;
        d.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        if (HRESULT hr = device->CreateTexture2D(&d, nullptr, &staging); FAILED(hr)) {
            EngineLogError(report::kRenderOutBufStaging, hr);
            return hr;
        }
    }
    device->CopyResource(staging, outTexture);
    D3D10_MAPPED_TEXTURE2D mapped{};
    if (HRESULT hr = staging->Map(0, D3D10_MAP_READ, 0, &mapped); FAILED(hr)) {
        EngineLogError(report::kRenderOutBufMap, hr);
        SafeRelease(staging);
        return hr;
    }
    // Bytes 0, 1 and 2 of every texel, rows packed one after another, top row first, on both cores.
    auto pack = [&](unsigned part, unsigned parts) {
        uint32_t begin, end;
        PartRows(outHeight, part, parts, &begin, &end);
        PackRows24(output, static_cast<const uint8_t*>(mapped.pData), mapped.RowPitch, outWidth, begin, end);
    };
    if (worker)
        worker->Run(pack);
    else
        pack(0, 1);
    staging->Unmap(0);
    return S_OK;
}
