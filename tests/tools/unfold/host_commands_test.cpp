// The host's main job run in-process against a temporary registry: register, devices, capture, stream,
// get and set, with the sample camera playing through the virtual camera.
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/platform/win32/temp_registry.h"
#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"
#include "tools/image/image_file.h"
#include "tools/image/mjpg_clip.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/command.h"

namespace tools::unfold {
namespace {

struct Outcome {
    int code;
    std::string out, err;
};

Outcome Unfold(std::vector<std::string> args, int outFd = -1) {
    args.insert(args.begin(), "unfold");
    std::ostringstream out, err;
    CommandContext context{out, err};
    context.outFd = outFd;
    const int code = RunUnfold(args, context);
    return {code, out.str(), err.str()};
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A short recording of the room for the sample camera, made once for the whole program (the shipped
// clip takes minutes to record): four frames, turning, rendered without supersampling.
const std::string& SampleClip() {
    static testing::TempDir dir;
    static const std::string clip = [] {
        const std::string path = dir.file("sample.mjpg");
        image::MjpgClipWriter writer;
        EXPECT_TRUE(writer.Open(path, 1440, 1440, {30, 1}).ok());
        for (int k = 0; k < 4; ++k) {
            scene::FisheyeCamera camera(1440, scene::LensFacing::Up, 20.0 * k);
            EXPECT_TRUE(writer.AddFrame(scene::RenderFisheye(camera, {1, false, 0}), 85).ok());
        }
        EXPECT_TRUE(writer.Close().ok());
        return path;
    }();
    return clip;
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Outcome r = Unfold({"register", "--sample-clip", SampleClip()});
        ASSERT_EQ(r.code, kExitOk) << r.err;
    }
    platform::testing::TempRegistry registry_;
    testing::TempDir dir_;
};

TEST_F(HostTest, RegistersBothModulesAndTheSampleCameraAndListsTheDevices) {
    Outcome r = Unfold({"devices"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("TELMAR ZK900 4K UVC\n    RGB24 1280 x 720, 30 fps\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("TELMAR ZK900 4K\n    MJPG 1440 x 1440"), std::string::npos) << r.out;
    r = Unfold({"unregister"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Unfold({"devices"});
    EXPECT_EQ(r.out.find("TELMAR ZK900 4K UVC"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("TELMAR ZK900 4K\n"), std::string::npos) << r.out;
}

TEST_F(HostTest, CaptureWritesTheFramesAsAVideoAndPicturesAndNamesTheFolder) {
    const std::string folder = dir_.file("capture");
    const Outcome r = Unfold({"capture", "--frames", "12", "--out", folder, "--png-every", "5"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), "captured into " + folder + "\n");
    EXPECT_NE(r.err.find("unfold capture: 12 frames"), std::string::npos) << r.err;
    std::vector<uint8_t> avi = testing::FileBytes(folder + "/video.avi");
    ASSERT_GT(avi.size(), 224u);
    EXPECT_EQ(U32At(avi, 48), 12u); // frames in the AVI header
    EXPECT_EQ(U32At(avi, 64), 1280u);
    EXPECT_EQ(U32At(avi, 68), 720u);
    for (const char* name : {"/frame-000001.png", "/frame-000006.png", "/frame-000011.png"}) {
        image::Image frame;
        ASSERT_TRUE(image::ReadImage(folder + name, frame).ok()) << name;
        EXPECT_EQ(frame.width(), 1280u);
        // The sample camera's room, not grey: the picture has colour and light.
        std::set<uint32_t> colours;
        for (uint32_t y = 0; y < frame.height(); y += 16)
            for (uint32_t x = 0; x < frame.width(); x += 16) {
                const image::Rgba c = frame.pixel(x, y);
                colours.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
            }
        EXPECT_GT(colours.size(), 100u) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/frame-000002.png"));
}

TEST_F(HostTest, StreamWritesY4mFramesToAFileAndRefusesADeviceThatIsNoOutput) {
    const std::string file = dir_.file("live.y4m");
    Outcome r = Unfold({"stream", "--to", file, "--frames", "4"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::vector<uint8_t> bytes = testing::FileBytes(file);
    const std::string header = "YUV4MPEG2 W1280 H720 F30:1 Ip A1:1 C420jpeg\n";
    ASSERT_GE(bytes.size(), header.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + long(header.size())), header);
    EXPECT_EQ(bytes.size(), header.size() + 4 * (6 + 1280 * 720 * 3 / 2));
    r = Unfold({"stream", "--to", "/dev/video-none", "--frames", "1"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("cannot open /dev/video-none"), std::string::npos) << r.err;
}

// "unfold stream | head -c N": the reader takes the header and whole frames, then closes the pipe; the
// endless stream ends at once, without an error.
TEST_F(HostTest, StreamToStandardOutputEndsWhenTheReaderClosesThePipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string header = "YUV4MPEG2 W1280 H720 F30:1 Ip A1:1 C420jpeg\n";
    const size_t frame = 6 + 1280 * 720 * 3 / 2;
    std::vector<uint8_t> bytes(header.size() + 2 * frame);
    std::thread reader([&] {
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fds[0], bytes.data() + got, bytes.size() - got);
            if (n <= 0) break;
            got += size_t(n);
        }
        bytes.resize(got);
        close(fds[0]);
    });
    const auto start = std::chrono::steady_clock::now();
    const Outcome r = Unfold({"stream", "--seconds", "120"}, fds[1]);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    reader.join();
    close(fds[1]);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err.find("closed"), std::string::npos) << r.err;
    EXPECT_LT(seconds, 60.0);
    ASSERT_EQ(bytes.size(), header.size() + 2 * frame);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + long(header.size())), header);
    for (size_t at : {header.size(), header.size() + frame})
        EXPECT_EQ(std::string(bytes.begin() + long(at), bytes.begin() + long(at + 6)), "FRAME\n") << at;
}

TEST_F(HostTest, SetKeepsTheSettingsThatGetAndTheNextCameraSee) {
    Outcome r = Unfold({"set", "--mode", "PANORAMA", "--view", "30", "70", "--zoom", "15", "--lens", "down"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    r = Unfold({"get"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("mode: 1 PANORAMA\nview: 30 70\nzoom: 15\nlens: down\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("resolution: 1440x1440@15\nresolution: 1440x1440@30\nresolution: 1280x720@30\n"
                         "size in use: 1440x1440\n"),
              std::string::npos)
        << r.out;
    r = Unfold({"set", "--mode", "EQRECT"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("unknown mode 'EQRECT'"), std::string::npos) << r.err;
    r = Unfold({"set", "--resolution", "640x480@30"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("offers no 640x480@30"), std::string::npos) << r.err;
}

TEST(HostCommands, ADeviceThatIsNotThereIsNamedWithTheDevicesThereAre) {
    platform::testing::TempRegistry registry;
    const Outcome r = Unfold({"capture", "--device", "No Such Camera", "--frames", "1", "--out", "/tmp"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("no video capture device is named 'No Such Camera' (there are none"),
              std::string::npos)
        << r.err;
}

} // namespace
} // namespace tools::unfold
