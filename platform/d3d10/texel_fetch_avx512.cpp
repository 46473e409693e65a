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
    return swapRedBlue ? fetchKeptWindowChannels<true> : fetchKeptWindowChannels<false>;
}

} // namespace platform::d3d10::detail
