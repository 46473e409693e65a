// The MJPG clip reader: the file's index is read on Open, then each frame is read and decoded.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/image/mjpg_clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("mjpg-fuzz-" + std::to_string(getpid()) + ".mjpg"))
            .string();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    tools::image::MjpgClipReader reader;
    if (reader.Open(path)) {
        tools::image::Image frame;
        for (size_t i = 0; i < reader.frameCount() && i < 4; ++i) (void)reader.DecodeFrame(i, frame);
    }
    reader.Close();
    std::remove(path.c_str());
    return 0;
}
