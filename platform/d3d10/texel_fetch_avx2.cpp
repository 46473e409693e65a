// The footprint fetch eight samples at a time with AVX2 (and FMA), compiled for that instruction set
// function by function so that the rest of the library keeps the baseline. Every step is exact integer
// arithmetic (16-bit products of at most 255 x 256, and the vertical sums, below 2^24, exact in float), so
// the result is that of the portable fetch.
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/d3d10/texel_fetch.h"

namespace platform::d3d10::detail {

#define UNFOLD_AVX2 __attribute__((target("avx2,fma")))
#define UNFOLD_AVX2_INLINE __attribute__((target("avx2,fma"), always_inline)) inline
#define UNFOLD_SIMD UNFOLD_AVX2
#define UNFOLD_SIMD_INLINE UNFOLD_AVX2_INLINE

namespace {

#include "platform/d3d10/texel_window_simd.h"

UNFOLD_AVX2_INLINE __m256 blendY(__m256i top, __m256i bottom, __m256 by, __m256 ay) {
    return blendRows(_mm256_cvtepi32_ps(top), _mm256_cvtepi32_ps(bottom), by, ay);
}

// The texel pairs (a texel and its right neighbour, one 64-bit load each) at four offsets, one pair a
// 64-bit lane: a and b in the low half, c and d in the high half.
UNFOLD_AVX2_INLINE __m256 pairs(const uint8_t* at, const uint32_t* offsets, int a, int b, int c, int d) {
    __m128d lo = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + offsets[a])));
    lo = _mm_loadh_pd(lo, reinterpret_cast<const double*>(at + offsets[b]));
    __m128d hi = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + offsets[c])));
    hi = _mm_loadh_pd(hi, reinterpret_cast<const double*>(at + offsets[d]));
    return _mm256_castpd_ps(_mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1));
}

// Eight footprints' left and right texels of one row, in lane order: two loads a footprint rather
// than two gathered elements, which cost several times more.
UNFOLD_AVX2_INLINE void rowTexels(const uint8_t* at, const uint32_t* offsets, __m256i& left, __m256i& right) {
    // In each 128-bit half the low pairs come from the first vector and the high ones from the second.
    __m256 first = pairs(at, offsets, 0, 1, 4, 5), second = pairs(at, offsets, 2, 3, 6, 7);
    left = _mm256_castps_si256(_mm256_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
    right = _mm256_castps_si256(_mm256_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
}

template <bool kSwapRedBlue, bool kAlpha>
UNFOLD_AVX2 void fetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                 const uint16_t* weights, float* const out[4], int n) {
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i byteMask = _mm256_set1_epi32(255), full = _mm256_set1_epi16(256);
    const __m256i full32 = _mm256_set1_epi32(256);
    float* o0 = out[kSwapRedBlue ? 2 : 0];
    float* o2 = out[kSwapRedBlue ? 0 : 2];
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i w = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + i)));
        __m256i ax = _mm256_and_si256(w, byteMask), ay = _mm256_srli_epi32(w, 8);
        __m256i ax2 = _mm256_or_si256(ax, _mm256_slli_epi32(ax, 16)); // the weight in both 16-bit fields
        __m256i bx2 = _mm256_sub_epi16(full, ax2);
        __m256i p00, p10, p01, p11;
        rowTexels(texels, offsets + i, p00, p10);
        rowTexels(texels + pitch, offsets + i, p01, p11);
        __m256i topEven = blendX(p00, p10, bx2, ax2), botEven = blendX(p01, p11, bx2, ax2);
        __m256i topOdd = blendX(_mm256_srli_epi32(p00, 8), _mm256_srli_epi32(p10, 8), bx2, ax2);
        __m256i botOdd = blendX(_mm256_srli_epi32(p01, 8), _mm256_srli_epi32(p11, 8), bx2, ax2);
        __m256 fy = _mm256_cvtepi32_ps(ay), fby = _mm256_cvtepi32_ps(_mm256_sub_epi32(full32, ay));
        _mm256_storeu_ps(o0 + i,
                         blendY(_mm256_and_si256(topEven, low16), _mm256_and_si256(botEven, low16), fby, fy));
        _mm256_storeu_ps(o2 + i,
                         blendY(_mm256_srli_epi32(topEven, 16), _mm256_srli_epi32(botEven, 16), fby, fy));
        _mm256_storeu_ps(out[1] + i,
                         blendY(_mm256_and_si256(topOdd, low16), _mm256_and_si256(botOdd, low16), fby, fy));
        if (kAlpha)
            _mm256_storeu_ps(out[3] + i,
                             blendY(_mm256_srli_epi32(topOdd, 16), _mm256_srli_epi32(botOdd, 16), fby, fy));
    }
    if (i < n) {
        float* rest[4] = {out[0] + i, out[1] + i, out[2] + i, kAlpha ? out[3] + i : nullptr};
        FetchFootprintsPortable<kSwapRedBlue>(texels, pitch, offsets + i, weights + i, rest, n - i);
    }
}

template <bool kSwapRedBlue>
UNFOLD_AVX2 void fetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                 const uint16_t* weights, float* const out[4], int n) {
    if (out[3])
        fetchFootprints<kSwapRedBlue, true>(texels, pitch, offsets, weights, out, n);
    else
        fetchFootprints<kSwapRedBlue, false>(texels, pitch, offsets, weights, out, n);
}

// ToFixed8: x * 256 + 0.5, NaN to 0, held within +-2^30, truncated and corrected downwards.
UNFOLD_AVX2_INLINE __m256i toFixed8(__m256 x) {
    __m256 s = _mm256_add_ps(_mm256_mul_ps(x, _mm256_set1_ps(256.0f)), _mm256_set1_ps(0.5f));
    s = _mm256_and_ps(s, _mm256_cmp_ps(s, s, _CMP_ORD_Q));
    s = _mm256_max_ps(s, _mm256_set1_ps(-1073741824.0f));
    s = _mm256_min_ps(s, _mm256_set1_ps(1073741824.0f));
    __m256i i = _mm256_cvttps_epi32(s);
    __m256i above = _mm256_castps_si256(_mm256_cmp_ps(_mm256_cvtepi32_ps(i), s, _CMP_GT_OQ));
    return _mm256_add_epi32(i, above); // above is -1 where the truncation went up
}

// One direction of a footprint: the clamped texel index and its weight (0 where both texels clamp to one).
UNFOLD_AVX2_INLINE void clampAxis(__m256i fixed, __m256i last, __m256i& index, __m256i& weight) {
    index = _mm256_srai_epi32(fixed, 8);
    weight = _mm256_and_si256(fixed, _mm256_set1_epi32(255));
    // last >= 0 and index >= -2^22, so last - 1 does not wrap and index > last - 1 is index >= last.
    const __m256i below = _mm256_cmpgt_epi32(_mm256_setzero_si256(), index);
    const __m256i beyond = _mm256_cmpgt_epi32(index, _mm256_sub_epi32(last, _mm256_set1_epi32(1)));
    weight = _mm256_andnot_si256(_mm256_or_si256(below, beyond), weight);
    index = _mm256_min_epi32(_mm256_max_epi32(index, _mm256_setzero_si256()), last);
}

UNFOLD_AVX2 void computeFootprints(const SampledTexture& t, const float* u, const float* v, uint32_t* offsets,
                                   uint16_t* weights, int n) {
    const __m256 w = _mm256_set1_ps(float(t.width)), h = _mm256_set1_ps(float(t.height)),
                 half = _mm256_set1_ps(0.5f);
    const __m256i lastX = _mm256_set1_epi32(int32_t(t.width) - 1),
                  lastY = _mm256_set1_epi32(int32_t(t.height) - 1);
    const __m256i pitch = _mm256_set1_epi32(int32_t(t.rowPitch));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i fx = toFixed8(_mm256_sub_ps(_mm256_mul_ps(_mm256_loadu_ps(u + i), w), half));
        __m256i fy = toFixed8(_mm256_sub_ps(_mm256_mul_ps(_mm256_loadu_ps(v + i), h), half));
        __m256i x0, wx, y0, wy;
        clampAxis(fx, lastX, x0, wx);
        clampAxis(fy, lastY, y0, wy);
        __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(y0, pitch), _mm256_slli_epi32(x0, 2));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(offsets + i), offset);
        __m256i packed = _mm256_or_si256(wx, _mm256_slli_epi32(wy, 8));
        // Eight 32-bit weights to eight 16-bit ones (each fits in 16 bits, so the saturation never acts).
        __m128i lo = _mm256_castsi256_si128(packed), hi = _mm256_extracti128_si256(packed, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(weights + i), _mm_packus_epi32(lo, hi));
    }
    if (i < n) ComputeFootprints(t, u + i, v + i, offsets + i, weights + i, n - i);
}

UNFOLD_AVX2 void computeFootprintAxis(uint32_t extent, const float* c, float* axis, int n) {
    const __m256 e = _mm256_set1_ps(float(extent)), half = _mm256_set1_ps(0.5f);
    const __m256i last = _mm256_set1_epi32(int32_t(extent) - 1);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i index, weight;
        clampAxis(toFixed8(_mm256_sub_ps(_mm256_mul_ps(_mm256_loadu_ps(c + i), e), half)), last, index,
                  weight);
        _mm256_storeu_ps(axis + i, _mm256_castsi256_ps(_mm256_or_si256(_mm256_slli_epi32(index, 8), weight)));
    }
    if (i < n) ComputeFootprintAxis(extent, c + i, axis + i, n - i);
}

UNFOLD_AVX2 void joinFootprintAxes(const float* x, const float* y, size_t rowPitch, uint32_t* offsets,
                                   uint16_t* weights, int n) {
    const __m256i pitch = _mm256_set1_epi32(int32_t(uint32_t(rowPitch))), byte = _mm256_set1_epi32(255);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i xa = _mm256_castps_si256(_mm256_loadu_ps(x + i)),
                ya = _mm256_castps_si256(_mm256_loadu_ps(y + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(offsets + i), axesOffset(xa, ya, pitch));
        __m256i packed =
            _mm256_or_si256(_mm256_and_si256(xa, byte), _mm256_slli_epi32(_mm256_and_si256(ya, byte), 8));
        __m128i lo = _mm256_castsi256_si128(packed), hi = _mm256_extracti128_si256(packed, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(weights + i), _mm_packus_epi32(lo, hi));
    }
    if (i < n) JoinFootprintAxes(x + i, y + i, rowPitch, offsets + i, weights + i, n - i);
}

void windowTapJoin(const float* x, const float* y, size_t rowPitch, uint32_t* offsets, uint16_t* weights,
                   int n) {
    joinFootprintAxes(x, y, rowPitch, offsets, weights, n);
}

template <bool kSwapRedBlue>
void windowTapFetch(const uint8_t* texels, size_t pitch, const uint32_t* offsets, const uint16_t* weights,
                    float* const out[4], int n) {
    fetchFootprints<kSwapRedBlue>(texels, pitch, offsets, weights, out, n);
}

} // namespace

WindowFetch Avx2WindowFetcher(bool swapRedBlue) {
    return swapRedBlue ? fetchWindowChannels<true> : fetchWindowChannels<false>;
}

KeptWindowFetch Avx2KeptWindowFetcher(bool swapRedBlue) {
    return swapRedBlue ? fetchKeptWindowChannels<true> : fetchKeptWindowChannels<false>;
}

FootprintAxisCompute Avx2FootprintAxisComputer() {
    return computeFootprintAxis;
}

FootprintJoin Avx2FootprintJoiner() {
    return joinFootprintAxes;
}

FootprintCompute Avx2FootprintComputer() {
    return computeFootprints;
}

FootprintFetch Avx2FootprintFetcher(bool swapRedBlue) {
    return swapRedBlue ? fetchFootprints<true> : fetchFootprints<false>;
}

} // namespace platform::d3d10::detail
