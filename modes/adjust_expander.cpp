#include "modes/adjust_expander.h"

#include <cmath>

#include "engine/engine_log.h"
#include "modes/flat_projection.h"

namespace {

float clampMagnitude(float value, float limit) {
    if (std::fabs(value) > limit) return value > 0 ? limit : -limit;
    return value;
}

// A quotient that cannot be formed (a one-pixel picture has no extent) leaves the shift at 0.
float finiteOrZero(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

} // namespace

CAdjustExpander::CAdjustExpander() = default;

CAdjustExpander::~CAdjustExpander() = default;

float CAdjustExpander::extentU() const {
    return float(imgWidth - 1) / float(texWidth);
}

float CAdjustExpander::extentV() const {
    return float(imgHeight - 1) / float(texHeight);
}

HRESULT CAdjustExpander::SetInputSize(ID3D10Device* device, uint16_t imgW, uint16_t imgH, uint16_t texW,
                                      uint16_t texH) {
    HRESULT hr = CBaseExpander::SetInputSize(device, imgW, imgH, texW, texH);
    if (FAILED(hr)) {
        EngineLogError(report::kAdjustSetInputSize, hr);
        return hr;
    }
    const EngineSettings calibration = settings();
    pan = finiteOrZero(calibration.centreOffsetU * -2 / extentU());
    tilt = finiteOrZero(calibration.centreOffsetV * 2 / extentV());
    return S_OK;
}

void CAdjustExpander::MoveBy(float dx, float dy) {
    // A drag is measured against the output; without one, or with a drag that is not a number, the
    // process-wide calibration would become NaN in every mode, so nothing moves.
    if (!outWidth || !outHeight || !std::isfinite(dx) || !std::isfinite(dy)) return;
    pan = clampMagnitude(pan + dx / outWidth * 2 * 0.5f, 2);
    tilt = clampMagnitude(tilt + dy / outHeight * 2 * 0.5f, 2);
    // Shifting the picture by pan quad units moves the sampled centre the other way by pan U / 2.
    EngineShared().SetCentreOffset(-(extentU() * (pan * 0.5f)), tilt * 0.5f * extentV());
}

void CAdjustExpander::ZoomBy(float step) {
    if (!std::isfinite(step)) return;
    zoom += step / 100;
    if (zoom >= 2)
        zoom = 2;
    else if (zoom <= 1)
        zoom = 1;
    // Once the fisheye circle fills the guide, its radius in the picture is 1/zoom of the half-width.
    EngineShared().SetCircleRadius(0.5f / zoom);
}

void CAdjustExpander::SetPosition(float, float) {}
void CAdjustExpander::SetZoom(float) {}
void CAdjustExpander::GetPosition(float*, float*) {}
void CAdjustExpander::GetZoom(float*) {}

HRESULT CAdjustExpander::initialize(ID3D10Device* device) {
    SafeRelease(mainVB);
    const float U = extentU(), V = extentV();
    const VERTEX quad[4] = {
        {-1, -1, 0, 1, 1, 1, 1, 0, V},
        {-1, 1, 0, 1, 1, 1, 1, 0, 0},
        {1, -1, 0, 1, 1, 1, 1, U, V},
        {1, 1, 0, 1, 1, 1, 1, U, 0},
    };
    HRESULT hr = createVertexBuffer(device, quad, 4, &mainVB);
    if (FAILED(hr)) {
        EngineLogError(report::kAdjustInitialize, hr);
        SafeRelease(mainVB);
        return hr;
    }
    return S_OK;
}

void CAdjustExpander::aspectFactors(float& kx, float& ky) const {
    const float h = float(outHeight) / float(outWidth), w = float(outWidth) / float(outHeight);
    kx = h < 1 ? h : 1.0f;
    ky = w < 1 ? w : 1.0f;
}

HRESULT CAdjustExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    D3D10_VIEWPORT vp{0, 0, outWidth, outHeight, 0.0f, 1.0f};
    device->RSSetViewports(1, &vp);
    float kx, ky;
    aspectFactors(kx, ky);

    // The picture: shifted, then scaled; the flip flags do not apply here.
    const CMatrix world;
    CMatrix tr, sc;
    const CMatrix view = tr.Translation(pan, tilt, 0) * sc.Scaling(zoom * kx, zoom * ky, 1);
    const CMatrix projection = FlatProjection();
    SetWorldViewProj(&world, &view, &projection, effect);
    draw(device, effect, mainVB, pass, 4);

    // The guide: the circle inscribed in the centred square, fixed whatever the picture does. 64
    // points 360/63 degrees apart, the last meeting the first.
    float points[128];
    for (int i = 0; i < 64; ++i) {
        const float theta = float((i + 1) * 5.714286f / 360.0 * kTwoPi);
        points[2 * i] = fcos(theta);
        points[2 * i + 1] = fsin(theta);
    }
    const CMatrix guide = sc.Scaling(kx, ky, 1);
    SetWorldViewProj(nullptr, &guide, nullptr, effect);
    // Red. This draws into the out buffer, whose channels are read back as blue, green, red: the
    // textured passes order their output for it, but the line pass writes the vertex colour as given,
    // so red goes in the third channel.
    drawLines(points, device, effect, 64, 0, 0, 1, 1);
    return S_OK;
}
