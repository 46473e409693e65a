// unfold_mode_icons OUT_DIR: the pictures of the unfold modes, as 32 x 32 icon files.
//
// Renders the reference scene through the fisheye lens, unfolds it in every engine mode with the
// mode's default view (lens up), and writes each picture reduced to fit 32 x 32 as
// OUT_DIR/mode_NAME.ico (NAME the engine's mode name; FRONT_16_9 for mode 15). The property pages
// show these on their mode buttons. Run at build time.
#include <filesystem>
#include <iostream>

#include "tools/image/file_io.h"
#include "tools/image/icon_file.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/unfolder.h"

namespace {

constexpr uint32_t kIconSize = 32;

std::string iconName(int32_t mode) {
    return mode == 15 ? "FRONT_16_9" : COrbExpander::GetModeName(mode);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: unfold_mode_icons OUT_DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::cerr << "unfold_mode_icons: cannot create " << dir << ": " << ec.message() << "\n";
        return 1;
    }
    namespace image = tools::image;
    const tools::scene::FisheyeCamera camera(480, tools::scene::LensFacing::Up, 0);
    const image::Image fisheye = tools::scene::RenderFisheye(camera);
    std::string error;
    auto unfolder = tools::unfold::Unfolder::Create(error);
    if (!unfolder) {
        std::cerr << "unfold_mode_icons: " << error << "\n";
        return 1;
    }
    for (int32_t mode = 0; mode <= 15; ++mode) {
        if (mode == 14) continue; // selects no expander
        tools::unfold::UnfoldSettings settings;
        settings.mode = mode;
        settings.width = 384;
        settings.height = 216;
        image::Image picture;
        std::vector<uint8_t> ico;
        image::Status s = unfolder->unfold(fisheye, settings, picture);
        if (s) s = image::EncodeIco(image::FitInSquare(picture, kIconSize), ico);
        const std::filesystem::path path = dir / ("mode_" + iconName(mode) + ".ico");
        if (s) s = image::WriteFileAtomically(path.string(), ico.data(), ico.size());
        if (!s) {
            std::cerr << "unfold_mode_icons: " << path.string() << ": " << s.message() << "\n";
            return 1;
        }
    }
    return 0;
}
