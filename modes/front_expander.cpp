#include "modes/front_expander.h"

#include "engine/engine_log.h"
#include "modes/flat_projection.h"

namespace {
constexpr double kZoomStep = double(0.03f); // 0.029999999329447746
}

// The base's view: pan 0, zoom 1.
CFrontExpander::CFrontExpander(float ax, float ay) : aspectX(ax), aspectY(ay) {}

CFrontExpander::~CFrontExpander() = default;

void CFrontExpander::MoveBy(float dx, float) {
    pan = float(pan + dx / outWidth * 10);
    if (pan >= kTwoPi)
        pan = float(pan - kTwoPi);
    else if (pan <= -kTwoPi)
        pan = float(pan + kTwoPi);
}

void CFrontExpander::SetPosition(float h, float) {
    if (h >= 0 && h <= 100) pan = float(h * kTwoPi / 100 - kPiD);
}

void CFrontExpander::ZoomBy(float step) {
    if (!cropping()) {
        zoom = 1.0f;
        return;
    }
    zoom = float(zoom + step / 10);
    if (zoom >= 4)
        zoom = 4;
    else if (zoom <= 1)
        zoom = 1;
}

void CFrontExpander::SetZoom(float p) {
    if (!cropping()) {
        zoom = 1.0f;
        return;
    }
    if (p >= 0 && p <= 100) zoom = float(p * kZoomStep + 1);
}

void CFrontExpander::GetPosition(float* h, float* v) {
    if (h) *h = float((pan + kPiD) * 100 / kTwoPi);
    if (v) *v = tilt / kDegreesPerPercent;
}

void CFrontExpander::GetZoom(float* p) {
    if (p) *p = float((zoom - 1) / kZoomStep);
}

void CFrontExpander::SetAspect(float ax, float ay) {
    aspectX = ax;
    aspectY = ay;
}

HRESULT CFrontExpander::initialize(ID3D10Device* device) {
    SafeRelease(mainVB);
    mainVB = createGlobalVtx(device);
    return S_OK;
}

HRESULT CFrontExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    // The front mode applies the flip flags in the opposite sense from the base's flip matrix.
    const EngineSettings shared = settings();
    CMatrix world, r;
    if (!shared.flipHorizontal) world *= r.RotationY(kPi);
    if (!shared.flipVertical) world *= r.RotationX(kPi);
    const CMatrix projection = FlatProjection();
    CMatrix view;
    const bool square = imgWidth == imgHeight;
    if (outWidth && outHeight && imgWidth && imgHeight) {
        D3D10_VIEWPORT vp{0, 0, outWidth, outHeight, 0.0f, 1.0f};
        if (square) {
            const float m = aspectY >= aspectX ? aspectY : aspectX;
            const float k = zoom / m;
            const float outAspect = float(outWidth) / float(outHeight);
            CMatrix centre;
            if (!cropping()) {
                // The largest centred square (the picture's aspect is 1).
                if (1 <= outAspect) {
                    vp.Width = UINT(1 * outHeight);
                    vp.Height = outHeight;
                    vp.TopLeftX = INT((outWidth - vp.Width) * 0.5);
                } else {
                    vp.Width = outWidth;
                    vp.Height = UINT(outWidth / 1);
                    vp.TopLeftY = INT((outHeight - vp.Height) * 0.5);
                }
            } else {
                // A square as wide as the longer side; the translation centres the picture in its
                // visible rows.
                centre.Translation(0, (outAspect - 1) / outAspect, 0);
                UINT side = outWidth > outHeight ? outWidth : outHeight;
                vp.Width = vp.Height = side;
            }
            CMatrix s;
            view = CMatrix().RotationZ(pan) * s.Scaling(k, k, 1) * centre;
        }
        device->RSSetViewports(1, &vp);
    }
    SetWorldViewProj(&world, &view, &projection, effect);
    if (square) {
        if (HRESULT hr = renderGlobalMask(device, effect); FAILED(hr)) {
            EngineLogError(report::kFrontRenderMain, hr);
            return hr;
        }
    }
    draw(device, effect, mainVB, pass, 4);
    return S_OK;
}

HRESULT CFrontExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    if (!cropping() || imgWidth != imgHeight) return S_OK;
    const float R = 1.0f / zoom;
    const float alpha = float(fatan2(aspectX, aspectY) / kTwoPi * 360);
    const float beta = 90 - alpha;
    float theta[4];
    theta[0] = beta - float(pan / kTwoPi * 360);
    theta[1] = theta[0] + 2 * alpha;
    theta[2] = theta[1] + 2 * beta;
    theta[3] = theta[2] + 2 * alpha;
    float points[10];
    for (int i = 0; i < 4; ++i) {
        const float rad = float(theta[i] / 360.0 * kTwoPi);
        points[2 * i] = R * fcos(rad);
        points[2 * i + 1] = R * fsin(rad);
    }
    points[8] = points[0];
    points[9] = points[1];
    return drawLines(points, device, effect, 5, 1, 0, 0, 1);
}
