// The JPEG reader of the tools, and its header-only size query.
#include <cstdint>

#include "tools/image/jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tools::image::Image image;
    uint32_t width = 0, height = 0;
    (void)tools::image::ReadJpegSize(data, size, width, height, "fuzz.jpg");
    (void)tools::image::DecodeJpeg(data, size, image, "fuzz.jpg");
    return 0;
}
