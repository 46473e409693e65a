#include "engine/source_view.h"

#include <cstring>

#include "engine/base_expander.h"
#include "engine/effect_variables.h"
#include "engine/engine_log.h"
#include "engine/matrix.h"
#include "engine/shared_state.h"

namespace {

// The device's pipeline state that drawing here changes, taken on construction and put back on
// destruction.
class SavedPipeline {
public:
    explicit SavedPipeline(ID3D10Device* d) : device(d) {
        device->OMGetRenderTargets(1, &target, &depth);
        device->OMGetBlendState(&blend, blendFactor, &sampleMask);
        device->OMGetDepthStencilState(&depthStencil, &stencilRef);
        device->RSGetState(&rasterizer);
        device->RSGetViewports(&viewportCount, viewports);
        device->IAGetInputLayout(&layout);
        device->IAGetVertexBuffers(0, 1, &buffer, &stride, &offset);
        device->IAGetPrimitiveTopology(&topology);
    }
    ~SavedPipeline() {
        device->OMSetRenderTargets(1, &target, depth);
        device->OMSetBlendState(blend, blendFactor, sampleMask);
        device->OMSetDepthStencilState(depthStencil, stencilRef);
        device->RSSetState(rasterizer);
        device->RSSetViewports(viewportCount, viewports);
        device->IASetInputLayout(layout);
        device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
        device->IASetPrimitiveTopology(topology);
        SafeRelease(target);
        SafeRelease(depth);
        SafeRelease(blend);
        SafeRelease(depthStencil);
        SafeRelease(rasterizer);
        SafeRelease(layout);
        SafeRelease(buffer);
    }
    SavedPipeline(const SavedPipeline&) = delete;
    SavedPipeline& operator=(const SavedPipeline&) = delete;

private:
    ID3D10Device* device;
    ID3D10RenderTargetView* target = nullptr;
    ID3D10DepthStencilView* depth = nullptr;
    ID3D10BlendState* blend = nullptr;
    FLOAT blendFactor[4] = {};
    UINT sampleMask = 0;
    ID3D10DepthStencilState* depthStencil = nullptr;
    UINT stencilRef = 0;
    ID3D10RasterizerState* rasterizer = nullptr;
    UINT viewportCount = D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE;
    D3D10_VIEWPORT viewports[D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE] = {};
    ID3D10InputLayout* layout = nullptr;
    ID3D10Buffer* buffer = nullptr;
    UINT stride = 0, offset = 0;
    D3D10_PRIMITIVE_TOPOLOGY topology = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
};

// The largest rectangle of the picture's shape within width x height, centred.
D3D10_VIEWPORT FittedViewport(uint16_t width, uint16_t height, uint16_t imgWidth, uint16_t imgHeight) {
    UINT w = width, h = height;
    if (uint64_t(width) * imgHeight > uint64_t(height) * imgWidth)
        w = UINT(uint64_t(height) * imgWidth / imgHeight);
    else
        h = UINT(uint64_t(width) * imgHeight / imgWidth);
    return D3D10_VIEWPORT{INT((width - w) / 2), INT((height - h) / 2), w ? w : 1, h ? h : 1, 0.0f, 1.0f};
}

} // namespace

CSourceView::~CSourceView() {
    Release();
}

void CSourceView::Release() {
    pictureTarget.release();
    overviewTarget.release();
    SafeRelease(quad);
    quadU = quadV = -1;
}

void CSourceView::Target::release() {
    SafeRelease(texture);
    SafeRelease(view);
    SafeRelease(depth);
    SafeRelease(staging);
    device = nullptr;
    width = height = 0;
}

HRESULT CSourceView::Target::ensure(ID3D10Device* d, uint16_t w, uint16_t h) {
    if (d == device && w == width && h == height && texture) return S_OK;
    release();
    // The channel order of the engine's window: red first, as pass 4 writes a line's colour.
    D3D10_TEXTURE2D_DESC desc{
        w, h, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_RENDER_TARGET, 0, 0};
    HRESULT hr = d->CreateTexture2D(&desc, nullptr, &texture);
    if (SUCCEEDED(hr)) hr = d->CreateRenderTargetView(texture, nullptr, &view);
    if (SUCCEEDED(hr)) hr = CreateDepthTarget(d, w, h, &depth);
    if (SUCCEEDED(hr)) {
        desc.Usage = D3D10_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        hr = d->CreateTexture2D(&desc, nullptr, &staging);
    }
    if (FAILED(hr)) {
        release();
        return hr;
    }
    device = d;
    width = w;
    height = h;
    return S_OK;
}

void CSourceView::Target::bind(ID3D10Device* d) const {
    d->OMSetRenderTargets(1, &view, depth);
    const float black[4] = {0, 0, 0, 0};
    d->ClearRenderTargetView(view, black);
    d->ClearDepthStencilView(depth, D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL, 1.0f, 0);
    const D3D10_VIEWPORT whole{0, 0, width, height, 0.0f, 1.0f};
    d->RSSetViewports(1, &whole);
}

HRESULT CSourceView::Target::readBack(ID3D10Device* d, uint8_t* pixels) const {
    d->CopyResource(staging, texture);
    D3D10_MAPPED_TEXTURE2D mapped{};
    if (HRESULT hr = staging->Map(0, D3D10_MAP_READ, 0, &mapped); FAILED(hr)) return hr;
    for (uint16_t y = 0; y < height; ++y) {
        const uint8_t* in = static_cast<const uint8_t*>(mapped.pData) + size_t(y) * mapped.RowPitch;
        uint8_t* out = pixels + size_t(y) * width * 4;
        for (uint16_t x = 0; x < width; ++x, in += 4, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 0;
        }
    }
    staging->Unmap(0);
    return S_OK;
}

HRESULT CSourceView::drawPicture(const Input& in, uint32_t pass, const D3D10_VIEWPORT& fitted) {
    // The whole picture: its texture coordinates stop at the last picture texel, as the modes' do.
    const float U = float(in.imgWidth - 1) / float(in.texWidth),
                V = float(in.imgHeight - 1) / float(in.texHeight);
    if (!quad || U != quadU || V != quadV) {
        SafeRelease(quad);
        const VERTEX v[4] = {{-1, -1, 0, 1, 1, 1, 1, 0, V},
                             {-1, 1, 0, 1, 1, 1, 1, 0, 0},
                             {1, -1, 0, 1, 1, 1, 1, U, V},
                             {1, 1, 0, 1, 1, 1, 1, U, 0}};
        const D3D10_BUFFER_DESC desc{sizeof v, D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0};
        const D3D10_SUBRESOURCE_DATA data{v, 0, 0};
        if (HRESULT hr = in.device->CreateBuffer(&desc, &data, &quad); FAILED(hr)) return hr;
        quadU = U;
        quadV = V;
    }
    ID3D10EffectTechnique* technique = in.effect->GetTechniqueByName(kTechniqueName);
    if (!technique || !technique->IsValid()) return E_INVALIDARG;
    in.device->RSSetViewports(1, &fitted);
    SetWorldViewProj(nullptr, nullptr, nullptr, in.effect);
    UINT stride = sizeof(VERTEX), offset = 0;
    in.device->IASetVertexBuffers(0, 1, &quad, &stride, &offset);
    in.device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    if (HRESULT hr = technique->GetPassByIndex(pass)->Apply(0); FAILED(hr)) return hr;
    in.device->Draw(4, 0);
    return S_OK;
}

HRESULT CSourceView::Draw(const Input& in, CBaseExpander* mode, uint16_t width, uint16_t height,
                          uint8_t* picture, uint16_t overviewWidth, uint16_t overviewHeight,
                          uint8_t* overview, bool* overviewDrawn) {
    if (!in.device || !in.effect || !in.texture || !mode) return E_INVALIDARG;
    if (!picture || (overview && !overviewDrawn)) return E_POINTER;
    if (!width || !height || !in.imgWidth || !in.imgHeight || !in.texWidth || !in.texHeight ||
        (overview && (!overviewWidth || !overviewHeight)))
        return E_INVALIDARG;
    if (overviewDrawn) *overviewDrawn = false;
    if (HRESULT hr = pictureTarget.ensure(in.device, width, height); FAILED(hr)) return hr;
    if (overview)
        if (HRESULT hr = overviewTarget.ensure(in.device, overviewWidth, overviewHeight); FAILED(hr))
            return hr;

    SavedPipeline saved(in.device);
    // The frame's variables, with the channels in display order (red first) rather than the out
    // buffer's, so the picture and the red of the outlines read back alike.
    const EngineSettings shared = EngineShared().Snapshot();
    const uint32_t pass = shared.filterOn ? kPassPackedFiltered : kPassPacked;
    SetEffectResource(in.effect, "tex0", in.texture);
    SetEffectInt(in.effect, "texWidth", in.texWidth);
    SetEffectInt(in.effect, "texHeight", in.texHeight);
    SetEffectInt(in.effect, "imgWidth", in.imgWidth);
    SetEffectFloat(in.effect, "contrast", shared.contrast);
    SetEffectFloat(in.effect, "brightness", shared.brightness);
    SetEffectFloat(in.effect, "saturation", shared.saturation);
    SetEffectFilter(in.effect, "filter", shared.filter);
    SetEffectFloat(in.effect, "alpha", 1.0f);
    SetEffectBool(in.effect, "inversed", false);

    pictureTarget.bind(in.device);
    const D3D10_VIEWPORT fitted = FittedViewport(width, height, in.imgWidth, in.imgHeight);
    if (HRESULT hr = drawPicture(in, pass, fitted); FAILED(hr)) return hr;
    // The outlines are in the picture circle's units (radius 1 at the circle's edge), +y towards the
    // texture's first row as in the drawn picture; the circle is circleRadius of the picture across,
    // moved by the calibrated centre offset (texture units, as the modes' meshes add it).
    const float U = float(in.imgWidth - 1) / float(in.texWidth),
                V = float(in.imgHeight - 1) / float(in.texHeight);
    const float scale = 2 * shared.circleRadius;
    CMatrix toPicture, move;
    toPicture.Scaling(scale, scale, 1);
    move.Translation(U > 0 ? 2 * shared.centreOffsetU / U : 0, V > 0 ? -2 * shared.centreOffsetV / V : 0, 0);
    toPicture *= move;
    SetWorldViewProj(&toPicture, nullptr, nullptr, in.effect);
    if (HRESULT hr = mode->renderPreviewLine(in.device, in.effect, 0, 0); FAILED(hr)) return hr;
    if (HRESULT hr = pictureTarget.readBack(in.device, picture); FAILED(hr)) return hr;

    if (overview) {
        overviewTarget.bind(in.device);
        SetWorldViewProj(nullptr, nullptr, nullptr, in.effect);
        const uint16_t size[2] = {overviewWidth, overviewHeight};
        if (HRESULT hr = mode->renderOverlay(in.device, in.effect, pass, size); FAILED(hr)) return hr;
        if (HRESULT hr = overviewTarget.readBack(in.device, overview); FAILED(hr)) return hr;
        // A mode without an overview draws nothing: the target stays black.
        const size_t bytes = size_t(overviewWidth) * overviewHeight * 4;
        for (size_t i = 0; i < bytes && !*overviewDrawn; ++i) *overviewDrawn = overview[i] != 0;
    }
    return S_OK;
}
