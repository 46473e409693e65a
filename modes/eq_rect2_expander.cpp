#include "modes/eq_rect2_expander.h"

#include <cmath>

#include "engine/engine_log.h"
#include "modes/flat_projection.h"

namespace {

constexpr int kMaskRows = 64;
constexpr int kSearchSteps = 16;

} // namespace

CEqRect2Expander::CEqRect2Expander() : coverMaskVB(nullptr), coverMaskCount(0) {}

CEqRect2Expander::~CEqRect2Expander() {
    SafeRelease(coverMaskVB);
}

// The view is fixed: pan is stored as the equirectangular mode stores it, and nothing else changes.
void CEqRect2Expander::MoveBy(float, float) {}
void CEqRect2Expander::SetPosition(float h, float) {
    if (h >= 0 && h <= 100) pan = h / 50 - 1;
}
void CEqRect2Expander::ZoomBy(float) {}
void CEqRect2Expander::SetZoom(float) {}
void CEqRect2Expander::GetPosition(float*, float*) {}
void CEqRect2Expander::GetZoom(float*) {}

float CEqRect2Expander::projectDirection(float lambda, float phi, float* u, float* v) const {
    // The direction (cos phi cos lambda, cos phi sin lambda, sin phi), the lens axis along the first.
    const float cp = fcos(phi), sp = fsin(phi);
    const float cl = fcos(lambda), sl = fsin(lambda);
    const float side = cp * sl;
    const float offAxis = fatan2(fsqrt(sp * sp + side * side), cp * cl);
    const float around = fatan2(sp, side);
    const float t = offAxis / kLensRangeRadians;
    float r = lensRadius(t);
    // Past its peak (about 135 degrees) the lens polynomial turns back down, and beyond about 153
    // degrees it falls below the rim again, which would put directions behind the lens back inside the
    // picture. Everything beyond the lens's reach sees the rim.
    if (t > 1 && r < lensRadius(1)) r = 1;
    if (u) *u = fcos(around) * r;
    if (v) *v = fsin(around) * r;
    return r;
}

void CEqRect2Expander::buildMainMesh(VERTEX* out) const {
    const EngineSettings shared = settings();
    const float U = float(imgWidth - 1) / float(texWidth), V = float(imgHeight - 1) / float(texHeight);
    for (int band = 0; band < 32; ++band) {
        const float y0 = -1 + float(band) / 16, y1 = y0 + 0.0625f;
        const bool even = band % 2 == 0;
        for (int column = 0; column < 129; ++column) {
            const float x = even ? 1 - float(column) / 64 : -1 + float(column) / 64;
            for (float y : {y0, y1}) {
                float pu, pv;
                projectDirection(x * kPi, -y * kPi / 2, &pu, &pv);
                *out++ = {x,
                          y,
                          0,
                          1,
                          1,
                          1,
                          1,
                          (shared.circleRadius * pu + 0.5f) * U + shared.centreOffsetU,
                          (shared.circleRadius * pv + 0.5f) * V + shared.centreOffsetV};
            }
        }
    }
}

HRESULT CEqRect2Expander::createMainVtx(ID3D10Device* device) {
    SafeRelease(mainVB);
    std::vector<VERTEX> mesh(kPanoramaVertices);
    buildMainMesh(mesh.data());
    HRESULT hr = createVertexBuffer(device, mesh.data(), kPanoramaVertices, &mainVB);
    if (FAILED(hr)) {
        EngineLogError(report::kEqRect2CreateMainVtx, hr);
        return hr;
    }
    return S_OK;
}

std::vector<VERTEX> CEqRect2Expander::buildMask() const {
    // Per row, the longitude where the lens's reach ends, found by halving: the last probe at or beyond
    // the reach is the boundary. The off-axis angle is symmetric in its two arguments, so the row's
    // latitude may go first.
    std::vector<std::pair<float, float>> boundary;
    float rho = -1;
    for (int k = 0; k < kMaskRows; ++k, rho += 0.031746034f) {
        float s = 0, step = 180, q = 0;
        bool found = false;
        for (int i = 0; i < kSearchSteps; ++i) {
            if (projectDirection(rho * kPi / 2, s * kPi / 180, nullptr, nullptr) < 1) {
                step /= 2;
                s += step;
            } else {
                q = s / 180;
                found = true;
                step /= 2;
                s -= step;
            }
        }
        if (found) boundary.push_back({q, rho});
    }
    // Close the fan at the right edge.
    if (!boundary.empty()) {
        boundary.front().first = 1;
        boundary.back().first = 1;
    }
    // Triangles apex, P0, P1, apex, P2, P3, ... drawn as one strip cover the fan from the apex (1, 0)
    // to the boundary curve. With an odd number of points the last pair has no second point; it is
    // drawn degenerate rather than read past the end.
    const size_t n = boundary.size();
    std::vector<VERTEX> mask((3 * n) / 2 + 2, VERTEX{});
    size_t o = 0;
    auto put = [&](float x, float y) { mask[o++] = {x, y, 0, 0, 0, 0, 1, 0, 0}; };
    for (size_t j = 0; j < n; j += 2) {
        put(1, 0);
        put(boundary[j].first, boundary[j].second);
        const auto& next = boundary[j + 1 < n ? j + 1 : j];
        put(next.first, next.second);
    }
    return mask;
}

HRESULT CEqRect2Expander::createMask(ID3D10Device* device) {
    SafeRelease(coverMaskVB);
    std::vector<VERTEX> mask = buildMask();
    coverMaskCount = int32_t(mask.size()) - 2;
    HRESULT hr = createVertexBuffer(device, mask.data(), uint32_t(mask.size()), &coverMaskVB);
    if (FAILED(hr)) {
        EngineLogError(report::kEqRect2CreateMask, hr);
        return hr;
    }
    return S_OK;
}

HRESULT CEqRect2Expander::initialize(ID3D10Device* device) {
    if (HRESULT hr = createMainVtx(device); FAILED(hr)) {
        EngineLogError(report::kEqRect2InitializeMain, hr);
        return hr;
    }
    if (HRESULT hr = createMask(device); FAILED(hr)) {
        EngineLogError(report::kEqRect2InitializeMask, hr);
        return hr;
    }
    return S_OK;
}

HRESULT CEqRect2Expander::renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) {
    D3D10_VIEWPORT vp{0, 0, outWidth, outHeight, 0.0f, 1.0f};
    device->RSSetViewports(1, &vp);
    const CMatrix world = getFlipMatrix();
    const CMatrix projection = FlatProjection();
    const CMatrix identity;
    CMatrix mirror;
    mirror.RotationY(kPi);
    // The mask marks the stencil, right side then mirrored for the left, and draws no colour.
    device->OMSetDepthStencilState(maskWriteState, 1);
    SetWorldViewProj(&world, &identity, &projection, effect);
    draw(device, effect, coverMaskVB, kPassVertexColour, uint32_t(coverMaskCount));
    SetWorldViewProj(&world, &mirror, &projection, effect);
    draw(device, effect, coverMaskVB, kPassVertexColour, uint32_t(coverMaskCount));
    device->OMSetDepthStencilState(maskTestState, 1);
    SetWorldViewProj(&world, &identity, &projection, effect);
    draw(device, effect, mainVB, pass, kPanoramaVertices);
    return S_OK;
}
