#include <csignal>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/debug.h"

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
    // A command's own help runs nothing: "set --help" says what set does and changes no setting.
    r = Unfold({"set", "--help"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out.rfind("usage: unfold set [--mode", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("streaming in another program keeps its own"), std::string::npos) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;
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

// A PNG that declares width x height and holds one meaningless IDAT chunk: enough for a reader to
// learn the size from, not enough to decode.
std::string PngHeaderOnly(uint32_t width, uint32_t height) {
    auto crc = [](const std::string& bytes) {
        uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(uint32_t(data.size())) + type + data + be32(crc(type + data));
    };
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR", be32(width) + be32(height) + std::string("\x08\x06\0\0\0", 5)) + chunk("IDAT", "x") +
           chunk("IEND", "");
}

TEST(UnfoldImage, RefusesWhatItCannotTakeBeforeReadingIt) {
    testing::TempDir dir;
    const std::string out = dir.file("out.png");
    // A picture larger than the engine takes is refused from its header, before it is decoded and
    // without the engine trying it.
    std::ofstream(dir.file("huge.png"), std::ios::binary) << PngHeaderOnly(8192, 8192);
    platform::DebugOutputCapture engineLines;
    Outcome r = Unfold({"image", dir.file("huge.png"), out});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_NE(r.err.find("(8192 x 8192) is larger than the engine takes"), std::string::npos) << r.err;
    std::ofstream(dir.file("wide.png"), std::ios::binary) << PngHeaderOnly(3000, 3000);
    r = Unfold({"sheet", dir.file("wide.png"), out});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("(3000 x 3000) is larger than the engine takes"), std::string::npos) << r.err;
    EXPECT_EQ(engineLines.text(), L"");

    // A file far larger than any picture is refused by its size, without being read.
    { std::ofstream big(dir.file("big.png")); }
    ASSERT_EQ(truncate(dir.file("big.png").c_str(), off_t(1) << 30), 0);
    r = Unfold({"image", dir.file("big.png"), out});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("bytes is more than"), std::string::npos) << r.err;

    std::ofstream(dir.file("text.png")) << "not a picture";
    r = Unfold({"image", dir.file("text.png"), out});
    EXPECT_NE(r.err.find("is not a PNG or JPEG file"), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(out).good());
}

// A FIFO would block the reader forever: it is refused as not a regular file. In a child process that
// a watchdog ends, so that a reader that blocks fails the test instead of hanging it.
TEST(UnfoldImage, RefusesAFifoWithoutWaitingForIt) {
    testing::TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe.png").c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            alarm(10);
            Outcome r = Unfold({"image", dir.file("pipe.png"), dir.file("out.png")});
            std::_Exit(r.code == kExitFailure && r.err.find("not a regular file") != std::string::npos ? 0
                                                                                                       : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(UnfoldImage, BadModesAndSizesAreExplained) {
    testing::TempDir dir;
    ASSERT_EQ(Unfold({"scene", dir.file("in.png"), "--size", "64"}).code, kExitOk);
    // Mode 14 is a number the engine knows but draws nothing for: the message lists the modes.
    Outcome r = Unfold({"image", dir.file("in.png"), dir.file("out.png"), "--mode", "14"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("mode 14 has no expander"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("0 NONE, 1 NONE_ADJ"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("13 YTPREV2, 15 16:9"), std::string::npos) << r.err;
    const std::vector<std::vector<std::string>> bad = {
        {"--mode", ""},
        {"--mode", "SIDEWAYS"},
        {"--size", ""},
        {"--size", "4294967312x16"},
        {"--size", "16x4294967312"},
        {"--size", "+16x16"},
        {"--size", "16x16x16"},
        {"--size", "15x16"},
    };
    for (const auto& options : bad) {
        std::vector<std::string> args = {"image", dir.file("in.png"), dir.file("out.png")};
        args.insert(args.end(), options.begin(), options.end());
        r = Unfold(args);
        EXPECT_EQ(r.code, kExitUsage) << options[0] << " '" << options[1] << "'";
        EXPECT_TRUE(OneLine(r.err)) << r.err;
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.png"});
}

} // namespace
} // namespace tools::unfold
