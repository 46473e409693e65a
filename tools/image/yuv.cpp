#include "tools/image/yuv.h"

namespace tools::image {
namespace {

// Fixed-point BT.601 studio-range coefficients, scaled by 256.
uint8_t Luma(int r, int g, int b) {
    return uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}
uint8_t Cb(int r, int g, int b) {
    return uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
uint8_t Cr(int r, int g, int b) {
    return uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

} // namespace

void ToI420(const Image& picture, std::vector<uint8_t>& frame) {
    const uint32_t w = picture.width(), h = picture.height();
    const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    frame.resize(size_t(w) * h + 2 * size_t(cw) * ch);
    uint8_t* y = frame.data();
    uint8_t* cb = y + size_t(w) * h;
    uint8_t* cr = cb + size_t(cw) * ch;
    for (uint32_t row = 0; row < h; ++row) {
        const uint8_t* p = picture.row(row);
        for (uint32_t x = 0; x < w; ++x, p += 4) *y++ = Luma(p[0], p[1], p[2]);
    }
    for (uint32_t by = 0; by < ch; ++by) {
        for (uint32_t bx = 0; bx < cw; ++bx) {
            int r = 0, g = 0, b = 0, n = 0;
            for (uint32_t yy = by * 2; yy < by * 2 + 2 && yy < h; ++yy) {
                for (uint32_t xx = bx * 2; xx < bx * 2 + 2 && xx < w; ++xx) {
                    const uint8_t* p = picture.row(yy) + xx * 4;
                    r += p[0], g += p[1], b += p[2], ++n;
                }
            }
            r = (r + n / 2) / n, g = (g + n / 2) / n, b = (b + n / 2) / n;
            *cb++ = Cb(r, g, b);
            *cr++ = Cr(r, g, b);
        }
    }
}

void ToYuyv(const Image& picture, std::vector<uint8_t>& frame) {
    const uint32_t w = picture.width() & ~1u, h = picture.height();
    frame.resize(size_t(w) * h * 2);
    uint8_t* out = frame.data();
    for (uint32_t row = 0; row < h; ++row) {
        const uint8_t* p = picture.row(row);
        for (uint32_t x = 0; x < w; x += 2, p += 8) {
            const int r = (p[0] + p[4] + 1) / 2, g = (p[1] + p[5] + 1) / 2, b = (p[2] + p[6] + 1) / 2;
            *out++ = Luma(p[0], p[1], p[2]);
            *out++ = Cb(r, g, b);
            *out++ = Luma(p[4], p[5], p[6]);
            *out++ = Cr(r, g, b);
        }
    }
}

} // namespace tools::image
