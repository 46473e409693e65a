#include "modes/throw_out_expander10.h"

#include "engine/engine_log.h"
#include "modes/arc_outline.h"
#include "modes/flat_projection.h"
#include "modes/panorama_expander.h"

CThrowOutExpander10::CThrowOutExpander10() : overviewVB(nullptr) {}

CThrowOutExpander10::~CThrowOutExpander10() {
    SafeRelease(overviewVB);
}

HRESULT CThrowOutExpander10::initialize(ID3D10Device* device) {
    HRESULT hr = CSegExpander::initialize(device);
    if (FAILED(hr)) {
        EngineLogError(report::kThrowOutInitialize, hr);
        return hr;
    }
    SafeRelease(overviewVB);
    overviewVB = createPanoramaVtx(device);
    return S_OK;
}

float CThrowOutExpander10::pieceOffset(int i) {
    float sx;
    getSegSize(nullptr, nullptr, &sx);
    // The first piece starts one unit below -pan; the second covers the 2/sx units just below that.
    return float(i) * float(2.0 / sx) + pan + float(1.0 - 1.0 / sx);
}

HRESULT CThrowOutExpander10::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    if (!outWidth || !outHeight) return S_OK;
    const CMatrix world = getFlipMatrix();
    const CMatrix projection = FlatProjection();
    const UINT half = outHeight >> 1;
    for (int i = 0; i < 2; ++i) {
        uint32_t w;
        float aspect, sx;
        getSegSize(&w, &aspect, &sx);
        D3D10_VIEWPORT vp{INT((outWidth - w) * 0.5), INT(i == 0 ? half : 0), w, half, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
        CMatrix tr, sc;
        const CMatrix view = tr.Translation(pieceOffset(i), tilt, 0) * sc.Scaling(sx, float(sx * aspect), 1);
        SetWorldViewProj(&world, &view, &projection, effect);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
    }
    return S_OK;
}

void CThrowOutExpander10::pieceOutlines(float first[130], float second[130]) {
    float sx;
    getSegSize(nullptr, nullptr, &sx);
    const bool flipped = settings().flipVertical;
    const float tiltV = flipped ? -tilt : tilt, panV = flipped ? -pan : pan;
    const float r = (zoom - 1) * radiusScale * 0.25f;
    const float P = (tiltV * radiusScale + r) * 0.5f;
    const float Ra = lensRadius(1 - r + P), Rb = lensRadius(1 - radiusScale + P);
    const float W = 180 / sx, step = W / 31;
    const float l = (2 - 2 / sx) * 0.5f;
    const float centre = (4 - (panV - l)) * 0.5f * 180 + (flipped ? 180.0f : 0.0f);
    float* outlines[2] = {first, second};
    for (int piece = 0; piece < 2; ++piece) {
        // The second piece is the next 180/sx degrees on.
        const float c = centre + (piece ? 180 / sx : 0.0f);
        ArcOutline(outlines[piece], c, W, step, Ra, Rb);
    }
}

HRESULT CThrowOutExpander10::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    float outlines[2][130];
    pieceOutlines(outlines[0], outlines[1]);
    for (const float* points : outlines) {
        if (HRESULT hr = drawLines(points, device, effect, 65, 1, 0, 0, 1); FAILED(hr)) {
            EngineLogError(report::kThrowOutRenderPreviewLine, hr);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CThrowOutExpander10::renderOverlay(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass,
                                           const uint16_t* size) {
    if (!size) return E_POINTER;
    if (!size[0] || !size[1]) return S_OK;
    if (!device) return E_INVALIDARG;
    const ViewFit fit = ComputeViewFit(size[0], size[1], radiusScale);
    device->RSSetViewports(1, &fit.viewport);
    const CMatrix world = getFlipMatrix();
    const CMatrix projection = FlatProjection();

    // The whole panorama at its own aspect: one turn spans the viewport (the panorama mesh has 2 units
    // per turn where the segment mesh has 4, hence the half pan).
    CMatrix tr, sc;
    CMatrix view = tr.Translation(float((pan + 1) * 0.5), 0, 0) * sc.Scaling(1, float(fit.e * fit.d), 1);
    SetWorldViewProj(&world, &view, &projection, effect);
    draw(device, effect, overviewVB, pass, kPanoramaVertices);

    // The two pieces, marked in the stencil only: x from 1 - 1/zoom to 1 and from -1 to 1/zoom - 1.
    device->OMSetDepthStencilState(maskWriteState, 1);
    for (int k = 0; k < 2; ++k) {
        const float g = k == 0 ? 2 * zoom - 1 : 1 - 2 * zoom;
        view = tr.Translation(g, -zoom * tilt, 0) * sc.Scaling(0.5f / zoom, 1 / zoom, 1);
        SetWorldViewProj(&world, &view, &projection, effect);
        draw(device, effect, dimVB, kPassVertexColour, 4);
    }
    // Everything outside them dimmed.
    SetWorldViewProj(nullptr, nullptr, nullptr, effect);
    device->OMSetDepthStencilState(maskTestState, 1);
    draw(device, effect, dimVB, kPassVertexColour, 4);
    return S_OK;
}
