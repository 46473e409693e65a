#include "modes/quad_expander.h"

#include <new>

#include "engine/engine_log.h"
#include "modes/flat_projection.h"

namespace {

constexpr float kZoomStep = 0.024f;
constexpr float kZoomMin = 0.6f;

} // namespace

CQuadExpander::CQuadExpander() {
    clampTilt();
}

CQuadExpander::~CQuadExpander() = default;

float CQuadExpander::tiltFloor() const {
    return float(double(90 / zoom * 0.5f) - double(kRimBelowHorizonDegrees));
}

void CQuadExpander::clampTilt() {
    const float F = tiltFloor();
    if (settings().flipVertical) {
        if (tilt <= -90)
            tilt = -90;
        else if (tilt > -F)
            tilt = -F;
    } else {
        if (tilt <= F)
            tilt = F;
        else if (tilt > 90)
            tilt = 90;
    }
}

void CQuadExpander::SetFlip(bool horizontal, bool vertical) {
    CBaseExpander::SetFlip(horizontal, vertical);
    clampTilt();
}

void CQuadExpander::MoveBy(float dx, float dy) {
    // A drag is measured in pixels of the output; before it has a size there is nothing to turn by.
    if (!outWidth || !outHeight) return;
    pan += dx * 2 / outWidth / zoom * 360;
    if (pan >= 360)
        pan -= 360;
    else if (pan <= 0)
        pan += 360;
    tilt += dy * 2 / outHeight / zoom * 360;
    clampTilt();
}

void CQuadExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = float(double(kDegreesPerPercent) * h);
    if (v >= 0 && v <= 100) {
        const float F = tiltFloor();
        const float m = F + v * float((90 - F) / 100);
        tilt = settings().flipVertical ? -m : m;
    }
}

void CQuadExpander::ZoomBy(float step) {
    zoom += step / 10;
    if (zoom >= 3)
        zoom = 3;
    else if (zoom <= kZoomMin)
        zoom = kZoomMin;
    clampTilt();
}

void CQuadExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) zoom = p * kZoomStep + kZoomMin;
}

void CQuadExpander::GetPosition(float* h, float* v) {
    if (h) *h = float(pan / double(kDegreesPerPercent));
    if (v) {
        const float F = tiltFloor();
        *v =
            settings().flipVertical ? (tilt + F) / float((F - 90) / 100) : (tilt - F) / float((90 - F) / 100);
    }
}

void CQuadExpander::GetZoom(float* p) {
    if (p) *p = (zoom - kZoomMin) / kZoomStep;
}

std::unique_ptr<VERTEX[]> CQuadExpander::createQuadVtx() {
    std::unique_ptr<VERTEX[]> mesh(new (std::nothrow) VERTEX[kPanoramaVertices]());
    if (!mesh) return mesh;
    const float A = kLensRangeDegrees;
    const EngineSettings calibration = settings();
    const float q = 2 * calibration.circleRadius;
    const float lu = float(imgWidth - 1) / float(texWidth), lv = float(imgHeight - 1) / float(texHeight);
    float e = kRimElevationDegrees, t = 1.0f;
    VERTEX* out = mesh.get();
    for (int band = 0; band < 32; ++band) {
        const float R1 = lensRadius(t) * q;
        t -= 0.03125f;
        const float R2 = lensRadius(t) * q;
        const float cm = fcos(RadiansInFloat(e)), sm = fsin(RadiansInFloat(e));
        e += float(A * 0.03125);
        const float ct = fcos(RadiansInFloat(e)), st = fsin(RadiansInFloat(e));
        // Position azimuth and texture angle run together, a full turn clockwise over 128 columns.
        float phi = 0.0f;
        for (int column = 0; column < 129; ++column, phi -= 2.8125f) {
            const float cp = fcos(RadiansInFloat(phi)), sp = fsin(RadiansInFloat(phi));
            const float c = cp * 0.5f, s = sp * 0.5f;
            *out++ = {cp * cm, sm, sp * cm, 1, 1, 1, 1, (R1 * c + 0.5f) * lu, (R1 * s + 0.5f) * lv};
            *out++ = {cp * ct, st, sp * ct, 1, 1, 1, 1, lu * (c * R2 + 0.5f), lv * (s * R2 + 0.5f)};
        }
    }
    addCentreOffset(mesh.get(), kPanoramaVertices, calibration);
    return mesh;
}

HRESULT CQuadExpander::initialize(ID3D10Device* device) {
    std::unique_ptr<VERTEX[]> mesh = createQuadVtx();
    return replaceMainVB(device, mesh.get(), kPanoramaVertices, report::kQuadInitialize);
}

HRESULT CQuadExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    const UINT w = outWidth / 2, h = outHeight / 2;
    const CMatrix world = getFlipMatrix();
    CMatrix projection;
    projection.PerspectiveLH(RadiansInFloat(90 / zoom), float(outWidth) / float(outHeight), 0.1f, 10.0f);
    // Top-left, top-right, bottom-left, bottom-right, each turned a further 90 degrees.
    for (int i = 0; i < 4; ++i) {
        D3D10_VIEWPORT vp{INT(i == 1 || i == 3 ? w : 0), INT(i >= 2 ? h : 0), w, h, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
        CMatrix ry, rx;
        const CMatrix view =
            ry.RotationY(RadiansInFloat(90.0f * float(i) + pan)) * rx.RotationX(RadiansInFloat(tilt));
        SetWorldViewProj(&world, &view, &projection, effect);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
    }
    return S_OK;
}

void CQuadExpander::previewOutlines(float outlines[4][66]) const {
    // 32 points round the border of the view square, from the top-right corner anticlockwise.
    float border[64];
    int n = 0;
    for (int i = 0; i < 8; ++i) border[n++] = 1 - 0.25f * float(i), border[n++] = 1;   // top edge
    for (int i = 0; i < 8; ++i) border[n++] = -1, border[n++] = 1 - 0.25f * float(i);  // left edge
    for (int i = 0; i < 8; ++i) border[n++] = -1 + 0.25f * float(i), border[n++] = -1; // bottom edge
    for (int i = 0; i < 8; ++i) border[n++] = 1, border[n++] = -1 + 0.25f * float(i);  // right edge

    const float halfField = RadiansInFloat(90 / zoom) * 0.5f;
    const float p22 = 1 / ftan(halfField);
    const float p11 = p22 / (float(outWidth) / float(outHeight));
    const bool flipped = settings().flipVertical;
    const float P = flipped ? pan : -pan;
    const float beta = RadiansInFloat(flipped ? -tilt : tilt);
    const float sb = fsin(beta), cb = fcos(beta);
    for (int k = 0; k < 32; ++k) {
        const float vx = border[2 * k] / p11, vy = border[2 * k + 1] / p22;
        const float a = 1 / (vx * vx + vy * vy + 1);
        const float C = a * vx, D = a * vy;
        // The camera direction (C, D, a) turned by beta about the x axis; Y runs along the lens axis.
        const float Y = sb * a + cb * D;
        const float Z = a * cb - sb * D;
        const float R = lensRadius(fatan2(fsqrt(C * C + Z * Z), Y) / kLensRangeRadians);
        for (int j = 0; j < 4; ++j) {
            const float c = (C == 0 && Z == 0) ? 0.0f : RadiansInFloat(90.0f * float(j) + P) + fatan2(Z, C);
            outlines[j][2 * k] = fcos(c) * R;
            outlines[j][2 * k + 1] = fsin(c) * R;
        }
    }
    for (int j = 0; j < 4; ++j) {
        outlines[j][64] = outlines[j][0];
        outlines[j][65] = outlines[j][1];
    }
}

HRESULT CQuadExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    float outlines[4][66];
    previewOutlines(outlines);
    for (const float* points : outlines) {
        if (HRESULT hr = drawLines(points, device, effect, 33, 1, 0, 0, 1); FAILED(hr)) {
            EngineLogError(report::kQuadRenderPreviewLine, hr);
            return hr;
        }
    }
    return S_OK;
}
