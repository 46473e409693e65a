#include "platform/d3d10/format.h"

#include <cstring>

namespace platform::d3d10 {

namespace {

constexpr FormatInfo kFormats[] = {
    {DXGI_FORMAT_R32G32B32A32_FLOAT, 16, true, false, true, 4},
    {DXGI_FORMAT_R32G32B32_FLOAT, 12, false, false, true, 3},
    {DXGI_FORMAT_R32G32_FLOAT, 8, false, false, true, 2},
    {DXGI_FORMAT_R32_FLOAT, 4, true, false, true, 1},
    {DXGI_FORMAT_R8G8B8A8_UNORM, 4, true, false, true, 4},
    {DXGI_FORMAT_B8G8R8A8_UNORM, 4, true, false, false, 4},
    {DXGI_FORMAT_B8G8R8X8_UNORM, 4, true, false, false, 4},
    {DXGI_FORMAT_R8G8_UNORM, 2, true, false, false, 2},
    {DXGI_FORMAT_R8_UNORM, 1, true, false, false, 1},
    {DXGI_FORMAT_A8_UNORM, 1, true, false, false, 1},
    {DXGI_FORMAT_D24_UNORM_S8_UINT, 4, false, true, false, 0},
};

} // namespace

const FormatInfo* GetFormatInfo(DXGI_FORMAT format) {
    for (const FormatInfo& f : kFormats)
        if (f.format == format) return &f;
    return nullptr;
}

void StoreColor(DXGI_FORMAT format, const float c[4], uint8_t* t) {
    switch (format) {
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        t[0] = FloatToUnorm8(c[0]), t[1] = FloatToUnorm8(c[1]), t[2] = FloatToUnorm8(c[2]),
        t[3] = FloatToUnorm8(c[3]);
        return;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
        t[0] = FloatToUnorm8(c[2]), t[1] = FloatToUnorm8(c[1]), t[2] = FloatToUnorm8(c[0]),
        t[3] = FloatToUnorm8(c[3]);
        return;
    case DXGI_FORMAT_B8G8R8X8_UNORM:
        t[0] = FloatToUnorm8(c[2]), t[1] = FloatToUnorm8(c[1]), t[2] = FloatToUnorm8(c[0]), t[3] = 255;
        return;
    case DXGI_FORMAT_R8G8_UNORM:
        t[0] = FloatToUnorm8(c[0]), t[1] = FloatToUnorm8(c[1]);
        return;
    case DXGI_FORMAT_R8_UNORM:
        t[0] = FloatToUnorm8(c[0]);
        return;
    case DXGI_FORMAT_A8_UNORM:
        t[0] = FloatToUnorm8(c[3]);
        return;
    case DXGI_FORMAT_R32_FLOAT:
        std::memcpy(t, c, 4);
        return;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        std::memcpy(t, c, 16);
        return;
    default:
        return;
    }
}

void LoadColor(DXGI_FORMAT format, const uint8_t* t, float c[4]) {
    auto u = [](uint8_t v) { return float(v) / 255.0f; };
    switch (format) {
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        c[0] = u(t[0]), c[1] = u(t[1]), c[2] = u(t[2]), c[3] = u(t[3]);
        return;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
        c[0] = u(t[2]), c[1] = u(t[1]), c[2] = u(t[0]), c[3] = u(t[3]);
        return;
    case DXGI_FORMAT_B8G8R8X8_UNORM:
        c[0] = u(t[2]), c[1] = u(t[1]), c[2] = u(t[0]), c[3] = 1.0f;
        return;
    case DXGI_FORMAT_R8G8_UNORM:
        c[0] = u(t[0]), c[1] = u(t[1]), c[2] = 0.0f, c[3] = 1.0f;
        return;
    case DXGI_FORMAT_R8_UNORM:
        c[0] = u(t[0]), c[1] = 0.0f, c[2] = 0.0f, c[3] = 1.0f;
        return;
    case DXGI_FORMAT_A8_UNORM:
        c[0] = c[1] = c[2] = 0.0f, c[3] = u(t[0]);
        return;
    case DXGI_FORMAT_R32_FLOAT:
        std::memcpy(c, t, 4);
        c[1] = 0.0f, c[2] = 0.0f, c[3] = 1.0f;
        return;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        std::memcpy(c, t, 16);
        return;
    default:
        c[0] = c[1] = c[2] = c[3] = 0.0f;
        return;
    }
}

} // namespace platform::d3d10
