#include "modes/dome_expander.h"

#include <vector>

#include "engine/effect_variables.h"
#include "engine/engine_log.h"
#include "modes/flat_projection.h"

namespace {

float wrapDegrees(float a) {
    if (a >= 360)
        a -= 360;
    else if (a <= 0)
        a += 360;
    return a;
}

} // namespace

CDomeExpander::CDomeExpander() {
    zoom = 0.7f;
    modeParam = 0.0f;
}

CDomeExpander::~CDomeExpander() = default;

void CDomeExpander::buildDomeMesh(VERTEX* out) const {
    const float L = kLensRangeDegrees;
    const EngineSettings calibration = settings();
    const float rho = 2 * calibration.circleRadius;
    const float U = float(imgWidth - 1) / float(texWidth), V = float(imgHeight - 1) / float(texHeight);
    const float du = calibration.centreOffsetU, dv = calibration.centreOffsetV;
    float phi1 = kRimElevationDegrees;
    for (int b = 0; b < 32; ++b, phi1 += L * 0.03125f) {
        const float phi2 = phi1 + L / 32;
        const float t1 = 1.0f - float(b) / 32.0f, t2 = t1 - 1.0f / 32.0f;
        const float r1 = lensRadius(t1) * rho, r2 = lensRadius(t2) * rho;
        const float c1 = fcos(Radians(phi1)), s1 = fsin(Radians(phi1));
        const float c2 = fcos(Radians(phi2)), s2 = fsin(Radians(phi2));
        for (int j = 0; j < 129; ++j) {
            const float a = -2.8125f * float(j);
            const float ca = fcos(Radians(a)), sa = fsin(Radians(a));
            const float cp = fcos(Radians(-a)), sp = fsin(Radians(-a));
            *out++ = {cp * c1,
                      s1,
                      sp * c1,
                      1,
                      1,
                      1,
                      1,
                      (r1 * ca * 0.5f + 0.5f) * U + du,
                      (r1 * sa * 0.5f + 0.5f) * V + dv};
            *out++ = {cp * c2,
                      s2,
                      sp * c2,
                      1,
                      1,
                      1,
                      1,
                      (r2 * ca * 0.5f + 0.5f) * U + du,
                      (r2 * sa * 0.5f + 0.5f) * V + dv};
        }
    }
}

HRESULT CDomeExpander::initialize(ID3D10Device* device) {
    std::vector<VERTEX> mesh(kPanoramaVertices);
    buildDomeMesh(mesh.data());
    return replaceMainVB(device, mesh.data(), kPanoramaVertices, report::kDomeInitialize);
}

void CDomeExpander::MoveBy(float dx, float dy) {
    pan = wrapDegrees(pan + -dx / outWidth / zoom * 180);
    tilt = wrapDegrees(tilt + dy / outHeight / zoom * 180);
}

void CDomeExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = float(double(kDegreesPerPercent) * h);
    if (v >= 0 && v <= 100) tilt = float(double(kDegreesPerPercent) * v - 165);
}

void CDomeExpander::ZoomBy(float step) {
    zoom += step / 10;
    if (zoom >= 3)
        zoom = 3;
    else if (zoom <= 0.5f)
        zoom = 0.5f;
}

void CDomeExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) zoom = float(double(0.025f) * p + 0.5);
    modeParam = zoom == 0.5f ? 1.0f : 0.0f;
}

void CDomeExpander::GetPosition(float* h, float* v) {
    if (h) *h = pan / kDegreesPerPercent;
    if (v) *v = tilt / kDegreesPerPercent;
}

void CDomeExpander::GetZoom(float* p) {
    if (p) *p = (zoom - 0.5f) / 0.025f;
}

HRESULT CDomeExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    const UINT side = outWidth > outHeight ? outWidth : outHeight;
    D3D10_VIEWPORT vp{0, 0, side, side, 0.0f, 1.0f};
    device->RSSetViewports(1, &vp);
    const float h = float(int(outWidth) - int(outHeight)) / float(outWidth);
    const float s = settings().flipVertical ? 1.0f : -1.0f;
    const float g = (1 - fsin(kRimBelowHorizonRadians)) * s * 0.25f;
    const CMatrix world = getFlipMatrix();
    CMatrix ry, rx, sc, tr;
    const CMatrix view = ry.RotationY(Radians(pan)) * rx.RotationX(Radians(tilt)) *
                         sc.Scaling(zoom, zoom, zoom) * tr.Translation(0, h + g, 0);
    const CMatrix projection = FlatProjection();
    SetWorldViewProj(&world, &view, &projection, effect);
    if (modeParam == 1.0f) {
        device->RSSetState(rasterizerState);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
    } else if (modeParam == 0.0f) {
        device->RSSetState(nullptr);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
    } else {
        // Outside culled, then both faces again at modeParam's opacity.
        device->RSSetState(nullptr);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
        device->RSSetState(rasterizerState);
        SetEffectFloat(effect, "alpha", modeParam);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
    }
    return S_OK;
}

HRESULT CDomeExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    float points[64];
    for (int k = 0; k < 32; ++k) {
        const float a = Radians(float(k + 1) * 11.612904f);
        points[2 * k] = fcos(a);
        points[2 * k + 1] = fsin(a);
    }
    return drawLines(points, device, effect, 32, 1, 0, 0, 1);
}
