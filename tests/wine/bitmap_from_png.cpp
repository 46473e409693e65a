// bitmap_from_png IN.png OUT.bmp 24|32
//
// Writes a picture as the bottom-up device-independent bitmap DirectShow carries (bytes blue, green,
// red, and a zero fourth byte at 32 bits), in a .bmp file: the Wine tests read the fisheye picture
// their source delivers, and the frames the Linux build's `unfold image` drew, in this form.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/image/dib.h"
#include "tools/image/image_file.h"

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> Bitmap(const tools::image::Image& picture, uint32_t bits) {
    const uint32_t w = picture.width(), h = picture.height();
    const size_t stride = tools::image::DibStride(w, bits);
    const uint32_t headers = 14 + 40;
    std::vector<uint8_t> out;
    out.reserve(headers + stride * h);
    // BITMAPFILEHEADER
    put16(out, 0x4D42);
    put32(out, uint32_t(headers + stride * h));
    put32(out, 0);
    put32(out, headers);
    // BITMAPINFOHEADER, positive height: rows bottom-up
    put32(out, 40);
    put32(out, w);
    put32(out, h);
    put16(out, 1);
    put16(out, uint16_t(bits));
    put32(out, 0); // BI_RGB
    put32(out, uint32_t(stride * h));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (uint32_t r = 0; r < h; ++r) {
        const uint8_t* src = picture.row(h - 1 - r);
        const size_t start = out.size();
        for (uint32_t x = 0; x < w; ++x, src += 4) {
            out.push_back(src[2]);
            out.push_back(src[1]);
            out.push_back(src[0]);
            if (bits == 32) out.push_back(0);
        }
        out.resize(start + stride, 0);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const std::string bits = argc == 4 ? argv[3] : "";
    if (bits != "24" && bits != "32") {
        std::fprintf(stderr, "usage: bitmap_from_png IN.png OUT.bmp 24|32\n");
        return 2;
    }
    tools::image::Image picture;
    if (auto s = tools::image::ReadImage(argv[1], picture); !s) {
        std::fprintf(stderr, "bitmap_from_png: %s: %s\n", argv[1], s.message().c_str());
        return 1;
    }
    const std::vector<uint8_t> bmp = Bitmap(picture, bits == "24" ? 24u : 32u);
    std::FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(bmp.data(), 1, bmp.size(), f) != bmp.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "bitmap_from_png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
