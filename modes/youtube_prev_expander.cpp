#include "modes/youtube_prev_expander.h"

#include "modes/flat_projection.h"

// The inverted dome's constructor has run (dome values, zoom 1, its tilt clamp, which with no output
// size leaves the tilt at 0).
CYouTubePrevExpander::CYouTubePrevExpander(uint8_t v) : variant(v) {
    zoom = 1.0f;
}

CYouTubePrevExpander::~CYouTubePrevExpander() = default;

HRESULT CYouTubePrevExpander::SetOutBufSize(ID3D10Device* device, uint16_t width, uint16_t height) {
    return CBaseExpander::SetOutBufSize(device, width, height);
}

void CYouTubePrevExpander::SetFlip(bool horizontal, bool vertical) {
    CBaseExpander::SetFlip(horizontal, vertical);
}

void CYouTubePrevExpander::MoveBy(float dx, float dy) {
    if (!outWidth || !outHeight) return;
    pan -= dx / outWidth / zoom * 360;
    tilt -= dy / outHeight / zoom * 360;
}

void CYouTubePrevExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = float(double(kDegreesPerPercent) * h);
    if (v >= 0 && v <= 100) {
        const float lo = (100 / zoom) * 0.5f - kRimBelowHorizonDegrees;
        const float m = lo + v * (90 - lo) / 100;
        tilt = settings().flipVertical ? -m : m;
    }
}

void CYouTubePrevExpander::ZoomBy(float step) {
    zoom += step / 10;
    if (zoom >= 2)
        zoom = 2;
    else if (zoom <= 1)
        zoom = 1;
}

void CYouTubePrevExpander::GetPosition(float*, float*) {}
void CYouTubePrevExpander::GetZoom(float*) {}

CMatrix CYouTubePrevExpander::viewMatrix() const {
    CMatrix first, second;
    if (variant == 0) return first.RotationY(Radians(pan)) * second.RotationX(Radians(-tilt));
    // Tilt 0 turns the lens axis onto the viewing direction, -z.
    const float a = settings().flipVertical ? tilt + 90 : -tilt - 90;
    return first.RotationX(Radians(a)) * second.RotationY(Radians(pan));
}

HRESULT CYouTubePrevExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    D3D10_VIEWPORT vp{0, 0, outWidth, outHeight, 0.0f, 1.0f};
    device->RSSetViewports(1, &vp);
    const CMatrix world = getFlipMatrix();
    const CMatrix view = viewMatrix();
    CMatrix projection;
    projection.PerspectiveRH(Radians(verticalField()), float(outWidth) / float(outHeight), 0.1f, 1.0f);
    SetWorldViewProj(&world, &view, &projection, effect);
    draw(device, effect, mainVB, pass, kPanoramaVertices);
    return S_OK;
}

HRESULT CYouTubePrevExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a,
                                                int32_t b) {
    return CDomeExpander::renderPreviewLine(device, effect, a, b);
}
