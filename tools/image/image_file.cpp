#include "tools/image/image_file.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "tools/image/file_io.h"
#include "tools/image/png_codec.h"

namespace tools::image {

ImageFormat FormatOfPath(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ImageFormat::Unknown;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "png") return ImageFormat::Png;
    if (ext == "jpg" || ext == "jpeg") return ImageFormat::Jpeg;
    return ImageFormat::Unknown;
}

Status ReadImage(const std::string& path, Image& image) {
    std::vector<uint8_t> bytes;
    if (Status s = ReadFileBytes(path, bytes); !s) return s;
    if (bytes.empty()) return Status::Error("'" + path + "' is empty");
    if (LooksLikePng(bytes.data(), bytes.size())) return DecodePng(bytes.data(), bytes.size(), image, path);
    if (LooksLikeJpeg(bytes.data(), bytes.size())) return DecodeJpeg(bytes.data(), bytes.size(), image, path);
    return Status::Error("'" + path + "' is not a PNG or JPEG file");
}

Status WritePng(const std::string& path, const Image& image) {
    std::vector<uint8_t> bytes;
    if (Status s = EncodePng(image, bytes, path); !s) return s;
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}

Status WriteJpeg(const std::string& path, const Image& image, int quality) {
    std::vector<uint8_t> bytes;
    if (Status s = EncodeJpeg(image, quality, bytes, path); !s) return s;
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}

Status WriteImage(const std::string& path, const Image& image, int jpegQuality) {
    switch (FormatOfPath(path)) {
    case ImageFormat::Png:
        return WritePng(path, image);
    case ImageFormat::Jpeg:
        return WriteJpeg(path, image, jpegQuality);
    case ImageFormat::Unknown:
        break;
    }
    return Status::Error("cannot write '" + path + "': the name must end in .png, .jpg or .jpeg");
}

} // namespace tools::image
