#include "tools/image/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "tools/image/image_limits.h"

namespace tools::image {
namespace {

// libjpeg reports errors by calling error_exit, which must not return; it jumps back to the setjmp
// of the step that was running. Each step below is a function of its own whose only state lives in
// the JpegState passed by pointer, so the jump skips no C++ destructors and reads no locals changed
// after setjmp.
struct ErrorManager {
    jpeg_error_mgr base; // first, so libjpeg's pointer converts back
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->base.format_message(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (level -1) mean libjpeg is patching up damaged data; those are failures here, except
// the few that concern only metadata.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC) return;
    ErrorExit(cinfo);
}

void InstallErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.base);
    err.base.error_exit = ErrorExit;
    err.base.emit_message = EmitMessage;
    err.message[0] = 0;
}

struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    bool created = false;
    DecodeState() {
        std::memset(&cinfo, 0, sizeof cinfo);
        InstallErrorManager(err);
        cinfo.err = &err.base;
    }
    ~DecodeState() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

bool ReadHeader(DecodeState* s, const uint8_t* data, size_t size) {
    if (setjmp(s->err.jump)) return false;
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    jpeg_mem_src(&s->cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s->cinfo, TRUE);
    return true;
}

// Checks the first scan's tables (and, for a file of several scans, reads them all) before the caller
// allocates the picture, so that damaged data fails before megabytes are cleared for it.
bool StartPixels(DecodeState* s) {
    if (setjmp(s->err.jump)) return false;
    s->cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&s->cinfo);
    return true;
}

bool ReadPixels(DecodeState* s, uint8_t* pixels, size_t stride) {
    if (setjmp(s->err.jump)) return false;
    while (s->cinfo.output_scanline < s->cinfo.output_height) {
        JSAMPROW row = pixels + size_t(s->cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&s->cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s->cinfo);
    return true;
}

// Destination manager that writes into a std::vector, growing it by doubling. An allocation failure
// becomes a libjpeg error, so no exception crosses libjpeg's frames.
struct VectorDestination {
    jpeg_destination_mgr base;
    std::vector<uint8_t>* bytes;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->base.next_output_byte = d->bytes->data();
    d->base.free_in_buffer = d->bytes->size();
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    size_t used = d->bytes->size();
    try {
        d->bytes->resize(used * 2);
    } catch (...) {
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    }
    d->base.next_output_byte = d->bytes->data() + used;
    d->base.free_in_buffer = d->bytes->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->bytes->resize(d->bytes->size() - d->base.free_in_buffer);
}

struct EncodeState {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    VectorDestination destination;
    bool created = false;
    EncodeState() {
        std::memset(&cinfo, 0, sizeof cinfo);
        InstallErrorManager(err);
        cinfo.err = &err.base;
    }
    ~EncodeState() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

bool Compress(EncodeState* s, const Image* image, int quality) {
    if (setjmp(s->err.jump)) return false;
    jpeg_create_compress(&s->cinfo);
    s->created = true;
    s->destination.base.init_destination = InitDestination;
    s->destination.base.empty_output_buffer = EmptyOutputBuffer;
    s->destination.base.term_destination = TermDestination;
    s->cinfo.dest = &s->destination.base;
    s->cinfo.image_width = image->width();
    s->cinfo.image_height = image->height();
    s->cinfo.input_components = 4;
    s->cinfo.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&s->cinfo);
    jpeg_set_quality(&s->cinfo, quality, TRUE);
    jpeg_start_compress(&s->cinfo, TRUE);
    while (s->cinfo.next_scanline < s->cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(image->row(s->cinfo.next_scanline));
        jpeg_write_scanlines(&s->cinfo, &row, 1);
    }
    jpeg_finish_compress(&s->cinfo);
    return true;
}

} // namespace

bool LooksLikeJpeg(const uint8_t* data, size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

Status DecodeJpeg(const uint8_t* data, size_t size, Image& image, const std::string& what,
                  const SizeCheck& check) {
    if (!LooksLikeJpeg(data, size)) return Status::Error("'" + what + "' is not a JPEG file");
    DecodeState state;
    if (!ReadHeader(&state, data, size))
        return Status::Error("corrupt JPEG '" + what + "': " + state.err.message);
    const jpeg_decompress_struct& c = state.cinfo;
    if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK)
        return Status::Error("JPEG '" + what + "' is in CMYK, which is not supported");
    if (!ReadableImageSize(c.image_width, c.image_height))
        return Status::Error("JPEG '" + what + "' is too large (" + std::to_string(c.image_width) + " x " +
                             std::to_string(c.image_height) + ")");
    if (check)
        if (Status s = check(c.image_width, c.image_height); !s) return s;
    if (!StartPixels(&state)) return Status::Error("corrupt JPEG '" + what + "': " + state.err.message);
    Image decoded(c.output_width, c.output_height);
    if (!ReadPixels(&state, decoded.data(), decoded.stride()))
        return Status::Error("corrupt JPEG '" + what + "': " + state.err.message);
    image = std::move(decoded);
    return Status::Ok();
}

Status ReadJpegSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height,
                    const std::string& what) {
    width = height = 0;
    if (!LooksLikeJpeg(data, size)) return Status::Error("'" + what + "' is not a JPEG file");
    DecodeState state;
    if (!ReadHeader(&state, data, size))
        return Status::Error("corrupt JPEG '" + what + "': " + state.err.message);
    width = state.cinfo.image_width;
    height = state.cinfo.image_height;
    return Status::Ok();
}

Status EncodeJpeg(const Image& image, int quality, std::vector<uint8_t>& bytes, const std::string& what) {
    bytes.clear();
    if (image.empty()) return Status::Error("cannot write '" + what + "': the picture is empty");
    if (quality < 1 || quality > 100)
        return Status::Error("cannot write '" + what + "': JPEG quality " + std::to_string(quality) +
                             " is outside 1 to 100");
    if (image.width() > JPEG_MAX_DIMENSION || image.height() > JPEG_MAX_DIMENSION)
        return Status::Error("cannot write '" + what + "': too large for JPEG");
    EncodeState state;
    bytes.resize(std::max<size_t>(size_t(1) << 16, image.byteSize() / 8));
    state.destination.bytes = &bytes;
    if (!Compress(&state, &image, quality)) {
        bytes.clear();
        return Status::Error("cannot encode JPEG '" + what + "': " + state.err.message);
    }
    return Status::Ok();
}

} // namespace tools::image
