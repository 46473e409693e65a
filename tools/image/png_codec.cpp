#include "tools/image/png_codec.h"

#include <cstring>

#include <png.h>

#include "tools/image/image_limits.h"

namespace tools::image {
namespace {

// Frees libpng's state on every way out.
struct PngImage {
    png_image control;
    PngImage() {
        std::memset(&control, 0, sizeof control);
        control.version = PNG_IMAGE_VERSION;
    }
    ~PngImage() { png_image_free(&control); }
    std::string message() const { return control.message[0] ? control.message : "unknown libpng error"; }
};

} // namespace

bool LooksLikePng(const uint8_t* data, size_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

Status DecodePng(const uint8_t* data, size_t size, Image& image, const std::string& what,
                 const SizeCheck& check) {
    if (!LooksLikePng(data, size)) return Status::Error("'" + what + "' is not a PNG file");
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.control, data, size))
        return Status::Error("corrupt PNG '" + what + "': " + png.message());
    if (!ReadableImageSize(png.control.width, png.control.height))
        return Status::Error("PNG '" + what + "' is too large (" + std::to_string(png.control.width) + " x " +
                             std::to_string(png.control.height) + ")");
    if (check)
        if (Status s = check(png.control.width, png.control.height); !s) return s;
    png.control.format = PNG_FORMAT_RGBA;
    Image decoded(png.control.width, png.control.height);
    if (!png_image_finish_read(&png.control, nullptr, decoded.data(), png_int_32(decoded.stride()), nullptr))
        return Status::Error("corrupt PNG '" + what + "': " + png.message());
    image = std::move(decoded);
    return Status::Ok();
}

Status EncodePng(const Image& image, std::vector<uint8_t>& bytes, const std::string& what) {
    bytes.clear();
    if (image.empty()) return Status::Error("cannot write '" + what + "': the picture is empty");
    PngImage png;
    png.control.width = image.width();
    png.control.height = image.height();
    const bool opaque = image.opaque();
    png.control.format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgb;
    const void* pixels = image.data();
    png_int_32 stride = png_int_32(image.stride());
    if (opaque) {
        rgb.resize(size_t(image.width()) * image.height() * 3);
        const uint8_t* s = image.data();
        for (size_t i = 0, j = 0; j < rgb.size(); i += 4, j += 3)
            rgb[j] = s[i], rgb[j + 1] = s[i + 1], rgb[j + 2] = s[i + 2];
        pixels = rgb.data();
        stride = png_int_32(image.width() * 3);
    }
    // One pass into a buffer of the largest size the encoder can produce, trimmed afterwards.
    bytes.resize(PNG_IMAGE_PNG_SIZE_MAX(png.control));
    png_alloc_size_t size = bytes.size();
    if (!png_image_write_to_memory(&png.control, bytes.data(), &size, 0, pixels, stride, nullptr)) {
        bytes.clear();
        return Status::Error("cannot encode PNG '" + what + "': " + png.message());
    }
    bytes.resize(size);
    return Status::Ok();
}

} // namespace tools::image
