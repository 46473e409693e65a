// JPEG encoding and decoding in memory (libjpeg-turbo).
//
// Grey and colour JPEGs decode to RGBA with alpha 255; CMYK JPEGs are refused. Data that libjpeg
// can only decode by guessing (a truncated file, a damaged entropy-coded segment) counts as corrupt
// and fails, rather than yielding a grey-padded picture. Encoding ignores alpha; quality is 1 to
// 100 (libjpeg's scale) with 4:2:0 chroma subsampling. The `what` argument names the data in error
// messages (a file name, or "frame 12 of clip.mjpg").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"
#include "tools/image/image_limits.h"
#include "tools/image/status.h"

namespace tools::image {

constexpr int kDefaultJpegQuality = 90;

bool LooksLikeJpeg(const uint8_t* data, size_t size);
// check, when given, may refuse the declared size before anything is decoded.
Status DecodeJpeg(const uint8_t* data, size_t size, Image& image, const std::string& what,
                  const SizeCheck& check = {});
// Reads only the header: the picture's size in pixels.
Status ReadJpegSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height,
                    const std::string& what);
Status EncodeJpeg(const Image& image, int quality, std::vector<uint8_t>& bytes, const std::string& what);

} // namespace tools::image
