// Clip cameras: their registry entries, and playback paced by stream time.
#include <atomic>
#include <filesystem>
#include <future>

#include <gtest/gtest.h>

#include <vfwmsgs.h>

#include "platform/dshow/camera/clip_camera.h"
#include "tests/platform/dshow/camera/jpeg_frames.h"
#include "tests/platform/win32/temp_registry.h"

namespace testcamera {
namespace {

using namespace platform::camera;

struct ManualClock : StreamClock {
    std::atomic<REFERENCE_TIME> now{0};
    REFERENCE_TIME Now() override { return now; }
};

TEST(ClipFormat, ParsesWidthHeightAndRate) {
    ClipFormat f;
    ASSERT_TRUE(ParseClipFormat("1440x1440@15", f));
    EXPECT_EQ(f, (ClipFormat{1440, 1440, 15}));
    ASSERT_TRUE(ParseClipFormat("1280x720@29.97", f));
    EXPECT_DOUBLE_EQ(f.fps, 29.97);
    EXPECT_EQ(ClipFormatText(f), "1280x720@29.97");
    EXPECT_EQ(ClipFormatText({640, 480, 30}), "640x480@30");
    for (const char* bad : {"", "1440x1440", "1440@30", "x720@30", "0x720@30", "16385x720@30", "1280x720@0",
                            "1280x720@-5", "1280x720@30fps", "1280 x720@30", "1280x720@1001"})
        EXPECT_FALSE(ParseClipFormat(bad, f)) << bad;
}

TEST(ClipCameraRegistry, WritesReadsAndRemovesByExactName) {
    platform::testing::TempRegistry registry;
    ClipCameraDefinition camera{L"TELMAR ZK900 4K",
                                {{1440, 1440, 15}, {1440, 1440, 30}, {1280, 720, 30}},
                                {{"1440x1440", "/clips/big.mjpg"}, {"1280x720", "/clips/wide.mjpg"}}};
    ASSERT_EQ(WriteClipCamera(camera), S_OK);
    ASSERT_EQ(WriteClipCamera({L"Other", {{64, 64, 5}}, {}}), S_OK);
    EXPECT_NE(
        registry.read("HKEY_CURRENT_USER").find("\"Formats\"=\"1440x1440@15 1440x1440@30 1280x720@30\""),
        std::string::npos);

    auto all = ReadClipCameras();
    ASSERT_EQ(all.size(), 2u);
    ClipCameraDefinition read;
    ASSERT_EQ(ReadClipCamera(L"TELMAR ZK900 4K", read), S_OK);
    EXPECT_EQ(read.formats, camera.formats);
    EXPECT_EQ(read.ClipFor(1280, 720), "/clips/wide.mjpg");
    EXPECT_EQ(read.ClipFor(1440, 1440), "/clips/big.mjpg");
    EXPECT_EQ(read.ClipFor(640, 480), "");
    EXPECT_EQ(ReadClipCamera(L"telmar zk900 4k", read), S_FALSE);
    EXPECT_EQ(ReadClipCamera(L"TELMAR ZK900 4K UVC", read), S_FALSE);
    EXPECT_EQ(ExactCameraName(L"telmar zk900 4k"), L"TELMAR ZK900 4K");

    EXPECT_EQ(WriteClipCamera({L"bad\\name", {{64, 64, 5}}, {}}), E_INVALIDARG);
    EXPECT_EQ(RemoveClipCamera(L"telmar zk900 4k"), S_FALSE);
    EXPECT_EQ(RemoveClipCamera(L"TELMAR ZK900 4K"), S_OK);
    EXPECT_EQ(RemoveClipCamera(L"TELMAR ZK900 4K"), S_FALSE);
    EXPECT_EQ(ReadClipCameras().size(), 1u);
}

class ClipCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "unfold-clipcam-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        for (int i = 0; i < 8; ++i) frames.push_back(MakeJpeg(32, 16, i));
        WriteMjpgClip(folder + "/clip.mjpg", 32, 16, 30, frames);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // The index of the clip frame the camera delivers at stream time `now`, and its time stamp. A wait
    // ends at a wake after generation `seen`.
    int frameAt(ClipCamera& camera, REFERENCE_TIME now, REFERENCE_TIME& stamp, uint64_t seen) {
        clock.now = now;
        std::vector<uint8_t> got(4096);
        size_t length = 0;
        if (camera.NextFrame(clock, wake, seen, got.data(), got.size(), length, stamp) != FrameStatus::Frame)
            return -1;
        got.resize(length);
        for (size_t i = 0; i < frames.size(); ++i)
            if (frames[i] == got) return static_cast<int>(i);
        return -2;
    }
    int frameAt(ClipCamera& camera, REFERENCE_TIME now, REFERENCE_TIME& stamp) {
        return frameAt(camera, now, stamp, wake.generation());
    }

    std::string folder;
    std::vector<std::vector<uint8_t>> frames;
    ManualClock clock;
    WakeSignal wake;
};

TEST_F(ClipCameraTest, PlaysAtTheFormatRateFollowingTheClipsOwnRate) {
    ClipCamera camera({L"cam", {{32, 16, 30}, {32, 16, 15}}, {{"32x16", folder + "/clip.mjpg"}}});
    ASSERT_EQ(camera.Formats().size(), 2u);
    EXPECT_EQ(camera.Formats()[0].interval, 333333);
    EXPECT_EQ(camera.Formats()[1].interval, 666667);
    EXPECT_EQ(camera.Formats()[0].maxFrameBytes,
              std::max_element(frames.begin(), frames.end(), [](auto& a, auto& b) {
                  return a.size() < b.size();
              })->size());
    REFERENCE_TIME stamp = -1;

    // 30 frames per second: one clip frame after the other, stamped on the frame grid, looping.
    ASSERT_EQ(camera.Start(camera.Formats()[0]), S_OK);
    EXPECT_EQ(frameAt(camera, 0, stamp), 0);
    EXPECT_EQ(stamp, 0);
    EXPECT_EQ(frameAt(camera, 333400, stamp), 1);
    EXPECT_EQ(stamp, 333333);
    // A worker that fell behind skips to the frame due now.
    EXPECT_EQ(frameAt(camera, 9 * 333333 + 10, stamp), 1); // frame 9 of a loop of 8
    EXPECT_EQ(stamp, 9 * 333333);
    camera.Stop();

    // 15 frames per second over a 30 fps recording: every other frame, so the motion keeps its speed.
    ASSERT_EQ(camera.Start(camera.Formats()[1]), S_OK);
    EXPECT_EQ(frameAt(camera, 0, stamp), 0);
    EXPECT_EQ(frameAt(camera, 666667, stamp), 2);
    EXPECT_EQ(frameAt(camera, 2 * 666667, stamp), 4);
    CameraFormat other = camera.Formats()[1];
    other.width = 64;
    EXPECT_EQ(camera.Start(other), VFW_E_INVALIDMEDIATYPE);
}

TEST_F(ClipCameraTest, WaitsForTheNextFrameUntilWoken) {
    ClipCamera camera({L"cam", {{32, 16, 30}}, {{"32x16", folder + "/clip.mjpg"}}});
    ASSERT_EQ(camera.Start(camera.Formats()[0]), S_OK);
    REFERENCE_TIME stamp;
    ASSERT_EQ(frameAt(camera, 0, stamp), 0);
    // The next frame is due at 333333; the clock stands still, so only the wake ends the wait (the
    // generation is taken here, so a wake sent before the waiting thread runs still ends it).
    const uint64_t seen = wake.generation();
    auto waiting = std::async(std::launch::async, [&] { return frameAt(camera, 10, stamp, seen); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(60)), std::future_status::timeout);
    wake.Wake();
    EXPECT_EQ(waiting.get(), -1);
}

// A clip that is missing, damaged or of the wrong size leaves its formats listed and silent.
TEST_F(ClipCameraTest, AnUnreadableClipGivesNoFrames) {
    WriteFile(folder + "/broken.mjpg", {'M', 'J', 'P', 'G', 'C', 'L', 'I', 'P', 1});
    ClipCamera camera({L"cam",
                       {{32, 16, 30}, {64, 64, 30}, {20, 20, 30}, {8, 8, 30}},
                       {{"32x16", folder + "/missing.mjpg"},
                        {"64x64", folder + "/broken.mjpg"},
                        {"20x20", folder + "/clip.mjpg"}}});
    ASSERT_EQ(camera.Formats().size(), 4u);
    for (const CameraFormat& f : camera.Formats()) {
        ASSERT_EQ(camera.Start(f), S_OK);
        const uint64_t seen = wake.generation();
        auto waiting = std::async(std::launch::async, [&] {
            REFERENCE_TIME stamp;
            return frameAt(camera, 5 * 333333, stamp, seen);
        });
        EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
        wake.Wake();
        EXPECT_EQ(waiting.get(), -1);
        camera.Stop();
    }
}

} // namespace
} // namespace testcamera
