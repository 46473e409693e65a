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

Status ReadImage(const std::string& path, Image& image, const SizeCheck& check) {
    InputFile file;
    if (Status s = file.Open(path, kMaxPictureFileBytes); !s) return s;
    if (file.size() == 0) return Status::Error("'" + path + "' is empty");
    std::vector<uint8_t> bytes;
    if (Status s = file.Read(8, bytes); !s) return s;
    bool png = LooksLikePng(bytes.data(), bytes.size()), jpeg = LooksLikeJpeg(bytes.data(), bytes.size());
    if (!png && !jpeg) return Status::Error("'" + path + "' is not a PNG or JPEG file");
    if (Status s = file.Read(size_t(file.size()) - bytes.size(), bytes); !s) return s;
    if (png) return DecodePng(bytes.data(), bytes.size(), image, path, check);
    return DecodeJpeg(bytes.data(), bytes.size(), image, path, check);
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
