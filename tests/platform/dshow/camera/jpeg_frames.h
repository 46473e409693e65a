// JPEG frames for the capture tests, made and decoded with libjpeg-turbo's own API: numbered test
// pictures, the reference decode as bottom-up BGRX, Huffman tables stripped as MJPG cameras send
// frames, and clips written to temporary files.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testcamera {

// A picture that differs from frame to frame and from place to place: red follows x, green y, blue
// the frame number.
inline std::vector<uint8_t> MakeJpeg(int width, int height, int frame, int quality = 85) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = uint8_t(frame * 37);
        }
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, quality, 0);
    std::vector<uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    return bytes;
}

// libjpeg-turbo's decode of a frame as the MJPEG decompressor must deliver it: BGRX, bottom-up rows.
inline std::vector<uint8_t> DecodeBottomUpBgrx(const std::vector<uint8_t>& jpeg, int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    tjhandle decoder = tjInitDecompress();
    tjDecompress2(decoder, jpeg.data(), jpeg.size(), pixels.data(), width, width * 4, height, TJPF_BGRX,
                  TJFLAG_BOTTOMUP);
    tjDestroy(decoder);
    return pixels;
}

// The frame without its segments of one kind (up to its scan).
inline std::vector<uint8_t> StripSegments(const std::vector<uint8_t>& jpeg, uint8_t kind) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        uint8_t marker = jpeg[i + 1];
        size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (marker == 0xDA) break; // the scan and everything after it stay
        if (marker != kind) out.insert(out.end(), jpeg.begin() + i, jpeg.begin() + i + 2 + length);
        i += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + i, jpeg.end());
    return out;
}

// The frame without its DHT segments, as many USB cameras send MJPG.
inline std::vector<uint8_t> StripHuffmanTables(const std::vector<uint8_t>& jpeg) {
    return StripSegments(jpeg, 0xC4);
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// An MJPG clip file (the layout of tools/image/mjpg_clip.h) of the given frames.
inline void WriteMjpgClip(const std::string& path, uint32_t width, uint32_t height, uint32_t fps,
                          const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<uint8_t> bytes = {'M', 'J', 'P', 'G', 'C', 'L', 'I', 'P'};
    for (uint32_t v : {1u, width, height, fps, 1u, uint32_t(frames.size())}) PutU32(bytes, v);
    for (const auto& f : frames) {
        PutU32(bytes, uint32_t(f.size()));
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    WriteFile(path, bytes);
}

} // namespace testcamera
