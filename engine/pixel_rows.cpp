#include "engine/pixel_rows.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define UNFOLD_PACK_SSSE3 1
#endif

void CopyRows(uint8_t* dst, size_t dstPitch, const uint8_t* src, size_t srcPitch, size_t bytes,
              uint32_t begin, uint32_t end) {
    for (uint32_t y = begin; y < end; ++y) std::memcpy(dst + y * dstPitch, src + y * srcPitch, bytes);
}

namespace detail {

namespace {

// The pixels from texel `x` of a row to its end, each texel stored whole (four bytes, the fourth
// overwritten by the next pixel's first) except the last one when it ends the part: its fourth byte
// would land in a pixel of rows another thread packs.
void packTail(uint8_t* dst, const uint8_t* src, uint32_t x, uint32_t width, bool endsPart) {
    const uint32_t whole = endsPart && width ? width - 1 : width;
    for (; x < whole; ++x, src += 4, dst += 3) std::memcpy(dst, src, 4);
    for (; x < width; ++x, src += 4, dst += 3) dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
}

} // namespace

void PackRows24Portable(uint8_t* output, const uint8_t* texels, size_t pitch, uint32_t width, uint32_t begin,
                        uint32_t end) {
    for (uint32_t y = begin; y < end; ++y) {
        const uint8_t* src = texels + y * pitch;
        uint8_t* dst = output + size_t(y) * width * 3;
        uint32_t x = 0;
        // Four texels a step while a fifth follows in the row, so that the fourth byte of the last
        // texel stored lands on a pixel still to be written.
        for (; x + 5 <= width; x += 4, src += 16, dst += 12) {
            uint32_t p[4];
            std::memcpy(p, src, 16);
            std::memcpy(dst, &p[0], 4);
            std::memcpy(dst + 3, &p[1], 4);
            std::memcpy(dst + 6, &p[2], 4);
            std::memcpy(dst + 9, &p[3], 4);
        }
        packTail(dst, src, x, width, y + 1 == end);
    }
}

#ifdef UNFOLD_PACK_SSSE3
__attribute__((target("ssse3"))) void PackRows24Ssse3(uint8_t* output, const uint8_t* texels, size_t pitch,
                                                      uint32_t width, uint32_t begin, uint32_t end) {
    // Bytes 0-2 of the four texels to the first twelve bytes; the last four are don't-care (zeroed).
    const __m128i shuffle = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (uint32_t y = begin; y < end; ++y) {
        const uint8_t* src = texels + y * pitch;
        uint8_t* dst = output + size_t(y) * width * 3;
        uint32_t x = 0;
        // Sixteen texels a step, each 16-byte store writing twelve bytes of pixels and four that the
        // next store (or the next step) overwrites: at least two texels must follow in the row.
        for (; x + 18 <= width; x += 16, src += 64, dst += 48) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
            __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
            __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(a, shuffle));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 12), _mm_shuffle_epi8(b, shuffle));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 24), _mm_shuffle_epi8(c, shuffle));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 36), _mm_shuffle_epi8(d, shuffle));
        }
        packTail(dst, src, x, width, y + 1 == end);
    }
}

bool HasSsse3() {
    return __builtin_cpu_supports("ssse3");
}
#else
void PackRows24Ssse3(uint8_t* output, const uint8_t* texels, size_t pitch, uint32_t width, uint32_t begin,
                     uint32_t end) {
    PackRows24Portable(output, texels, pitch, width, begin, end);
}

bool HasSsse3() {
    return false;
}
#endif

} // namespace detail

void PackRows24(uint8_t* output, const uint8_t* texels, size_t pitch, uint32_t width, uint32_t begin,
                uint32_t end) {
    static const bool ssse3 = detail::HasSsse3();
    (ssse3 ? detail::PackRows24Ssse3 : detail::PackRows24Portable)(output, texels, pitch, width, begin, end);
}
