#include "platform/d3d10/texel_fetch.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d10 {

bool FootprintSampled(const SamplerSettings& s, DXGI_FORMAT format) {
    return s.linear && s.addressU == D3D10_TEXTURE_ADDRESS_CLAMP &&
           s.addressV == D3D10_TEXTURE_ADDRESS_CLAMP &&
           (format == DXGI_FORMAT_R8G8B8A8_UNORM || format == DXGI_FORMAT_B8G8R8A8_UNORM);
}

void ComputeFootprints(const SampledTexture& t, const float* u, const float* v, uint32_t* offsets,
                       uint16_t* weights, int n) {
    const int32_t maxX = int32_t(t.width) - 1, maxY = int32_t(t.height) - 1;
    const float w = float(t.width), h = float(t.height);
    for (int i = 0; i < n; ++i) {
        int32_t fx = ToFixed8(u[i] * w - 0.5f), fy = ToFixed8(v[i] * h - 0.5f);
        int32_t x0 = fx >> 8, y0 = fy >> 8;
        uint32_t wx = uint32_t(fx & 255), wy = uint32_t(fy & 255);
        // Where both texels of a direction clamp to one, the weight between them no longer matters.
        if (x0 < 0 || x0 >= maxX) wx = 0, x0 = x0 < 0 ? 0 : maxX;
        if (y0 < 0 || y0 >= maxY) wy = 0, y0 = y0 < 0 ? 0 : maxY;
        offsets[i] = uint32_t(y0) * uint32_t(t.rowPitch) + uint32_t(x0) * 4;
        weights[i] = uint16_t(wx | (wy << 8));
    }
}

void ComputeFootprintAxis(uint32_t extent, const float* c, float* axis, int n) {
    const int32_t last = int32_t(extent) - 1;
    const float e = float(extent);
    for (int i = 0; i < n; ++i) {
        int32_t fixed = ToFixed8(c[i] * e - 0.5f);
        int32_t index = fixed >> 8;
        uint32_t weight = uint32_t(fixed & 255);
        if (index < 0 || index >= last) weight = 0, index = index < 0 ? 0 : last;
        const uint32_t bits = (uint32_t(index) << 8) | weight;
        std::memcpy(axis + i, &bits, 4);
    }
}

void JoinFootprintAxes(const float* x, const float* y, size_t rowPitch, uint32_t* offsets, uint16_t* weights,
                       int n) {
    for (int i = 0; i < n; ++i) {
        uint32_t xa, ya;
        std::memcpy(&xa, x + i, 4);
        std::memcpy(&ya, y + i, 4);
        offsets[i] = (ya >> 8) * uint32_t(rowPitch) + (xa >> 8) * 4;
        weights[i] = uint16_t((xa & 255) | ((ya & 255) << 8));
    }
}

bool PackWindowAxes(const float* const x[3], const float* const y[3], uint32_t* corners, uint64_t* taps,
                    int n) {
    for (int i = 0; i < n; ++i) {
        uint32_t axis[6];
        for (int a = 0; a < 3; ++a) {
            std::memcpy(axis + a, x[a] + i, 4);
            std::memcpy(axis + 3 + a, y[a] + i, 4);
        }
        uint64_t packed = 0;
        for (int a = 0; a < 6; ++a) packed |= uint64_t(axis[a] & 255) << (8 * a);
        for (int d = 0; d < 2; ++d)
            for (int a = 0; a < 2; ++a) {
                // Indices are below 2^24, so the difference of two, as unsigned, is large where negative.
                const uint32_t step = (axis[3 * d + a + 1] >> 8) - (axis[3 * d + a] >> 8);
                if (step > 15) return false;
                packed |= uint64_t(step) << (48 + 8 * d + 4 * a);
            }
        if ((axis[0] >> 8) > 0xFFFF || (axis[3] >> 8) > 0xFFFF) return false;
        corners[i] = (axis[0] >> 8) | (axis[3] >> 8) << 16;
        taps[i] = packed;
    }
    return true;
}

void UnpackWindowAxes(const uint32_t* corners, const uint64_t* taps, float* const x[3], float* const y[3],
                      int n) {
    for (int i = 0; i < n; ++i) {
        const uint64_t t = taps[i];
        uint32_t ix = corners[i] & 0xFFFF, iy = corners[i] >> 16;
        for (int a = 0; a < 3; ++a) {
            if (a) {
                ix += uint32_t(t >> (48 + 4 * (a - 1))) & 15;
                iy += uint32_t(t >> (56 + 4 * (a - 1))) & 15;
            }
            const uint32_t xa = ix << 8 | (uint32_t(t >> (8 * a)) & 255);
            const uint32_t ya = iy << 8 | (uint32_t(t >> (24 + 8 * a)) & 255);
            std::memcpy(x[a] + i, &xa, 4);
            std::memcpy(y[a] + i, &ya, 4);
        }
    }
}

void PrefetchWindows(const uint8_t* texels, size_t pitch, const uint32_t* corners, int n) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* at = texels + size_t(corners[i] >> 16) * pitch + size_t(corners[i] & 0xFFFF) * 4;
        for (int r = 0; r < 4; ++r) __builtin_prefetch(at + r * pitch);
    }
}

void PrefetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets, int n) {
    for (int i = 0; i < n; ++i) {
        __builtin_prefetch(texels + offsets[i]);
        __builtin_prefetch(texels + offsets[i] + pitch);
    }
}

namespace detail {

template <bool kSwapRedBlue>
void FetchFootprintsPortable(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                             const uint16_t* weights, float* const out[4], int n) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = texels + offsets[i];
        uint32_t p00, p10, p01, p11;
        std::memcpy(&p00, p, 4);
        std::memcpy(&p10, p + 4, 4);
        std::memcpy(&p01, p + pitch, 4);
        std::memcpy(&p11, p + pitch + 4, 4);
        uint32_t ax = weights[i] & 255u, bx = 256 - ax, ay = uint32_t(weights[i]) >> 8, by = 256 - ay;
        // Channels 0 and 2, then 1 and 3, each in a 16-bit field: at most 255 * 256 per field.
        uint32_t topEven = (p00 & 0x00FF00FF) * bx + (p10 & 0x00FF00FF) * ax;
        uint32_t topOdd = ((p00 >> 8) & 0x00FF00FF) * bx + ((p10 >> 8) & 0x00FF00FF) * ax;
        uint32_t botEven = (p01 & 0x00FF00FF) * bx + (p11 & 0x00FF00FF) * ax;
        uint32_t botOdd = ((p01 >> 8) & 0x00FF00FF) * bx + ((p11 >> 8) & 0x00FF00FF) * ax;
        uint32_t c0 = (topEven & 0xFFFF) * by + (botEven & 0xFFFF) * ay;
        uint32_t c2 = (topEven >> 16) * by + (botEven >> 16) * ay;
        out[kSwapRedBlue ? 2 : 0][i] = float(int32_t(c0)) / kWeightDenominator;
        out[kSwapRedBlue ? 0 : 2][i] = float(int32_t(c2)) / kWeightDenominator;
        out[1][i] = float(int32_t((topOdd & 0xFFFF) * by + (botOdd & 0xFFFF) * ay)) / kWeightDenominator;
        if (out[3])
            out[3][i] = float(int32_t((topOdd >> 16) * by + (botOdd >> 16) * ay)) / kWeightDenominator;
    }
}

template void FetchFootprintsPortable<false>(const uint8_t*, size_t, const uint32_t*, const uint16_t*,
                                             float* const[4], int);
template void FetchFootprintsPortable<true>(const uint8_t*, size_t, const uint32_t*, const uint16_t*,
                                            float* const[4], int);

void FetchWindowTaps(FootprintJoin join, FootprintFetch fetch, const uint8_t* texels, size_t pitch,
                     const float* const x[3], const float* const y[3], float* const out[9][4], int n) {
    constexpr int kChunk = 64;
    uint32_t offsets[kChunk];
    uint16_t weights[kChunk];
    float unwanted[kChunk];
    for (int at = 0; at < n; at += kChunk) {
        const int m = std::min(kChunk, n - at);
        for (int tap = 0; tap < 9; ++tap) {
            float* channels[4];
            for (int c = 0; c < 3; ++c) channels[c] = out[tap][c] ? out[tap][c] + at : unwanted;
            channels[3] = out[tap][3] ? out[tap][3] + at : nullptr;
            join(x[tap % 3] + at, y[tap / 3] + at, pitch, offsets, weights, m);
            fetch(texels, pitch, offsets, weights, channels, m);
        }
    }
}

void ShiftWindowOutputs(float* const out[9][4], int at, float* shifted[9][4]) {
    for (int t = 0; t < 9; ++t)
        for (int c = 0; c < 4; ++c) shifted[t][c] = out[t][c] ? out[t][c] + at : nullptr;
}

void FetchKeptWindowTaps(FootprintJoin join, FootprintFetch fetch, const uint8_t* texels, size_t pitch,
                         const uint32_t* corners, const uint64_t* taps, float* const out[9][4], int n) {
    constexpr int kChunk = 64;
    float axes[6][kChunk];
    float* const x[3] = {axes[0], axes[1], axes[2]};
    float* const y[3] = {axes[3], axes[4], axes[5]};
    const float* const cx[3] = {x[0], x[1], x[2]};
    const float* const cy[3] = {y[0], y[1], y[2]};
    for (int at = 0; at < n; at += kChunk) {
        const int m = std::min(kChunk, n - at);
        UnpackWindowAxes(corners + at, taps + at, x, y, m);
        float* shifted[9][4];
        ShiftWindowOutputs(out, at, shifted);
        FetchWindowTaps(join, fetch, texels, pitch, cx, cy, shifted, m);
    }
}

namespace {

template <bool kSwapRedBlue>
void fetchWindowPortable(const uint8_t* texels, size_t pitch, const float* const x[3],
                         const float* const y[3], float* const out[9][4], int n) {
    FetchWindowTaps(JoinFootprintAxes, FetchFootprintsPortable<kSwapRedBlue>, texels, pitch, x, y, out, n);
}

template <bool kSwapRedBlue>
void fetchKeptWindowPortable(const uint8_t* texels, size_t pitch, const uint32_t* corners,
                             const uint64_t* taps, float* const out[9][4], int n) {
    FetchKeptWindowTaps(JoinFootprintAxes, FetchFootprintsPortable<kSwapRedBlue>, texels, pitch, corners,
                        taps, out, n);
}

} // namespace

} // namespace detail

FootprintCompute FootprintComputer(Isa isa) {
    return isa == Isa::Avx2 ? detail::Avx2FootprintComputer() : ComputeFootprints;
}

FootprintAxisCompute FootprintAxisComputer(Isa isa) {
    return isa == Isa::Avx2 ? detail::Avx2FootprintAxisComputer() : ComputeFootprintAxis;
}

FootprintJoin FootprintJoiner(Isa isa) {
    return isa == Isa::Avx2 ? detail::Avx2FootprintJoiner() : JoinFootprintAxes;
}

FootprintFetch FootprintFetcher(Isa isa, DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    if (isa == Isa::Avx2)
        return Avx512Enabled() ? detail::Avx512FootprintFetcher(swap) : detail::Avx2FootprintFetcher(swap);
    return swap ? detail::FetchFootprintsPortable<true> : detail::FetchFootprintsPortable<false>;
}

WindowFetch WindowFetcher(Isa isa, DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    if (isa == Isa::Avx2)
        return Avx512Enabled() ? detail::Avx512WindowFetcher(swap) : detail::Avx2WindowFetcher(swap);
    return swap ? detail::fetchWindowPortable<true> : detail::fetchWindowPortable<false>;
}

KeptWindowFetch KeptWindowFetcher(Isa isa, DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    if (isa == Isa::Avx2)
        return Avx512Enabled() ? detail::Avx512KeptWindowFetcher(swap) : detail::Avx2KeptWindowFetcher(swap);
    return swap ? detail::fetchKeptWindowPortable<true> : detail::fetchKeptWindowPortable<false>;
}

} // namespace platform::d3d10
