// Icon files (.ico) and the picture reductions that make icons.
//
// EncodeIco writes one image as Windows stores icon images since Windows XP: a BITMAPINFOHEADER
// whose height counts the colour rows and the mask rows, 32-bit BGRA colour rows bottom-up, then a
// 1-bit AND mask (set where the pixel is fully transparent), rows padded to 32 bits.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/image/image.h"
#include "tools/image/status.h"

namespace tools::image {

// Pictures up to 256 x 256.
Status EncodeIco(const Image& image, std::vector<uint8_t>& bytes);

// Each output pixel the average of the source pixels its square covers (area weights), so a large
// picture reduces without aliasing.
Image ReduceArea(const Image& source, uint32_t width, uint32_t height);

// `picture` reduced to fit a size x size square, keeping its shape, centred on transparency.
Image FitInSquare(const Image& picture, uint32_t size);

} // namespace tools::image
