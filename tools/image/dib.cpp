#include "tools/image/dib.h"

#include <string>

namespace tools::image {

size_t DibStride(uint32_t width, uint32_t bitsPerPixel) {
    return (size_t(width) * bitsPerPixel + 31) / 32 * 4;
}

Status ImageFromDib(const uint8_t* bits, size_t bytes, uint32_t width, int32_t height, uint32_t bitsPerPixel,
                    Image& picture) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        return Status::Error("a " + std::to_string(bitsPerPixel) + "-bit frame is not RGB24 or RGB32");
    const bool bottomUp = height > 0;
    const uint32_t rows = bottomUp ? uint32_t(height) : uint32_t(-int64_t(height));
    const size_t stride = DibStride(width, bitsPerPixel);
    if (width == 0 || rows == 0 || !bits || bytes / stride < rows)
        return Status::Error("a " + std::to_string(width) + " x " + std::to_string(rows) + " frame needs " +
                             std::to_string(stride * rows) + " bytes, it has " + std::to_string(bytes));
    const size_t step = bitsPerPixel / 8;
    picture = Image(width, rows);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* src = bits + (bottomUp ? rows - 1 - y : y) * stride;
        uint8_t* dst = picture.row(y);
        for (uint32_t x = 0; x < width; ++x, src += step, dst += 4)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = 255;
    }
    return Status::Ok();
}

} // namespace tools::image
