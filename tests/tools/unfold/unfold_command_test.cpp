#include <sstream>

#include <gtest/gtest.h>

#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"
#include "tools/image/image_file.h"
#include "tools/image/jpeg_codec.h"
#include "tools/image/mjpg_clip.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/scene/room.h"
#include "tools/unfold/command.h"

namespace tools::unfold {
namespace {

struct Outcome {
    int code;
    std::string out, err;
};

Outcome Unfold(std::vector<std::string> args) {
    args.insert(args.begin(), "unfold");
    std::ostringstream out, err;
    CommandContext context{out, err};
    int code = RunUnfold(args, context);
    return {code, out.str(), err.str()};
}

// The picture as it comes back from a JPEG of the given quality.
image::Image Jpeg(const image::Image& picture, int quality) {
    std::vector<uint8_t> bytes;
    image::Image back;
    EXPECT_TRUE(image::EncodeJpeg(picture, quality, bytes, "reference").ok());
    EXPECT_TRUE(image::DecodeJpeg(bytes.data(), bytes.size(), back, "reference").ok());
    return back;
}

// One line, ending in a newline.
bool OneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

TEST(UnfoldCommand, DispatchesAndExplains) {
    Outcome r = Unfold({});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    r = Unfold({"help"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_NE(r.out.find("unfold scene OUT.png"), std::string::npos);
    EXPECT_NE(r.out.find("unfold clip OUT.mjpg"), std::string::npos);
    r = Unfold({"sceen", "x.png"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("unknown command 'sceen'"), std::string::npos);
}

TEST(UnfoldScene, WritesThePictureAskedFor) {
    testing::TempDir dir;
    Outcome r = Unfold({"scene", dir.file("up.png"), "--size", "96"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(OneLine(r.out));
    image::Image up;
    ASSERT_TRUE(image::ReadImage(dir.file("up.png"), up).ok());
    ASSERT_EQ(up.width(), 96u);
    EXPECT_EQ(up, scene::RenderFisheye(scene::FisheyeCamera(96)))
        << "the default lens looks up, north at the top";

    r = Unfold({"scene", dir.file("down.jpg"), "--size", "128", "--lens", "down", "--heading", "-45",
                "--quality", "95"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    image::Image down;
    ASSERT_TRUE(image::ReadImage(dir.file("down.jpg"), down).ok());
    ASSERT_EQ(down.width(), 128u);
    EXPECT_EQ(down, Jpeg(scene::RenderFisheye(scene::FisheyeCamera(128, scene::LensFacing::Down, -45)), 95));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"down.jpg", "up.png"}));
}

TEST(UnfoldScene, BadArgumentsGiveOneLineAndNoFile) {
    testing::TempDir dir;
    const std::string out = dir.file("x.png");
    const std::vector<std::vector<std::string>> bad = {
        {"scene"},
        {"scene", out, out},
        {"scene", dir.file("x.gif")},
        {"scene", out, "--size"},
        {"scene", out, "--size", "abc"},
        {"scene", out, "--size", "8"},
        {"scene", out, "--size", "99999"},
        {"scene", out, "--size", "64x"},
        {"scene", out, "--lens", "sideways"},
        {"scene", out, "--heading", "nan"},
        {"scene", out, "--quality", "0"},
        {"scene", out, "--zoom", "2"},
        {"scene", out, "-z"},
    };
    for (const auto& args : bad) {
        Outcome r = Unfold(args);
        EXPECT_EQ(r.code, kExitUsage) << args.back();
        EXPECT_TRUE(OneLine(r.err)) << r.err;
        EXPECT_EQ(r.err.rfind("unfold scene: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    Outcome r = Unfold({"scene", dir.file("missing/x.png"), "--size", "32"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_NE(r.err.find("missing/x.png"), std::string::npos);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(UnfoldClip, RecordsATurningCamera) {
    testing::TempDir dir;
    Outcome r = Unfold({"clip", dir.file("turn.mjpg"), "--frames", "3", "--size", "128", "--fps", "10",
                        "--turn", "90", "--quality", "95"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    image::MjpgClipReader reader;
    ASSERT_TRUE(reader.Open(dir.file("turn.mjpg")).ok());
    EXPECT_EQ(reader.width(), 128u);
    EXPECT_EQ(reader.height(), 128u);
    EXPECT_EQ(reader.frameRate(), (image::FrameRate{10, 1}));
    ASSERT_EQ(reader.frameCount(), 3u);
    for (int k = 0; k < 3; ++k) {
        image::Image frame;
        ASSERT_TRUE(reader.DecodeFrame(size_t(k), frame).ok());
        // 90 degrees a second at 10 frames a second: frame k faces azimuth 9k.
        EXPECT_EQ(frame,
                  Jpeg(scene::RenderFisheye(scene::FisheyeCamera(128, scene::LensFacing::Up, 9.0 * k)), 95))
            << k;
        if (k > 0) {
            EXPECT_NE(frame, Jpeg(scene::RenderFisheye(scene::FisheyeCamera(128)), 95)) << k;
        }
    }
}

TEST(UnfoldClip, BadArgumentsGiveOneLineAndNoFile) {
    testing::TempDir dir;
    const std::string out = dir.file("c.mjpg");
    const std::vector<std::vector<std::string>> bad = {
        {"clip", out},
        {"clip", "--frames", "2"},
        {"clip", out, "--frames", "0"},
        {"clip", out, "--frames", "-3"},
        {"clip", dir.file("c.png"), "--frames", "2"},
        {"clip", out, "--frames", "2", "--fps", "0"},
        {"clip", out, "--frames", "2", "--fps", "1e9"},
        {"clip", out, "--frames", "2", "--lens", "left"},
    };
    for (const auto& args : bad) {
        Outcome r = Unfold(args);
        EXPECT_EQ(r.code, kExitUsage) << args.back();
        EXPECT_TRUE(OneLine(r.err)) << r.err;
        EXPECT_EQ(r.err.rfind("unfold clip: ", 0), 0u) << r.err;
    }
    Outcome r = Unfold({"clip", dir.file("no/dir/c.mjpg"), "--frames", "2", "--size", "16"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_TRUE(dir.entries().empty());
}

} // namespace
} // namespace tools::unfold
