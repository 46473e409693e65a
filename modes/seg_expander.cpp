#include "modes/seg_expander.h"

#include <new>

#include "engine/engine_log.h"
#include "modes/arc_outline.h"
#include "modes/flat_projection.h"

CSegExpander::CSegExpander() {
    radiusScale = 0.8f;
}

CSegExpander::~CSegExpander() = default;

void CSegExpander::getSegSize(uint32_t* width, float* aspect, float* xScale) {
    uint32_t w = outWidth ? uint32_t(zoom * outHeight) : 0;
    float sx = 1.0f;
    if (w > outWidth) {
        sx = float(w) / float(outWidth);
        w = outWidth;
    }
    if (width) *width = w;
    if (aspect) *aspect = outHeight ? float(w) / float(outHeight) : 0.0f;
    if (xScale) *xScale = sx;
}

float CSegExpander::tiltLimit() {
    getSegSize(nullptr, nullptr, nullptr);
    const float z2 = zoom * 2.0f;
    return z2 > 2 ? (z2 - 2) / z2 : 0.0f;
}

void CSegExpander::clampView() {
    const float a = tiltLimit();
    if (a == 0)
        tilt = 0;
    else if (tilt >= a || tilt <= -a)
        tilt = tilt > 0 ? a : -a;
    if (pan > 1)
        pan = -3;
    else if (pan < -3)
        pan = 1;
}

void CSegExpander::MoveBy(float dx, float dy) {
    if (!outWidth || !outHeight) return; // a drag in pixels of an output not sized yet
    pan += 2 * dx / outWidth / zoom;
    tilt += 2 * dy / outHeight / zoom;
    clampView();
}

void CSegExpander::SetPosition(float h, float v) {
    if (h >= 0 && h <= 100) pan = h / 100 * 4 - 3;
    if (v >= 0 && v <= 100) {
        const float e = float((zoom - 1) * 0.25f);
        tilt = e * 4 * (v / 100) - e;
        // The percentages map onto -e .. 3e, which above zoom 2 reaches past the strip's edge (at zoom
        // 4 and v = 100 the whole view would lie beyond the mesh, all black); keep the view on the strip.
        const float a = tiltLimit();
        if (tilt > a)
            tilt = a;
        else if (tilt < -a)
            tilt = -a;
    }
}

void CSegExpander::ZoomBy(float step) {
    zoom += step / 10;
    if (zoom >= 4)
        zoom = 4;
    else if (zoom <= 1)
        zoom = 1;
    clampView();
}

void CSegExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) zoom = p * 0.03f + 1;
}

void CSegExpander::GetPosition(float* h, float* v) {
    if (h) *h = (pan + 3) * 100 * 0.25f;
    if (v) {
        const float e = float((zoom - 1) * 0.25f);
        *v = e == 0 ? 0.0f : (e + tilt) * 100 / (e * 4);
    }
}

void CSegExpander::GetZoom(float* p) {
    if (p) *p = (zoom - 1) / 0.03f;
}

std::unique_ptr<VERTEX[]> CSegExpander::createSegVtx() {
    std::unique_ptr<VERTEX[]> mesh(new (std::nothrow) VERTEX[kPanoramaVertices]());
    if (!mesh) return mesh;
    const float h = radiusScale * 0.03125f;
    const float lu = float(imgWidth - 1) / float(texWidth), lv = float(imgHeight - 1) / float(texHeight);
    const EngineSettings calibration = settings();
    const double q = 2.0 * double(calibration.circleRadius);
    float t = 1, y = -1, x = 4, a = 0;
    bool forward = true;
    VERTEX* out = mesh.get();
    for (int band = 0; band < 32; ++band) {
        const float R1 = float(lensRadius(t) * q);
        t -= h;
        const float R2 = float(lensRadius(t) * q);
        const float y2 = y + 0.0625f;
        for (int column = 0; column < 129; ++column) {
            const float theta = float((double(a) + 180) / 360 * kTwoPi);
            const float c = fcos(theta) * 0.5f, s = fsin(theta) * 0.5f;
            *out++ = {x, y, 0, 1, 1, 1, 1, (R1 * c + 0.5f) * lu, (R1 * s + 0.5f) * lv};
            *out++ = {x, y2, 0, 1, 1, 1, 1, lu * (c * R2 + 0.5f), lv * (s * R2 + 0.5f)};
            if (forward) {
                x -= 0.0625f;
                a += 5.625f;
            } else {
                x += 0.0625f;
                a -= 5.625f;
            }
        }
        x = forward ? -4.0f : 4.0f;
        forward = !forward;
        a = 0;
        y = y2;
    }
    addCentreOffset(mesh.get(), kPanoramaVertices, calibration);
    return mesh;
}

HRESULT CSegExpander::initialize(ID3D10Device* device) {
    std::unique_ptr<VERTEX[]> mesh = createSegVtx();
    return replaceMainVB(device, mesh.get(), kPanoramaVertices, report::kSegInitialize);
}

// The lower segment is 2 mesh units, 180 degrees, further on.
float CSegExpander::panelOffset(int i) {
    return pan + 2.0f * float(i);
}

UINT CSegExpander::panelTop(int i) {
    return UINT(i) * (outHeight >> 1);
}

HRESULT CSegExpander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    if (!outWidth || !outHeight) return S_OK; // no panels to place yet
    const CMatrix world = getFlipMatrix();
    const CMatrix projection = FlatProjection();
    const UINT half = outHeight >> 1;
    for (int i = 0; i < 2; ++i) {
        uint32_t w;
        float aspect, sx;
        getSegSize(&w, &aspect, &sx);
        D3D10_VIEWPORT vp{INT((outWidth - w) * 0.5), INT(panelTop(i)), w, half, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
        CMatrix tr, sc;
        const CMatrix view = tr.Translation(panelOffset(i), tilt, 0) * sc.Scaling(sx, sx * aspect, 1);
        SetWorldViewProj(&world, &view, &projection, effect);
        draw(device, effect, mainVB, pass, kPanoramaVertices);
    }
    return S_OK;
}

CSegExpander::PanelArc CSegExpander::panelArc() {
    PanelArc a;
    getSegSize(nullptr, nullptr, &a.xScale);
    a.flipped = settings().flipVertical;
    const float tiltV = a.flipped ? -tilt : tilt;
    a.pan = a.flipped ? -pan : pan;
    const float r = (zoom - 1) * radiusScale * 0.25f;
    const float P = (tiltV * radiusScale + r) * 0.5f;
    a.outerRadius = lensRadius(1 - r + P);
    a.innerRadius = lensRadius(1 - radiusScale + P);
    a.width = 180 / a.xScale;
    a.step = a.width / 31;
    return a;
}

HRESULT CSegExpander::drawPanelOutlines(ID3D10Device* device, ID3D10Effect* effect,
                                        const float outlines[2][130], const ReportSite& site) {
    for (int i = 0; i < 2; ++i) {
        if (HRESULT hr = drawLines(outlines[i], device, effect, 65, 1, 0, 0, 1); FAILED(hr)) {
            EngineLogError(site, hr);
            return hr;
        }
    }
    return S_OK;
}

void CSegExpander::previewOutlines(float first[130], float second[130]) {
    const PanelArc a = panelArc();
    const float centre = (4 - a.pan) * 0.5f * 180 + (a.flipped ? 0.0f : 180.0f);
    float* outlines[2] = {first, second};
    for (int segment = 0; segment < 2; ++segment) {
        const float c = centre - 180.0f * float(segment);
        ArcOutline(outlines[segment], c, a.width, a.step, a.outerRadius, a.innerRadius);
    }
}

HRESULT CSegExpander::renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t, int32_t) {
    float outlines[2][130];
    previewOutlines(outlines[0], outlines[1]);
    return drawPanelOutlines(device, effect, outlines, report::kSegRenderPreviewLine);
}
