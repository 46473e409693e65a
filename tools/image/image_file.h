// Picture files: PNG and JPEG read by content, written by name.
//
// Reading takes only a regular file of at most kMaxPictureFileBytes, recognises the format from its
// first bytes (whatever its name) before reading the rest, and lets the caller refuse the size the
// picture declares before its pixels are decoded. Writing picks the
// format from the extension (.png; .jpg or .jpeg, any case) and goes through WriteFileAtomically, so
// a failed write leaves no partial file and an existing file of that name unchanged. Every failure
// is one line naming the file: missing, not a PNG or JPEG, truncated or corrupt, cannot be written.
#pragma once

#include <string>

#include "tools/image/image.h"
#include "tools/image/image_limits.h"
#include "tools/image/jpeg_codec.h"
#include "tools/image/status.h"

namespace tools::image {

enum class ImageFormat { Unknown, Png, Jpeg };

// By extension, case-insensitive.
ImageFormat FormatOfPath(const std::string& path);

// A PNG or JPEG file of a picture within ImageSizeAllowed stays well below this.
constexpr uint64_t kMaxPictureFileBytes = uint64_t(256) << 20;

Status ReadImage(const std::string& path, Image& image, const SizeCheck& check = {});
Status WritePng(const std::string& path, const Image& image);
Status WriteJpeg(const std::string& path, const Image& image, int quality = kDefaultJpegQuality);
// PNG or JPEG by the extension of `path`; any other extension fails.
Status WriteImage(const std::string& path, const Image& image, int jpegQuality = kDefaultJpegQuality);

} // namespace tools::image
