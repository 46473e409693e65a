// Pictures as DirectShow delivers uncompressed RGB video: device-independent bitmap rows, bytes blue,
// green, red (and an unused fourth for 32 bits), rows bottom-up when the bitmap height is positive
// and top-down when it is negative. Each row is padded to a multiple of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/image/image.h"
#include "tools/image/status.h"

namespace tools::image {

// Bytes of one padded row.
size_t DibStride(uint32_t width, uint32_t bitsPerPixel);

// The picture of a 24- or 32-bit DIB of `bytes` bytes; fails when the bytes are too few for it or the
// depth is another.
Status ImageFromDib(const uint8_t* bits, size_t bytes, uint32_t width, int32_t height, uint32_t bitsPerPixel,
                    Image& picture);

} // namespace tools::image
