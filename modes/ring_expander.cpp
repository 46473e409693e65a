#include "modes/ring_expander.h"

#include <new>

#include "engine/engine_log.h"
#include "modes/flat_projection.h"

namespace {

constexpr float kZoomStep = 0.025f;

} // namespace

CRingExpander::CRingExpander() {
    radiusScale = 0.8f;
    tilt = 27.0f;
    zoom = 0.6f;
}

CRingExpander::~CRingExpander() = default;

void CRingExpander::MoveBy(float dx, float dy) {
    if (!outWidth || !outHeight) return;
    pan += dx / outWidth / zoom * 180;
    tilt -= dy / outHeight / zoom * 180;
    if (pan >= 360)
        pan -= 360;
    else if (pan <= 0)
        pan += 360;
    if (tilt >= 60)
        tilt = 60;
    else if (tilt <= -60)
        tilt = -60;
}

void CRingExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = float(double(kDegreesPerPercent) * h);
    if (v >= 0 && v <= 100) tilt = float(double(kDegreesPerPercent) * v - 150);
}

void CRingExpander::ZoomBy(float step) {
    zoom += step / 50;
    if (zoom > 3)
        zoom = 3;
    else if (zoom < 0.5f)
        zoom = 0.5f;
}

void CRingExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) zoom = p * kZoomStep + 0.5f;
}

// The vertical percentage is reported without the offset SetPosition applies.
void CRingExpander::GetPosition(float* h, float* v) {
    if (h) *h = float(pan / double(kDegreesPerPercent));
    if (v) *v = float(tilt / double(kDegreesPerPercent));
}

void CRingExpander::GetZoom(float* p) {
    if (p) *p = (zoom - 0.5f) / kZoomStep;
}

std::unique_ptr<VERTEX[]> CRingExpander::createRingVtx() {
    std::unique_ptr<VERTEX[]> mesh(new (std::nothrow) VERTEX[kPanoramaVertices]());
    if (!mesh) return mesh;
    const EngineSettings calibration = settings();
    const float q = 2 * calibration.circleRadius;
    const float lu = float(imgWidth - 1) / float(texWidth), lv = float(imgHeight - 1) / float(texHeight);
    const float dt = float(radiusScale * 0.03125);
    float t = 1.0f, y = -1.0f;
    VERTEX* out = mesh.get();
    for (int band = 0; band < 32; ++band, y += 0.0625f) {
        const float R1 = lensRadius(t) * q;
        t -= dt;
        const float R2 = lensRadius(t) * q;
        // Position azimuth and texture angle run together, a full turn anticlockwise over 128 columns.
        float phi = 0.0f;
        for (int column = 0; column < 129; ++column, phi += 2.8125f) {
            const float cp = fcos(RadiansInFloat(phi)), sp = fsin(RadiansInFloat(phi));
            const float c = cp * 0.5f, s = sp * 0.5f;
            *out++ = {cp, y * 0.5f, sp, 1, 1, 1, 1, (R1 * c + 0.5f) * lu, (R1 * s + 0.5f) * lv};
            *out++ = {cp, (y + 0.0625f) * 0.5f, sp, 1, 1, 1, 1, lu * (c * R2 + 0.5f), lv * (s * R2 + 0.5f)};
        }
    }
    addCentreOffset(mesh.get(), kPanoramaVertices, calibration);
    return mesh;
}

HRESULT CRingExpander::initialize(ID3D10Device* device) {
    std::unique_ptr<VERTEX[]> mesh = createRingVtx();
    return replaceMainVB(device, mesh.get(), kPanoramaVertices, report::kRingInitialize);
}

HRESULT CRingExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    // A square as wide as the output; only its top outHeight rows are seen on a landscape output, so
    // the ring is moved up from the square's centre to the output's.
    D3D10_VIEWPORT vp{0, 0, outWidth, outWidth, 0.0f, 1.0f};
    device->RSSetViewports(1, &vp);
    const CMatrix world = getFlipMatrix();
    CMatrix sc, ry, rx, tr;
    const float shift = 1 - 1 / (float(outWidth) / float(outHeight));
    const CMatrix view = sc.Scaling(zoom, zoom, zoom) * ry.RotationY(RadiansInFloat(pan)) *
                         rx.RotationX(RadiansInFloat(tilt)) * tr.Translation(0, shift, 0);
    const CMatrix projection = FlatProjection();
    SetWorldViewProj(&world, &view, &projection, effect);
    draw(device, effect, mainVB, pass, kPanoramaVertices);
    return S_OK;
}

HRESULT CRingExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    // The two edges of the band on the picture: the rim and the circle 1 - radiusScale in.
    const float radii[2] = {1.0f, 1.0f - radiusScale};
    const ReportSite sites[2] = {report::kRingRenderPreviewRim, report::kRingRenderPreviewInner};
    for (int c = 0; c < 2; ++c) {
        float points[64];
        for (int k = 1; k <= 32; ++k) {
            const float a = RadiansInFloat(float(k) * 11.612904f);
            points[2 * (k - 1)] = fcos(a) * radii[c];
            points[2 * (k - 1) + 1] = fsin(a) * radii[c];
        }
        if (HRESULT hr = drawLines(points, device, effect, 32, 1, 0, 0, 1); FAILED(hr)) {
            EngineLogError(sites[c], hr);
            return hr;
        }
    }
    return S_OK;
}
