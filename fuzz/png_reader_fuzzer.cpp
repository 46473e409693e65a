// The PNG reader of the tools.
#include <cstdint>

#include "tools/image/png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tools::image::Image image;
    (void)tools::image::DecodePng(data, size, image, "fuzz.png");
    return 0;
}
