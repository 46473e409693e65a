// The footprint fetch sixteen samples at a time with AVX-512 (F and BW), and the window fetch with
// AVX-512 VL's registers, compiled for that instruction set function by function. The arithmetic is the AVX2
// fetch's at twice the width, exact integer steps then the one division, so the result is that of the
// portable fetch; a tail of fewer than sixteen footprints is fetched as a whole vector with the missing lanes
// reading texel 0, and stored masked. GCC 12's AVX-512 intrinsics start some vectors undefined on purpose,
// which -Wmaybe-uninitialized reports inside its own headers (Clang has no such warning).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/d3d10/texel_fetch.h"

namespace platform::d3d10::detail {

#define UNFOLD_AVX512 __attribute__((target("avx512f,avx512bw,fma")))
#define UNFOLD_AVX512_INLINE __attribute__((target("avx512f,avx512bw,fma"), always_inline)) inline

namespace {

// Two texels' channels 0 and 2 (or, shifted, 1 and 3) weighted across x, in 16-bit fields.
UNFOLD_AVX512_INLINE __m512i blendX(__m512i a, __m512i b, __m512i bx2, __m512i ax2) {
    const __m512i evenBytes = _mm512_set1_epi32(0x00FF00FF);
    return _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(a, evenBytes), bx2),
                            _mm512_mullo_epi16(_mm512_and_si512(b, evenBytes), ax2));
}

// One channel weighted across y, then scaled to [0, 1] as the sampler does (the sum, exact in float, fused).
UNFOLD_AVX512_INLINE __m512 blendY(__m512i top, __m512i bottom, __m512 by, __m512 ay) {
    const __m512 sum =
        _mm512_fmadd_ps(_mm512_cvtepi32_ps(top), by, _mm512_mul_ps(_mm512_cvtepi32_ps(bottom), ay));
    return _mm512_div_ps(sum, _mm512_set1_ps(kWeightDenominator));
}

// The texel pairs (a texel and its right neighbour, one 64-bit load each) at eight offsets, one pair a
// 64-bit lane, in order.
UNFOLD_AVX512_INLINE __m128i pair2(const uint8_t* at, uint32_t a, uint32_t b) {
    __m128d lo = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + a)));
    return _mm_castpd_si128(_mm_loadh_pd(lo, reinterpret_cast<const double*>(at + b)));
}

UNFOLD_AVX512_INLINE __m512i pairs(const uint8_t* at, const uint32_t* offsets) {
    __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(pair2(at, offsets[0], offsets[1])),
                                          pair2(at, offsets[2], offsets[3]), 1);
    __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(pair2(at, offsets[4], offsets[5])),
                                           pair2(at, offsets[6], offsets[7]), 1);
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// Sixteen footprints' left and right texels of one row, in lane order.
UNFOLD_AVX512_INLINE void rowTexels(const uint8_t* at, const uint32_t* offsets, __m512i& left,
                                    __m512i& right) {
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    __m512i first = pairs(at, offsets), second = pairs(at, offsets + 8);
    left = _mm512_permutex2var_epi32(first, even, second);
    right = _mm512_permutex2var_epi32(first, odd, second);
}

template <bool kSwapRedBlue, bool kAlpha>
UNFOLD_AVX512_INLINE void fetch16(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                  const uint16_t* weights, float* o0, float* o1, float* o2, float* o3,
                                  __mmask16 lanes) {
    const __m512i low16 = _mm512_set1_epi32(0xFFFF), byteMask = _mm512_set1_epi32(255);
    const __m512i full = _mm512_set1_epi16(256), full32 = _mm512_set1_epi32(256);
    __m512i w = _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights)));
    __m512i ax = _mm512_and_si512(w, byteMask), ay = _mm512_srli_epi32(w, 8);
    __m512i ax2 = _mm512_or_si512(ax, _mm512_slli_epi32(ax, 16)); // the weight in both 16-bit fields
    __m512i bx2 = _mm512_sub_epi16(full, ax2);
    __m512i p00, p10, p01, p11;
    rowTexels(texels, offsets, p00, p10);
    rowTexels(texels + pitch, offsets, p01, p11);
    __m512i topEven = blendX(p00, p10, bx2, ax2), botEven = blendX(p01, p11, bx2, ax2);
    __m512i topOdd = blendX(_mm512_srli_epi32(p00, 8), _mm512_srli_epi32(p10, 8), bx2, ax2);
    __m512i botOdd = blendX(_mm512_srli_epi32(p01, 8), _mm512_srli_epi32(p11, 8), bx2, ax2);
    __m512 fy = _mm512_cvtepi32_ps(ay), fby = _mm512_cvtepi32_ps(_mm512_sub_epi32(full32, ay));
    _mm512_mask_storeu_ps(
        kSwapRedBlue ? o2 : o0, lanes,
        blendY(_mm512_and_si512(topEven, low16), _mm512_and_si512(botEven, low16), fby, fy));
    _mm512_mask_storeu_ps(kSwapRedBlue ? o0 : o2, lanes,
                          blendY(_mm512_srli_epi32(topEven, 16), _mm512_srli_epi32(botEven, 16), fby, fy));
    _mm512_mask_storeu_ps(o1, lanes,
                          blendY(_mm512_and_si512(topOdd, low16), _mm512_and_si512(botOdd, low16), fby, fy));
    if (kAlpha)
        _mm512_mask_storeu_ps(o3, lanes,
                              blendY(_mm512_srli_epi32(topOdd, 16), _mm512_srli_epi32(botOdd, 16), fby, fy));
}

template <bool kSwapRedBlue, bool kAlpha>
UNFOLD_AVX512 void fetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                   const uint16_t* weights, float* const out[4], int n) {
    int i = 0;
    for (; i + 16 <= n; i += 16)
        fetch16<kSwapRedBlue, kAlpha>(texels, pitch, offsets + i, weights + i, out[0] + i, out[1] + i,
                                      out[2] + i, kAlpha ? out[3] + i : nullptr, 0xFFFF);
    if (i < n) {
        // The missing lanes fetch texel 0 with weight 0, which is always there, and are not stored.
        uint32_t restOffsets[16] = {};
        uint16_t restWeights[16] = {};
        std::copy(offsets + i, offsets + n, restOffsets);
        std::copy(weights + i, weights + n, restWeights);
        fetch16<kSwapRedBlue, kAlpha>(texels, pitch, restOffsets, restWeights, out[0] + i, out[1] + i,
                                      out[2] + i, kAlpha ? out[3] + i : nullptr,
                                      __mmask16((1u << (n - i)) - 1));
    }
}

template <bool kSwapRedBlue>
UNFOLD_AVX512 void fetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                   const uint16_t* weights, float* const out[4], int n) {
    if (out[3])
        fetchFootprints<kSwapRedBlue, true>(texels, pitch, offsets, weights, out, n);
    else
        fetchFootprints<kSwapRedBlue, false>(texels, pitch, offsets, weights, out, n);
}

// The window fetch in AVX2 registers, with the 32 of AVX-512 VL to hold its values.
#define UNFOLD_SIMD __attribute__((target("avx2,fma,avx512f,avx512vl,avx512bw")))
#define UNFOLD_SIMD_INLINE __attribute__((target("avx2,fma,avx512f,avx512vl,avx512bw"), always_inline)) inline
#include "platform/d3d10/texel_window_simd.h"

void windowTapJoin(const float* x, const float* y, size_t rowPitch, uint32_t* offsets, uint16_t* weights,
                   int n) {
    static const FootprintJoin join = Avx2FootprintJoiner();
    join(x, y, rowPitch, offsets, weights, n);
}

template <bool kSwapRedBlue>
void windowTapFetch(const uint8_t* texels, size_t pitch, const uint32_t* offsets, const uint16_t* weights,
                    float* const out[4], int n) {
    fetchFootprints<kSwapRedBlue>(texels, pitch, offsets, weights, out, n);
}

// One channel of sixteen lanes weighted across y (blendRows at twice the width).
UNFOLD_AVX512_INLINE __m512 blendRows16(__m512 top, __m512 bottom, __m512 by, __m512 ay) {
    const __m512 sum = _mm512_fmadd_ps(top, by, _mm512_mul_ps(bottom, ay));
    return _mm512_div_ps(sum, _mm512_set1_ps(kWeightDenominator));
}

// Window rows at four offsets, one 128-bit block each.
UNFOLD_AVX512_INLINE __m512i fourRows(const uint8_t* at, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + a)));
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + b)), 1);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + c)), 2);
    return _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + d)), 3);
}

// Row r of sixteen 4 x 4 windows: column k of each window's row in c[k], in lane order (windowRow at
// twice the width: the same transpose within each 128-bit block).
UNFOLD_AVX512_INLINE void windowRow16(const uint8_t* at, const uint32_t* o, __m512i c[4]) {
    const __m512i v0 = fourRows(at, o[0], o[4], o[8], o[12]), v1 = fourRows(at, o[1], o[5], o[9], o[13]);
    const __m512i v2 = fourRows(at, o[2], o[6], o[10], o[14]), v3 = fourRows(at, o[3], o[7], o[11], o[15]);
    const __m512i t0 = _mm512_unpacklo_epi32(v0, v1), t1 = _mm512_unpackhi_epi32(v0, v1);
    const __m512i t2 = _mm512_unpacklo_epi32(v2, v3), t3 = _mm512_unpackhi_epi32(v2, v3);
    c[0] = _mm512_unpacklo_epi64(t0, t2);
    c[1] = _mm512_unpackhi_epi64(t0, t2);
    c[2] = _mm512_unpacklo_epi64(t1, t3);
    c[3] = _mm512_unpackhi_epi64(t1, t3);
}

// Sixteen lanes of a window whose axes step by one texel: fetchWindow8 at twice the width, the weights
// in the low byte of each axis lane.
template <bool kSwapRedBlue, bool kEven, bool kOdd, bool kAlpha>
UNFOLD_AVX512_INLINE void fetchWindow16(const uint8_t* texels, size_t pitch, const __m512i x[3],
                                        const __m512i y[3], const uint32_t* offsets, float* const out[9][4],
                                        int at) {
    const __m512i low16 = _mm512_set1_epi32(0xFFFF), byteMask = _mm512_set1_epi32(255);
    const __m512i full = _mm512_set1_epi16(256), full32 = _mm512_set1_epi32(256);
    __m512i ax2[3], bx2[3];
    for (int i = 0; i < 3; ++i) {
        const __m512i ax = _mm512_and_si512(x[i], byteMask);
        ax2[i] = _mm512_or_si512(ax, _mm512_slli_epi32(ax, 16));
        bx2[i] = _mm512_sub_epi16(full, ax2[i]);
    }
    __m512 rows[2][3][4];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
        __m512i c[4];
        windowRow16(texels + size_t(r) * pitch, offsets, c);
        __m512(*now)[4] = rows[r & 1];
        for (int i = 0; i < 3; ++i) {
            if (kEven) {
                const __m512i e = blendX(c[i], c[i + 1], bx2[i], ax2[i]);
                now[i][0] = _mm512_cvtepi32_ps(_mm512_and_si512(e, low16));
                now[i][2] = _mm512_cvtepi32_ps(_mm512_srli_epi32(e, 16));
            }
            if (kOdd) {
                const __m512i o =
                    blendX(_mm512_srli_epi32(c[i], 8), _mm512_srli_epi32(c[i + 1], 8), bx2[i], ax2[i]);
                now[i][1] = _mm512_cvtepi32_ps(_mm512_and_si512(o, low16));
                if (kAlpha) now[i][3] = _mm512_cvtepi32_ps(_mm512_srli_epi32(o, 16));
            }
        }
        if (r == 0) continue;
        const int j = r - 1;
        const __m512i ay = _mm512_and_si512(y[j], byteMask);
        const __m512 fy = _mm512_cvtepi32_ps(ay), fby = _mm512_cvtepi32_ps(_mm512_sub_epi32(full32, ay));
        const __m512(*top)[4] = rows[j & 1];
        for (int i = 0; i < 3; ++i) {
            float* const* tap = out[3 * j + i];
            for (int field = 0; field < 4; ++field) {
                if (field % 2 ? !kOdd : !kEven) continue;
                if (field == 3 && !kAlpha) continue;
                float* o = tap[kSwapRedBlue && field != 1 && field != 3 ? 2 - field : field];
                if (o) _mm512_storeu_ps(o + at, blendRows16(top[i][field], now[i][field], fby, fy));
            }
        }
    }
}

// The kept window fetch sixteen lanes at a time where every lane's axes step by one texel; other
// groups, and a tail of fewer than sixteen, go to the eight-lane fetch.
template <bool kSwapRedBlue, bool kEven, bool kOdd, bool kAlpha>
UNFOLD_AVX512 void fetchKeptWindow16(const uint8_t* texels, size_t pitch, const uint32_t* corners,
                                     const uint64_t* taps, float* const out[9][4], int n) {
    auto narrower = [&](int at, int m) {
        float* shifted[9][4];
        ShiftWindowOutputs(out, at, shifted);
        fetchKeptWindow<kSwapRedBlue, kEven, kOdd, kAlpha>(texels, pitch, corners + at, taps + at, shifted,
                                                           m);
    };
    const __m512i rowPitch = _mm512_set1_epi32(int32_t(uint32_t(pitch))), low16 = _mm512_set1_epi32(0xFFFF);
    const __m512i stepsOfOne = _mm512_set1_epi32(0x1111);
    const __m512i lowHalves = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i highHalves = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    alignas(64) uint32_t offsets[16];
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i t0 = _mm512_loadu_si512(taps + i), t1 = _mm512_loadu_si512(taps + i + 8);
        const __m512i low = _mm512_permutex2var_epi32(t0, lowHalves, t1),
                      high = _mm512_permutex2var_epi32(t0, highHalves, t1);
        if (_mm512_cmpeq_epi32_mask(_mm512_srli_epi32(high, 16), stepsOfOne) != 0xFFFF) {
            narrower(i, 16);
            continue;
        }
        const __m512i c = _mm512_loadu_si512(corners + i);
        _mm512_store_si512(offsets, _mm512_add_epi32(_mm512_mullo_epi32(_mm512_srli_epi32(c, 16), rowPitch),
                                                     _mm512_slli_epi32(_mm512_and_si512(c, low16), 2)));
        const __m512i xs[3] = {low, _mm512_srli_epi32(low, 8), _mm512_srli_epi32(low, 16)};
        const __m512i ys[3] = {_mm512_srli_epi32(low, 24), high, _mm512_srli_epi32(high, 8)};
        fetchWindow16<kSwapRedBlue, kEven, kOdd, kAlpha>(texels, pitch, xs, ys, offsets, out, i);
    }
    if (i < n) narrower(i, n - i);
}

template <bool kSwapRedBlue>
void fetchKeptWindow16Channels(const uint8_t* texels, size_t pitch, const uint32_t* corners,
                               const uint64_t* taps, float* const out[9][4], int n) {
    forWantedChannels(out, [&](auto even, auto odd, auto alpha) {
        fetchKeptWindow16<kSwapRedBlue, decltype(even)::value, decltype(odd)::value, decltype(alpha)::value>(
            texels, pitch, corners, taps, out, n);
    });
}

} // namespace

FootprintFetch Avx512FootprintFetcher(bool swapRedBlue) {
    if (!Avx512Supported()) return nullptr;
    return swapRedBlue ? fetchFootprints<true> : fetchFootprints<false>;
}

WindowFetch Avx512WindowFetcher(bool swapRedBlue) {
    if (!Avx512Supported()) return nullptr;
    return swapRedBlue ? fetchWindowChannels<true> : fetchWindowChannels<false>;
}

KeptWindowFetch Avx512KeptWindowFetcher(bool swapRedBlue) {
    if (!Avx512Supported()) return nullptr;
    return swapRedBlue ? fetchKeptWindow16Channels<true> : fetchKeptWindow16Channels<false>;
}

} // namespace platform::d3d10::detail
