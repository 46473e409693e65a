#include "modes/equirect_expander.h"

#include "engine/engine_log.h"
#include "modes/flat_projection.h"
#include "modes/panorama_expander.h"

namespace {

// Half the lens's polar range in radians: the vertical scale that makes a degree of polar angle as tall
// as a degree of azimuth is wide.
constexpr float kPsi = kLensRangeRadians * 0.5f;
// The offset that puts the lens axis at the top of a 2:1 map and the horizon at its middle.
const float kAxisOffset = float((1 - double(kPsi) * 0.6366197546520227) / (2 * double(kPsi)));

} // namespace

CEquirectExpander::CEquirectExpander() = default;

CEquirectExpander::~CEquirectExpander() = default;

void CEquirectExpander::MoveBy(float dx, float) {
    if (!outWidth) return; // a drag in pixels of an output not sized yet
    pan += 2 * dx / (outWidth * zoom);
    if (pan >= 1)
        pan = -1;
    else if (pan <= -1)
        pan = 1;
}

void CEquirectExpander::SetPosition(float h, float) {
    if (h >= 0 && h <= 100) pan = h / 50 - 1;
}

// The map has no zoom and reports no position of its own.
void CEquirectExpander::ZoomBy(float) {}
void CEquirectExpander::SetZoom(float) {}
void CEquirectExpander::GetPosition(float*, float*) {}
void CEquirectExpander::GetZoom(float*) {}

HRESULT CEquirectExpander::initialize(ID3D10Device* device) {
    SafeRelease(mainVB);
    mainVB = createPanoramaVtx(device);
    return S_OK;
}

HRESULT CEquirectExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    const ViewFit fit = ComputeViewFit(outWidth, outHeight, radiusScale);
    device->RSSetViewports(1, &fit.viewport);
    // A row at polar parameter t lands at (1 - 2 t kLensRangeDegrees/180) d e / 2: the axis at the top of a
    // 2:1 map, the horizon at its middle. A downward lens is turned over by the flip matrix first, so the
    // offset changes sign with it.
    const float s = settings().flipVertical ? -1.0f : 1.0f;
    const CMatrix world = getFlipMatrix();
    CMatrix tr, sc;
    const CMatrix view = tr.Translation(pan, s * kAxisOffset, 0) * sc.Scaling(1, fit.d * fit.e * kPsi, 1);
    const CMatrix projection = FlatProjection();
    SetWorldViewProj(&world, &view, &projection, effect);
    return draw(device, effect, mainVB, pass, kPanoramaVertices);
}
