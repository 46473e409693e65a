#include "tools/image/icon_file.h"

#include <algorithm>
#include <cmath>

namespace tools::image {
namespace {

void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}

} // namespace

Status EncodeIco(const Image& image, std::vector<uint8_t>& bytes) {
    const uint32_t w = image.width(), h = image.height();
    if (image.empty() || w > 256 || h > 256) return Status::Error("an icon is 1 to 256 pixels on a side");
    const uint32_t maskStride = ((w + 31) / 32) * 4;
    const uint32_t imageBytes = 40 + w * h * 4 + maskStride * h;
    bytes.clear();
    // ICONDIR and its one entry; 256 is written as 0.
    put16(bytes, 0);
    put16(bytes, 1);
    put16(bytes, 1);
    bytes.push_back(uint8_t(w & 0xFF));
    bytes.push_back(uint8_t(h & 0xFF));
    bytes.push_back(0); // no palette
    bytes.push_back(0);
    put16(bytes, 1);  // planes
    put16(bytes, 32); // bits per pixel
    put32(bytes, imageBytes);
    put32(bytes, 6 + 16);
    // BITMAPINFOHEADER
    put32(bytes, 40);
    put32(bytes, w);
    put32(bytes, h * 2);
    put16(bytes, 1);
    put16(bytes, 32);
    put32(bytes, 0); // BI_RGB
    put32(bytes, w * h * 4 + maskStride * h);
    for (int i = 0; i < 4; ++i) put32(bytes, 0);
    for (uint32_t y = h; y-- > 0;) {
        for (uint32_t x = 0; x < w; ++x) {
            Rgba p = image.pixel(x, y);
            bytes.insert(bytes.end(), {p.b, p.g, p.r, p.a});
        }
    }
    for (uint32_t y = h; y-- > 0;) {
        std::vector<uint8_t> row(maskStride, 0);
        for (uint32_t x = 0; x < w; ++x)
            if (image.pixel(x, y).a == 0) row[x / 8] |= uint8_t(0x80 >> (x % 8));
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return Status::Ok();
}

Image ReduceArea(const Image& source, uint32_t width, uint32_t height) {
    Image out(width, height);
    if (source.empty() || width == 0 || height == 0) return out;
    const double sx = double(source.width()) / width, sy = double(source.height()) / height;
    for (uint32_t y = 0; y < height; ++y) {
        const double y0 = y * sy, y1 = (y + 1) * sy;
        for (uint32_t x = 0; x < width; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            double sum[4] = {}, area = 0;
            for (uint32_t py = uint32_t(y0); py < std::min<double>(std::ceil(y1), source.height()); ++py) {
                const double wy = std::min<double>(py + 1, y1) - std::max<double>(py, y0);
                for (uint32_t px = uint32_t(x0); px < std::min<double>(std::ceil(x1), source.width()); ++px) {
                    const double wgt = wy * (std::min<double>(px + 1, x1) - std::max<double>(px, x0));
                    const Rgba p = source.pixel(px, py);
                    sum[0] += wgt * p.r, sum[1] += wgt * p.g, sum[2] += wgt * p.b, sum[3] += wgt * p.a;
                    area += wgt;
                }
            }
            auto channel = [&](int i) { return uint8_t(std::lround(sum[i] / area)); };
            out.setPixel(x, y, {channel(0), channel(1), channel(2), channel(3)});
        }
    }
    return out;
}

Image FitInSquare(const Image& picture, uint32_t size) {
    Image square(size, size, Rgba{0, 0, 0, 0});
    if (picture.empty()) return square;
    const double scale = double(size) / std::max(picture.width(), picture.height());
    const uint32_t w = std::max<uint32_t>(1, uint32_t(std::lround(picture.width() * scale)));
    const uint32_t h = std::max<uint32_t>(1, uint32_t(std::lround(picture.height() * scale)));
    square.blit(ReduceArea(picture, w, h), int(size - w) / 2, int(size - h) / 2);
    return square;
}

} // namespace tools::image
