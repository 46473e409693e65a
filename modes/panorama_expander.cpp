#include "modes/panorama_expander.h"

#include "engine/engine_log.h"
#include "modes/arc_outline.h"
#include "modes/flat_projection.h"

ViewFit ComputeViewFit(uint16_t width, uint16_t height, float radiusScale) {
    ViewFit fit{1.0f, 1.0f, {0, 0, width, height, 0.0f, 1.0f}};
    if (!width || !height) return fit;
    fit.d = float(width) / float(height);
    const float s = radiusScale / kPi;
    const float k = 1.0f / s; // the strip's own aspect
    fit.e = k < fit.d ? k / fit.d : 1.0f;
    const uint16_t w = uint16_t(float(width) * fit.e);
    fit.viewport.TopLeftX = INT(unsigned(width - w) >> 1);
    fit.viewport.Width = w;
    return fit;
}

CPanoramaExpander::CPanoramaExpander() {
    radiusScale = 0.8f;
}

CPanoramaExpander::~CPanoramaExpander() = default;

float CPanoramaExpander::verticalTravel() const {
    if (!outWidth || !outHeight) return 0.0f;
    const float A = float(outWidth) / float(outHeight) * zoom;
    const float b = radiusScale * 2 / kPi * A;
    return b > 2 ? (b - 2) / (2 * A) : 0.0f;
}

void CPanoramaExpander::clampTilt() {
    const float T = verticalTravel();
    if (T == 0)
        tilt = 0;
    else if (tilt >= T || tilt <= -T)
        tilt = tilt > 0 ? T : -T;
}

void CPanoramaExpander::MoveBy(float dx, float dy) {
    // A drag is measured in output pixels; without an output there is nothing to measure it against.
    if (!outWidth || !outHeight) return;
    pan += 2 * dx / (outWidth * zoom);
    // The mesh holds two turns, so -1 and 1 show the same picture.
    if (pan >= 1)
        pan = -1;
    else if (pan <= -1)
        pan = 1;
    tilt += 2 * dy / (outHeight * zoom);
    clampTilt();
}

void CPanoramaExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = h / 50 - 1;
    if (v >= 0 && v <= 100) tilt = verticalTravel() * (2 * v / 100 - 1);
}

void CPanoramaExpander::ZoomBy(float step) {
    zoom += step / 10;
    if (zoom >= 4)
        zoom = 4;
    else if (zoom <= 1)
        zoom = 1;
    clampTilt();
}

void CPanoramaExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) zoom = 1 + 0.03f * p;
}

void CPanoramaExpander::GetPosition(float* h, float* v) {
    if (h) *h = (pan + 1) * 50;
    if (v) {
        const float T = verticalTravel();
        *v = T > 0 ? (tilt + T) * 100 / (2 * T) : 0.0f;
    }
}

void CPanoramaExpander::GetZoom(float* p) {
    if (p) *p = (zoom - 1) / 0.03f;
}

HRESULT CPanoramaExpander::initialize(ID3D10Device* device) {
    SafeRelease(mainVB);
    mainVB = createPanoramaVtx(device);
    return S_OK;
}

HRESULT CPanoramaExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    const ViewFit fit = ComputeViewFit(outWidth, outHeight, radiusScale);
    device->RSSetViewports(1, &fit.viewport);
    const CMatrix world = getFlipMatrix();
    CMatrix tr, sc;
    // Translation first, then the scale about the origin; the y scale d e makes a mesh unit cover as
    // many pixels vertically as horizontally.
    const CMatrix view = tr.Translation(pan, tilt, 0) * sc.Scaling(zoom, zoom * fit.d * fit.e, 1);
    const CMatrix projection = FlatProjection();
    SetWorldViewProj(&world, &view, &projection, effect);
    return draw(device, effect, mainVB, pass, kPanoramaVertices);
}

void CPanoramaExpander::previewOutline(float points[130]) const {
    const bool flipped = settings().flipVertical;
    const float panV = flipped ? -pan : pan, tiltV = flipped ? -tilt : tilt;
    const float T = verticalTravel();
    const float s = radiusScale / kPi;
    const float P = (T + (tiltV - T) * 0.5f) / s;
    const float Ra = lensRadius(1 + P - T / s), Rb = lensRadius(1 - radiusScale + P);
    const float W = 360 / zoom, step = W / 31;
    const float centre = (1 - panV) * 0.5f * 360 + 180;
    ArcOutline(points, centre, W, step, Ra, Rb);
}

HRESULT CPanoramaExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    float points[130];
    previewOutline(points);
    return drawLines(points, device, effect, 65, 1, 0, 0, 1);
}

HRESULT CPanoramaExpander::renderOverlay(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass,
                                         const uint16_t* size) {
    if (!size) return E_POINTER;
    if (!size[0] || !size[1]) return S_OK;
    if (!device) return E_INVALIDARG;
    const ViewFit fit = ComputeViewFit(size[0], size[1], radiusScale);
    device->RSSetViewports(1, &fit.viewport);
    // The whole strip at zoom 1 with the current pan.
    const CMatrix world = getFlipMatrix();
    const CMatrix projection = FlatProjection();
    CMatrix tr, sc;
    CMatrix view = tr.Translation(pan, 0, 0) * sc.Scaling(1, fit.d * fit.e, 1);
    SetWorldViewProj(&world, &view, &projection, effect);
    draw(device, effect, mainVB, pass, kPanoramaVertices);
    // The rectangle of the current view, marked in the stencil only; the rest is then dimmed. Without
    // an output size there is no current view to mark.
    if (outWidth && outHeight) {
        const float l = 4.0f * outHeight / outWidth;
        const float m = -(kPi / radiusScale) * tilt * zoom / l;
        view = tr.Translation(0, m, 0) * sc.Scaling(1 / zoom, l / zoom, 1);
        markUndimmed(device, effect, world, view, projection);
    }
    dimUnmarked(device, effect);
    return S_OK;
}
