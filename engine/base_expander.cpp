#include "engine/base_expander.h"

#include <cstring>
#include <new>
#include <vector>

#include "engine/effect_variables.h"
#include "engine/engine_log.h"

namespace {

constexpr UINT kStride = sizeof(VERTEX);
constexpr int kEffectResource = 104;

void quad(VERTEX v[4], float r, float g, float b, float a, const float uv[8]) {
    const float xy[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) v[i] = {xy[2 * i], xy[2 * i + 1], 0.0f, r, g, b, a, uv[2 * i], uv[2 * i + 1]};
}

// The module this code is linked into: the effect is one of its resources.
HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

} // namespace

CBaseExpander::CBaseExpander()
    : radiusScale(1.0f), mainVB(nullptr), globalVB(nullptr), panoramaVB(nullptr), maskVB(nullptr),
      dimVB(nullptr), quadVB(nullptr), rasterizerState(nullptr), blendState(nullptr), maskWriteState(nullptr),
      maskTestState(nullptr), texWidth(0), texHeight(0), imgWidth(0), imgHeight(0), outWidth(0), outHeight(0),
      pan(0.0f), tilt(0.0f), zoom(1.0f), modeParam(1.0f), outTexture(nullptr), outDSV(nullptr),
      outRTV(nullptr) {}

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
    SafeRelease(staging_);
}

float CBaseExpander::lensRadius(float t) const {
    const float rho = float(107.0 / 360.0 * 6.2831854820251465);
    long double r = t * rho;
    long double r2 = r * r, r3 = r2 * r, r4 = r3 * r, r5 = r4 * r;
    long double p = 0.379304210704049L * r + 0.0126343541596725L * r2 - 0.00163057541794842L * r3 +
                    0.0739231778879912L * r4 - 0.0282768400561508L * r5;
    if (p < 0) p = 0;
    if (p > 1) p = 1;
    return float(p);
}

CMatrix CBaseExpander::getFlipMatrix() const {
    CMatrix m, r;
    if (EngineShared().flipHorizontal) m *= r.RotationY(kPi);
    if (EngineShared().flipVertical) m *= r.RotationX(kPi);
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

void CBaseExpander::addCentreOffset(VERTEX* vertices, uint32_t count) {
    const float du = EngineShared().centreOffsetU, dv = EngineShared().centreOffsetV;
    for (uint32_t i = 0; i < count; ++i) {
        vertices[i].u += du;
        vertices[i].v += dv;
    }
}

HRESULT CBaseExpander::replaceMainVB(ID3D10Device* device, const VERTEX* mesh, uint32_t count,
                                     const char* tag, int line) {
    SafeRelease(mainVB);
    HRESULT hr = mesh ? createVertexBuffer(device, mesh, count, &mainVB) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        EngineLogError(tag, line, hr);
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
        ENGINE_ERR("CBaseExpander::createGlobalVtx", hr);
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
    const double S = 2.0 * double(EngineShared().circleRadius);
    std::vector<VERTEX> v;
    v.reserve(kPanoramaVertices);
    float y = -a, t = 1.0f, xs = 1.0f, phi = 0.0f;
    bool forward = true;
    for (int band = 0; band < 32; ++band) {
        const double r1 = lensRadius(t) * S;
        const float t2 = t - dt;
        const double r2 = lensRadius(t2) * S;
        for (int column = 0; column < 129; ++column) {
            const float theta = phi / 360.0f * 6.2831855f;
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
    addCentreOffset(v.data(), uint32_t(v.size()));
    ID3D10Buffer* buffer = nullptr;
    if (HRESULT hr = createVertexBuffer(device, v.data(), uint32_t(v.size()), &buffer); FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::createPanoramaVtx", hr);
        EngineLog("createPanoramaVtx hr:0x%08X\r\n", unsigned(hr));
        return nullptr;
    }
    return buffer;
}

HRESULT CBaseExpander::createGlobalMask(ID3D10Device* device) {
    const float k = fsqrt(2.0f);
    VERTEX v[kMaskVertices];
    for (int i = 0; i < 64; ++i) {
        const float theta = (float(i) * 5.625f) / 360.0f * 6.2831855f;
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
    if (FAILED(hr)) ENGINE_ERR("CBaseExpander::createGlobalMask", hr);
    return hr;
}

HRESULT CBaseExpander::createCommonRasterizer(ID3D10Device* device) {
    SafeRelease(rasterizerState);
    D3D10_RASTERIZER_DESC d{
        D3D10_FILL_SOLID, D3D10_CULL_NONE, TRUE, 0, 0.0f, 0.0f, TRUE, FALSE, FALSE, FALSE};
    HRESULT hr = device->CreateRasterizerState(&d, &rasterizerState);
    if (FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::createCommonRasterizer", hr);
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
        ENGINE_ERR("CBaseExpander::createCommonBlender", hr);
        return hr;
    }
    const float factor[4] = {0, 0, 0, 0};
    device->OMSetBlendState(blendState, factor, 0xFFFFFFFF);
    return S_OK;
}

HRESULT CBaseExpander::createCommonDSState(ID3D10Device* device) {
    SafeRelease(maskWriteState);
    SafeRelease(maskTestState);
    D3D10_DEPTH_STENCIL_DESC write{};
    write.DepthEnable = TRUE;
    write.DepthWriteMask = D3D10_DEPTH_WRITE_MASK_ZERO;
    write.DepthFunc = D3D10_COMPARISON_NEVER;
    write.StencilEnable = TRUE;
    write.StencilReadMask = 0xFF;
    write.StencilWriteMask = 0xFF;
    write.FrontFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_REPLACE,
                       D3D10_COMPARISON_ALWAYS};
    write.BackFace = write.FrontFace;
    HRESULT hr = device->CreateDepthStencilState(&write, &maskWriteState);
    if (FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::createCommonDSState", hr);
        return hr;
    }
    D3D10_DEPTH_STENCIL_DESC test{};
    test.DepthEnable = TRUE;
    test.DepthWriteMask = D3D10_DEPTH_WRITE_MASK_ALL;
    test.DepthFunc = D3D10_COMPARISON_LESS_EQUAL;
    test.StencilEnable = TRUE;
    test.StencilReadMask = 0xFF;
    test.StencilWriteMask = 0xFF;
    test.FrontFace = {D3D10_STENCIL_OP_REPLACE, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                      D3D10_COMPARISON_GREATER};
    test.BackFace = test.FrontFace;
    hr = device->CreateDepthStencilState(&test, &maskTestState);
    if (FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::createCommonDSState", hr);
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
    SafeRelease(staging_);
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
    if (SUCCEEDED(hr)) {
        D3D10_TEXTURE2D_DESC depthDesc = d;
        depthDesc.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
        depthDesc.BindFlags = D3D10_BIND_DEPTH_STENCIL;
        ID3D10Texture2D* depth = nullptr;
        hr = device->CreateTexture2D(&depthDesc, nullptr, &depth);
        if (SUCCEEDED(hr)) {
            D3D10_DEPTH_STENCIL_VIEW_DESC view{};
            view.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
            view.ViewDimension = D3D10_DSV_DIMENSION_TEXTURE2D;
            view.Texture2D.MipSlice = 0;
            hr = device->CreateDepthStencilView(depth, &view, &outDSV);
            depth->Release();
        }
    }
    if (SUCCEEDED(hr)) hr = device->CreateRenderTargetView(outTexture, nullptr, &outRTV);
    if (FAILED(hr)) ENGINE_ERR("CBaseExpander::createOutBufRes", hr);
    return hr;
}

HRESULT CBaseExpander::draw(ID3D10Device* device, ID3D10Effect* effect, ID3D10Buffer* buffer, uint32_t pass,
                            uint32_t count) {
    if (!device || !effect || !buffer) return E_INVALIDARG;
    ID3D10EffectTechnique* technique = effect->GetTechniqueByName("MyShader");
    if (!technique || !technique->IsValid()) return E_INVALIDARG;
    UINT stride = kStride, offset = 0;
    device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    if (HRESULT hr = technique->GetPassByIndex(pass)->Apply(0); FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::draw", hr);
        return hr;
    }
    device->Draw(count, 0);
    return S_OK;
}

HRESULT CBaseExpander::drawLines(const float* points, ID3D10Device* device, ID3D10Effect* effect,
                                 uint16_t count, float r, float g, float b, float a) {
    if (!device || !effect || (count && !points)) return E_INVALIDARG;
    std::vector<VERTEX> v(count);
    for (uint16_t i = 0; i < count; ++i)
        v[i] = {points[2 * i], points[2 * i + 1], 0.0f, r, g, b, a, 0.5f, 0.5f};
    ID3D10Buffer* buffer = nullptr;
    if (HRESULT hr = createVertexBuffer(device, v.data(), count, &buffer); FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::drawLines", hr);
        return hr;
    }
    ID3D10EffectTechnique* technique = effect->GetTechniqueByName("MyShader");
    if (!technique || !technique->IsValid()) {
        buffer->Release();
        return S_OK;
    }
    UINT stride = kStride, offset = 0;
    device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP);
    if (HRESULT hr = technique->GetPassByIndex(4)->Apply(0); FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::drawLines", hr);
        buffer->Release();
        return hr;
    }
    device->Draw(count, 0);
    buffer->Release();
    return S_OK;
}

HRESULT CBaseExpander::renderGlobalMask(ID3D10Device* device, ID3D10Effect* effect) {
    device->OMSetDepthStencilState(maskWriteState, 1);
    HRESULT hr = draw(device, effect, maskVB, 4, kMaskVertices);
    device->OMSetDepthStencilState(maskTestState, 1);
    if (FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::renderGlobalMask", hr);
        return hr;
    }
    return S_OK;
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
        ENGINE_ERR("CBaseExpander::SetInputSize", hr);
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
        ENGINE_ERR("CBaseExpander::SetInputSize", hr);
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
    EngineShared().contrast = c;
}
void CBaseExpander::SetBrightness(float b) {
    EngineShared().brightness = b;
}
void CBaseExpander::SetSaturation(float s) {
    EngineShared().saturation = s;
}
void CBaseExpander::SetSharpness(float amount) {
    SetSharpenKernel(EngineShared(), amount);
}
void CBaseExpander::SetBlur(float width) {
    SetBlurKernel(EngineShared(), width);
}

void CBaseExpander::SetFlip(bool horizontal, bool vertical) {
    EngineShared().flipHorizontal = horizontal;
    EngineShared().flipVertical = vertical;
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
        ENGINE_ERR("CBaseExpander::CreateEffect", hr);
        return hr;
    }
    D3D10_PASS_DESC pass{};
    hr = (*effect)->GetTechniqueByName("MyShader")->GetPassByIndex(0)->GetDesc(&pass);
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
        ENGINE_ERR("CBaseExpander::CreateEffect", hr);
        return hr;
    }
    device->IASetInputLayout(*layout);
    return S_OK;
}

HRESULT CBaseExpander::RenderAll(const RenderContext& ctx, BYTE* output) {
    if (!ctx.device || !ctx.effect) return E_INVALIDARG;
    const CEngineSharedState& shared = EngineShared();
    uint32_t pass;
    switch (ctx.inputKind) {
    case 0:
        SetEffectResource(ctx.effect, "tex0", ctx.planeViews[0]);
        pass = shared.filterOn ? 3 : 2;
        break;
    case 1:
        SetEffectResource(ctx.effect, "tex0", ctx.planeViews[0]);
        SetEffectResource(ctx.effect, "tex1", ctx.planeViews[1]);
        SetEffectResource(ctx.effect, "tex2", ctx.planeViews[2]);
        pass = shared.filterOn ? 1 : 0;
        break;
    default:
        ENGINE_ERR("CBaseExpander::RenderAll", E_NOTIMPL);
        return E_NOTIMPL;
    }
    SetEffectInt(ctx.effect, "texWidth", texWidth);
    SetEffectInt(ctx.effect, "texHeight", texHeight);
    SetEffectInt(ctx.effect, "imgWidth", imgWidth);
    SetEffectFloat(ctx.effect, "contrast", shared.contrast);
    SetEffectFloat(ctx.effect, "brightness", shared.brightness);
    SetEffectFloat(ctx.effect, "saturation", shared.saturation);
    SetEffectFilter(ctx.effect, "filter", shared.filter);

    RECT client{};
    GetClientRect(ctx.window, &client);
    D3D10_VIEWPORT viewport{0, 0, UINT(client.right), UINT(client.bottom), 0.0f, 1.0f};
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
        if (HRESULT hr = renderOutBuf(ctx.device, ctx.effect, pass, output); FAILED(hr)) {
            ENGINE_ERR("CBaseExpander::RenderAll", hr);
            return hr;
        }
    }
    if (ctx.swapChain) {
        if (HRESULT hr = ctx.swapChain->Present(0, 0); FAILED(hr)) {
            ENGINE_ERR("CBaseExpander::RenderAll", hr);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CBaseExpander::renderOutBuf(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass, BYTE* output) {
    if (!outTexture || !outRTV || !outDSV) {
        ENGINE_ERR("CBaseExpander::renderOutBuf", E_FAIL);
        return E_FAIL;
    }
    device->OMSetRenderTargets(1, &outRTV, outDSV);
    const float black[4] = {0, 0, 0, 1};
    device->ClearRenderTargetView(outRTV, black);
    device->ClearDepthStencilView(outDSV, D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
    SetEffectBool(effect, "inversed", true);
    if (HRESULT hr = renderMain(device, effect, pass); FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::renderOutBuf", hr);
        return hr;
    }
    SetEffectBool(effect, "inversed", false);

    if (!staging_) {
        D3D10_TEXTURE2D_DESC d;
        outTexture->GetDesc(&d);
        d.Usage = D3D10_USAGE_STAGING;
        d.BindFlags = 0;
        d.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        if (HRESULT hr = device->CreateTexture2D(&d, nullptr, &staging_); FAILED(hr)) {
            ENGINE_ERR("CBaseExpander::renderOutBuf", hr);
            return hr;
        }
    }
    device->CopyResource(staging_, outTexture);
    D3D10_MAPPED_TEXTURE2D mapped{};
    if (HRESULT hr = staging_->Map(0, D3D10_MAP_READ, 0, &mapped); FAILED(hr)) {
        ENGINE_ERR("CBaseExpander::renderOutBuf", hr);
        SafeRelease(staging_);
        return hr;
    }
    // Bytes 0, 1 and 2 of every texel, rows packed one after another, top row first.
    BYTE* dst = output;
    for (uint16_t y = 0; y < outHeight; ++y) {
        const BYTE* src = static_cast<const BYTE*>(mapped.pData) + size_t(y) * mapped.RowPitch;
        uint16_t x = 0;
        for (; x + 4 <= outWidth; x += 4, src += 16, dst += 12) {
            uint32_t p[4], packed[3];
            std::memcpy(p, src, 16);
            packed[0] = (p[0] & 0xFFFFFF) | (p[1] << 24);
            packed[1] = ((p[1] >> 8) & 0xFFFF) | (p[2] << 16);
            packed[2] = ((p[2] >> 16) & 0xFF) | (p[3] << 8);
            std::memcpy(dst, packed, 12);
        }
        for (; x < outWidth; ++x, src += 4, dst += 3) dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
    }
    staging_->Unmap(0);
    return S_OK;
}
