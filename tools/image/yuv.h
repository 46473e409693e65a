// RGB pictures as Y'CbCr video frames, BT.601 with studio range (Y' 16 to 235, Cb and Cr 16 to 240), as
// players assume for Y4M and webcam programs for YUYV.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/image/image.h"

namespace tools::image {

// Planar 4:2:0: the Y' plane, then Cb and Cr at half width and height (rounded up), each chroma
// sample from its 2 x 2 block of pixels. Width * height + 2 * ceil(w/2) * ceil(h/2) bytes.
void ToI420(const Image& picture, std::vector<uint8_t>& frame);
// Packed 4:2:2: Y'0 Cb Y'1 Cr for each pair of pixels, chroma from the pair; an odd last column is left
// out.
void ToYuyv(const Image& picture, std::vector<uint8_t>& frame);

} // namespace tools::image
