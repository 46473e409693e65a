#include "modes/indome_expander.h"

#include <cmath>

#include "modes/flat_projection.h"

CInDomeExpander::CInDomeExpander() {
    zoom = 1.0f;
    clampTilt();
}

CInDomeExpander::~CInDomeExpander() = default;

float CInDomeExpander::horizontalField() const {
    return (2 - zoom) * 56 + 77.33f;
}

float CInDomeExpander::verticalField() const {
    return outWidth ? horizontalField() * outHeight / outWidth : 0.0f;
}

float CInDomeExpander::lowTilt() const {
    return verticalField() * 0.5f - kRimBelowHorizonDegrees;
}

void CInDomeExpander::clampTilt() {
    const float lo = lowTilt();
    if (!settings().flipVertical) {
        if (tilt <= lo)
            tilt = lo;
        else if (tilt > 90)
            tilt = 90;
    } else {
        if (tilt <= -90)
            tilt = -90;
        else if (tilt > -lo)
            tilt = -lo;
    }
}

HRESULT CInDomeExpander::SetOutBufSize(ID3D10Device* device, uint16_t width, uint16_t height) {
    HRESULT hr = CBaseExpander::SetOutBufSize(device, width, height);
    clampTilt();
    return hr;
}

void CInDomeExpander::SetFlip(bool horizontal, bool vertical) {
    CBaseExpander::SetFlip(horizontal, vertical);
    clampTilt();
}

void CInDomeExpander::MoveBy(float dx, float dy) {
    pan -= dx / outWidth / zoom * 360;
    if (pan >= 360)
        pan -= 360;
    else if (pan <= 0)
        pan += 360;
    tilt -= dy / outHeight / zoom * 360;
    clampTilt();
}

void CInDomeExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = float(double(kDegreesPerPercent) * h);
    if (v >= 0 && v <= 100) {
        const float lo = lowTilt();
        const float m = lo + v * (90 - lo) / 100;
        tilt = settings().flipVertical ? -m : m;
    }
}

void CInDomeExpander::ZoomBy(float step) {
    zoom += step / 10;
    if (zoom >= 2)
        zoom = 2;
    else if (zoom <= 1)
        zoom = 1;
    clampTilt();
}

void CInDomeExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) zoom = p / 100 + 1;
}

void CInDomeExpander::GetPosition(float* h, float* v) {
    if (h) *h = pan / kDegreesPerPercent;
    if (v) {
        const float lo = lowTilt();
        const float t = settings().flipVertical ? -tilt : tilt;
        *v = (t - lo) * 100 / (90 - lo);
    }
}

void CInDomeExpander::GetZoom(float* p) {
    if (p) *p = (zoom - 1) * 100;
}

HRESULT CInDomeExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    D3D10_VIEWPORT vp{0, 0, outWidth, outHeight, 0.0f, 1.0f};
    device->RSSetViewports(1, &vp);
    const CMatrix world = getFlipMatrix();
    CMatrix ry, rx, projection;
    const CMatrix view = ry.RotationY(Radians(pan)) * rx.RotationX(Radians(-tilt));
    projection.PerspectiveRH(Radians(verticalField()), float(outWidth) / float(outHeight), 0.1f, 1.0f);
    SetWorldViewProj(&world, &view, &projection, effect);
    draw(device, effect, mainVB, pass, kPanoramaVertices);
    return S_OK;
}

HRESULT CInDomeExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    // 32 points around the border of the view square, from the top-right corner anticlockwise.
    float border[64];
    int n = 0;
    for (int i = 0; i < 8; ++i) border[n++] = 1 - 0.25f * i, border[n++] = 1;   // top edge
    for (int i = 0; i < 8; ++i) border[n++] = -1, border[n++] = 1 - 0.25f * i;  // left edge
    for (int i = 0; i < 9; ++i) border[n++] = -1 + 0.25f * i, border[n++] = -1; // bottom edge
    for (int i = 1; i < 8; ++i) border[n++] = 1, border[n++] = -1 + 0.25f * i;  // right edge
    const float p22 = 1.0f / ftan(float(verticalField() * kPiD / 360));
    const float p11 = p22 / (float(outWidth) / float(outHeight));
    const bool flipped = settings().flipVertical;
    const float panDeg = flipped ? -pan : pan, tiltDeg = flipped ? -tilt : tilt;
    const float T = Radians(tiltDeg);
    float points[66];
    for (int k = 0; k < 32; ++k) {
        const float a = border[2 * k] / p11, b = border[2 * k + 1] / p22;
        const float w = 1.0f / (a * a + b * b + 1);
        const float B = w * a, A = w * b;
        const float r = w * fsin(T) + A * fcos(T);
        const float forward = w * fcos(T) - A * fsin(T);
        const float gamma = (forward == 0 && B == 0) ? 0.0f : fatan2(forward, B) + Radians(panDeg + 180);
        const float psi = fatan2(fsqrt(forward * forward + B * B), r);
        const float R = lensRadius(psi / kLensRangeRadians);
        points[2 * k] = fcos(gamma) * R;
        points[2 * k + 1] = fsin(gamma) * R;
    }
    points[64] = points[0];
    points[65] = points[1];
    return drawLines(points, device, effect, 33, 1, 0, 0, 1);
}
