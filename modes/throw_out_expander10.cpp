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

float CThrowOutExpander10::panelOffset(int i) {
    float sx;
    getSegSize(nullptr, nullptr, &sx);
    // The first piece starts one unit below -pan; the second covers the 2/sx units just below that.
    return float(i) * float(2.0 / sx) + pan + float(1.0 - 1.0 / sx);
}

// The first piece in the lower half, the one before it in the upper half.
UINT CThrowOutExpander10::panelTop(int i) {
    return i == 0 ? UINT(outHeight >> 1) : 0;
}

void CThrowOutExpander10::pieceOutlines(float first[130], float second[130]) {
    const PanelArc a = panelArc();
    const float l = (2 - 2 / a.xScale) * 0.5f;
    const float centre = (4 - (a.pan - l)) * 0.5f * 180 + (a.flipped ? 180.0f : 0.0f);
    float* outlines[2] = {first, second};
    for (int piece = 0; piece < 2; ++piece) {
        // The second piece is the next 180/sx degrees on.
        const float c = centre + (piece ? 180 / a.xScale : 0.0f);
        ArcOutline(outlines[piece], c, a.width, a.step, a.outerRadius, a.innerRadius);
    }
}

HRESULT CThrowOutExpander10::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    float outlines[2][130];
    pieceOutlines(outlines[0], outlines[1]);
    return drawPanelOutlines(device, effect, outlines, report::kThrowOutRenderPreviewLine);
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

    // The two pieces stay undimmed: x from 1 - 1/zoom to 1 and from -1 to 1/zoom - 1.
    for (int k = 0; k < 2; ++k) {
        const float g = k == 0 ? 2 * zoom - 1 : 1 - 2 * zoom;
        view = tr.Translation(g, -zoom * tilt, 0) * sc.Scaling(0.5f / zoom, 1 / zoom, 1);
        markUndimmed(device, effect, world, view, projection);
    }
    dimUnmarked(device, effect);
    return S_OK;
}
