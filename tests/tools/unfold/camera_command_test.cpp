// unfold camera add | list | remove, against a temporary registry.
#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/dshow/camera/clip_camera_registry.h"
#include "tests/build_paths.h"
#include "tests/platform/win32/temp_registry.h"
#include "tests/tools/image/temp_dir.h"
#include "tools/image/mjpg_clip.h"
#include "tools/unfold/command.h"

namespace tools::unfold {
namespace {

struct Outcome {
    int code;
    std::string out, err;
};

Outcome Camera(std::vector<std::string> args) {
    args.insert(args.begin(), {"unfold", "camera"});
    std::ostringstream out, err;
    CommandContext context{out, err};
    int code = RunUnfold(args, context);
    return {code, out.str(), err.str()};
}

// A 4-frame clip of size x size at 30 frames per second: white disc on grey, frame k a shade darker.
std::string WriteSquareClip(const std::string& path, uint32_t size) {
    image::MjpgClipWriter writer;
    EXPECT_TRUE(writer.Open(path, size, size, {30, 1}).ok());
    for (int k = 0; k < 4; ++k) {
        image::Image frame(size, size, {90, 90, 90, 255});
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x) {
                double dx = x + 0.5 - size / 2.0, dy = y + 0.5 - size / 2.0;
                if (dx * dx + dy * dy < size * size / 9.0)
                    frame.setPixel(x, y, {uint8_t(250 - 10 * k), 250, 250, 255});
            }
        EXPECT_TRUE(writer.AddFrame(frame, 95).ok());
    }
    EXPECT_TRUE(writer.Close().ok());
    return path;
}

class CameraCommandTest : public ::testing::Test {
protected:
    platform::testing::TempRegistry registry;
    testing::TempDir dir;
};

// A format of another size than the clip gets a clip made for it: the picture scaled to fit and
// centred on black, every frame, at the clip's rate.
TEST_F(CameraCommandTest, AddMakesAClipForEachSizeWithoutOne) {
    std::string clip = WriteSquareClip(dir.file("square.mjpg"), 96);
    Outcome r = Camera({"add", "Desk Cam", "--clip", clip, "--format", "96x96@15", "--format", "96x96@30",
                        "--format", "64x36@30", "--clips-dir", dir.file("made")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("added camera 'Desk Cam': 96x96@15 96x96@30 64x36@30"), std::string::npos) << r.out;

    platform::camera::ClipCameraDefinition definition;
    ASSERT_EQ(platform::camera::ReadClipCamera(L"Desk Cam", definition), S_OK);
    EXPECT_EQ(definition.formats.size(), 3u);
    EXPECT_EQ(definition.ClipFor(96, 96), clip);
    ASSERT_EQ(definition.ClipFor(64, 36), dir.file("made/64x36.mjpg"));

    image::MjpgClipReader made;
    ASSERT_TRUE(made.Open(dir.file("made/64x36.mjpg")).ok());
    EXPECT_EQ(made.width(), 64u);
    EXPECT_EQ(made.height(), 36u);
    EXPECT_EQ(made.frameCount(), 4u);
    EXPECT_EQ(made.frameRate(), (image::FrameRate{30, 1}));
    image::Image frame;
    ASSERT_TRUE(made.DecodeFrame(0, frame).ok());
    // The square picture fills the height, 36 x 36 in the middle; the sides are black.
    EXPECT_LT(frame.pixel(2, 18).g, 20);
    EXPECT_LT(frame.pixel(61, 18).g, 20);
    EXPECT_GT(frame.pixel(32, 18).g, 220);     // the disc
    EXPECT_NEAR(frame.pixel(16, 2).g, 90, 20); // the grey around it, at the square's left edge
}

TEST_F(CameraCommandTest, ListShowsFormatsAndClipsAndRemoveTakesTheExactName) {
    std::string clip = WriteSquareClip(dir.file("square.mjpg"), 32);
    ASSERT_EQ(Camera({"add", "Desk Cam", "--clip", clip, "--format", "32x32@30"}).code, kExitOk);
    ASSERT_EQ(Camera({"add", "Broken", "--clip", clip, "--format", "32x32@5"}).code, kExitOk);
    std::filesystem::rename(clip, dir.file("moved.mjpg")); // both cameras lose their clip...
    WriteSquareClip(clip, 32);                             // ...and Desk Cam gets it back
    ASSERT_EQ(Camera({"add", "Broken", "--clip", dir.file("moved.mjpg"), "--format", "32x32@5"}).code,
              kExitOk);
    std::filesystem::remove(dir.file("moved.mjpg"));

    Outcome r = Camera({"list"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Desk Cam  (clip:Desk Cam)\n    MJPG 32 x 32, 30 fps\n    clip 32x32: " + clip +
                         " (4 frames)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Broken  (clip:Broken)\n    MJPG 32 x 32, 5 fps\n    clip 32x32: " +
                         dir.file("moved.mjpg") + " (unreadable: "),
              std::string::npos)
        << r.out;

    r = Camera({"remove", "desk cam"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("no camera named 'desk cam'"), std::string::npos);
    EXPECT_EQ(Camera({"remove", "Desk Cam"}).code, kExitOk);
    EXPECT_EQ(Camera({"remove", "Desk Cam"}).code, kExitFailure);
    r = Camera({"list"});
    EXPECT_EQ(r.out.find("Desk Cam"), std::string::npos);
}

TEST_F(CameraCommandTest, RefusesBadArgumentsWithoutWritingAnything) {
    std::string clip = WriteSquareClip(dir.file("square.mjpg"), 32);
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {{"add", "Cam", "--clip", clip}, kExitUsage, "--format"},
        {{"add", "Cam", "--format", "32x32@30"}, kExitUsage, "--clip"},
        {{"add", "Cam", "--clip", clip, "--format", "32x32"}, kExitUsage, "'32x32' is not a format"},
        {{"add", "Cam", "--clip", clip, "--format", "32x32@0"}, kExitUsage, "is not a format"},
        {{"add", "Ca\\m", "--clip", clip, "--format", "32x32@30"}, kExitUsage, "no camera name"},
        {{"add", "--clip", clip, "--format", "32x32@30"}, kExitUsage, "no camera name given"},
        {{"add", "Cam", "--clip", dir.file("none.mjpg"), "--format", "32x32@30"}, kExitFailure, "none.mjpg"},
        {{"add", "Cam", "--clip", clip, "--clip", clip, "--format", "32x32@30"}, kExitUsage, "two clips"},
        {{"add", "Cam", "--clip"}, kExitUsage, "--clip needs a value"},
        {{"list", "extra"}, kExitUsage, "unexpected"},
        {{"remove"}, kExitUsage, "no camera name"},
        {{}, kExitUsage, "no action"},
        {{"rename"}, kExitUsage, "unknown action 'rename'"},
    };
    for (const Case& c : cases) {
        Outcome r = Camera(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(platform::camera::ReadClipCameras().empty());

    // Registry keys ignore case: a second camera that differs only in case is refused.
    ASSERT_EQ(Camera({"add", "Cam", "--clip", clip, "--format", "32x32@30"}).code, kExitOk);
    Outcome r = Camera({"add", "CAM", "--clip", clip, "--format", "32x32@30"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("'Cam' exists"), std::string::npos) << r.err;
}

// The sample camera's clips as the build made them (plain builds make them; others may not have).
TEST(SampleCamera, ClipsLoopFourSecondsOfVisibleMotionAtBothSizes) {
    image::MjpgClipReader big, wide;
    if (!big.Open(std::string(kSampleDir) + "/zk900-1440x1440.mjpg").ok())
        GTEST_SKIP() << "the sample clips are not built";
    ASSERT_TRUE(wide.Open(std::string(kSampleDir) + "/1280x720.mjpg").ok());
    EXPECT_EQ(big.width(), 1440u);
    EXPECT_EQ(big.height(), 1440u);
    EXPECT_EQ(big.frameRate(), (image::FrameRate{30, 1}));
    EXPECT_GE(big.frameCount(), 120u);
    EXPECT_EQ(wide.width(), 1280u);
    EXPECT_EQ(wide.height(), 720u);
    EXPECT_EQ(wide.frameCount(), big.frameCount());

    // Mean difference of the green channel between two frames.
    auto change = [](image::MjpgClipReader& clip, size_t a, size_t b) {
        image::Image first, second;
        EXPECT_TRUE(clip.DecodeFrame(a, first).ok());
        EXPECT_TRUE(clip.DecodeFrame(b, second).ok());
        double sum = 0;
        for (size_t i = 1; i < first.byteSize(); i += 4)
            sum += std::abs(int(first.data()[i]) - int(second.data()[i]));
        return sum / double(first.width() * first.height());
    };
    const size_t last = big.frameCount() - 1;
    EXPECT_GT(change(big, 0, 15), 3.0);                  // a visible turn in half a second
    EXPECT_LT(change(big, last, 0), change(big, 0, 15)); // the loop closes without a jump
    EXPECT_GT(change(wide, 0, 15), 1.0);

    // The wide clip shows the fisheye picture in the middle, black at the sides.
    image::Image frame;
    ASSERT_TRUE(wide.DecodeFrame(0, frame).ok());
    for (uint32_t y : {100u, 360u, 620u}) {
        EXPECT_LT(frame.pixel(40, y).g, 16);
        EXPECT_LT(frame.pixel(1240, y).g, 16);
    }
}

} // namespace
} // namespace tools::unfold
