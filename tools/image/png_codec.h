// PNG encoding and decoding in memory (libpng's simplified interface).
//
// Any PNG (grey, palette, 16-bit, with or without alpha) decodes to 8-bit RGBA. Encoding writes 8-bit
// RGB when the picture is opaque and RGBA otherwise. The `what` argument names the data in error
// messages (usually the file name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"
#include "tools/image/image_limits.h"
#include "tools/image/status.h"

namespace tools::image {

bool LooksLikePng(const uint8_t* data, size_t size);
// check, when given, may refuse the declared size before anything is decoded.
Status DecodePng(const uint8_t* data, size_t size, Image& image, const std::string& what,
                 const SizeCheck& check = {});
Status EncodePng(const Image& image, std::vector<uint8_t>& bytes, const std::string& what);

} // namespace tools::image
