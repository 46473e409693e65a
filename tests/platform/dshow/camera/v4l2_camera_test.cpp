// The V4L2 backend against a test double that behaves like a UVC camera.
#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include <vfwmsgs.h>
#include <winerror.h>

#include "platform/dshow/camera/v4l2_camera.h"
#include "tests/platform/dshow/camera/fake_uvc_camera.h"
#include "tests/platform/dshow/camera/jpeg_frames.h"

namespace testcamera {
namespace {

using platform::camera::CameraFormat;
using platform::camera::FrameStatus;
using platform::camera::V4l2Camera;
using platform::camera::WakeSignal;

struct ManualClock : platform::camera::StreamClock {
    std::atomic<REFERENCE_TIME> now{0};
    REFERENCE_TIME Now() override { return now; }
};

class V4l2CameraTest : public ::testing::Test {
protected:
    std::unique_ptr<V4l2Camera> open() {
        HRESULT hr = E_FAIL;
        auto camera = V4l2Camera::Open(fake, FakeUvcCamera::kNode, hr);
        EXPECT_EQ(hr, S_OK);
        return camera;
    }
    FrameStatus next(V4l2Camera& camera, std::vector<uint8_t>& frame, REFERENCE_TIME& at) {
        return next(camera, frame, at, wake.generation());
    }
    // `seen`: the wake generation the caller last saw; a wake after it ends the wait.
    FrameStatus next(V4l2Camera& camera, std::vector<uint8_t>& frame, REFERENCE_TIME& at, uint64_t seen) {
        frame.assign(1 << 20, 0);
        size_t length = 0;
        FrameStatus status = camera.NextFrame(clock, wake, seen, frame.data(), frame.size(), length, at);
        frame.resize(length);
        return status;
    }

    FakeUvcCamera fake;
    ManualClock clock;
    WakeSignal wake;
};

TEST_F(V4l2CameraTest, ListsStreamingCaptureNodesByCardName) {
    auto cameras = platform::camera::ListV4l2Cameras(fake);
    ASSERT_EQ(cameras.size(), 1u); // not the metadata node, not the node that does not open
    EXPECT_EQ(cameras[0].friendlyName, L"TELMAR ZK900 4K");
    EXPECT_EQ(cameras[0].devicePath, L"/dev/video4");

    HRESULT hr = S_OK;
    EXPECT_EQ(V4l2Camera::Open(fake, FakeUvcCamera::kMetadataNode, hr), nullptr);
    EXPECT_EQ(hr, VFW_E_NOT_FOUND);
    EXPECT_EQ(V4l2Camera::Open(fake, "/dev/video6", hr), nullptr);
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
}

// Every MJPG size and interval is a format: 29.97 frames per second rounds to 333667, a broken 0/0
// interval and a repeated one are left out, a stepwise range is one format over the range.
TEST_F(V4l2CameraTest, FormatsFollowSizesAndIntervals) {
    auto camera = open();
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->card(), "TELMAR ZK900 4K");
    const auto& f = camera->Formats();
    ASSERT_EQ(f.size(), 4u);
    struct Expected {
        uint32_t width, height;
        REFERENCE_TIME interval, minInterval, maxInterval;
    } expected[] = {{1440, 1440, 333333, 333333, 333333},
                    {1440, 1440, 666667, 666667, 666667},
                    {1280, 720, 333667, 333667, 333667},
                    {640, 480, 166667, 166667, 2000000}};
    for (size_t i = 0; i < f.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(f[i].width, expected[i].width);
        EXPECT_EQ(f[i].height, expected[i].height);
        EXPECT_EQ(f[i].interval, expected[i].interval);
        EXPECT_EQ(f[i].minInterval, expected[i].minInterval);
        EXPECT_EQ(f[i].maxInterval, expected[i].maxInterval);
        EXPECT_GT(f[i].maxFrameBytes, 0u);
    }
}

TEST_F(V4l2CameraTest, StreamsThroughMappedBuffers) {
    auto camera = open();
    ASSERT_EQ(camera->Start(camera->Formats()[1]), S_OK);
    EXPECT_EQ(fake.lastFormat.pixelformat, uint32_t(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(fake.lastFormat.width, 1440u);
    EXPECT_EQ(fake.lastInterval.numerator, 1u);
    EXPECT_EQ(fake.lastInterval.denominator, 15u);
    EXPECT_EQ(fake.mapped, 4);
    EXPECT_TRUE(fake.streaming());

    // A frame, one behind spurious EAGAINs, and one behind a damaged buffer the driver flagged.
    std::vector<uint8_t> first = MakeJpeg(32, 32, 1), second = MakeJpeg(32, 32, 2),
                         third = MakeJpeg(32, 32, 3);
    std::vector<uint8_t> got;
    REFERENCE_TIME at = -1;
    clock.now = 1234;
    fake.PushFrame(first);
    ASSERT_EQ(next(*camera, got, at), FrameStatus::Frame);
    EXPECT_EQ(got, first);
    EXPECT_EQ(at, 1234);
    fake.SpuriousWakeups(3);
    fake.PushFrame(second);
    ASSERT_EQ(next(*camera, got, at), FrameStatus::Frame);
    EXPECT_EQ(got, second);
    fake.PushFrame(MakeJpeg(32, 32, 9), /*damaged=*/true);
    fake.PushFrame(third);
    ASSERT_EQ(next(*camera, got, at), FrameStatus::Frame);
    EXPECT_EQ(got, third);

    // Buffers go back to the driver: more frames than buffers pass through.
    for (int i = 0; i < 10; ++i) {
        auto frame = MakeJpeg(32, 32, i);
        ASSERT_TRUE(fake.PushFrame(frame));
        ASSERT_EQ(next(*camera, got, at), FrameStatus::Frame);
        EXPECT_EQ(got, frame);
    }
    camera->Stop();
    EXPECT_FALSE(fake.streaming());
    EXPECT_EQ(fake.unmapped, 4);

    // A rate inside a stepwise range is asked of the driver as a fraction.
    CameraFormat tenFps = camera->Formats()[3];
    tenFps.interval = 1000000;
    ASSERT_EQ(camera->Start(tenFps), S_OK);
    EXPECT_EQ(fake.lastInterval.numerator, 1u);
    EXPECT_EQ(fake.lastInterval.denominator, 10u);
    CameraFormat unknown = tenFps;
    unknown.width = 100;
    EXPECT_EQ(camera->Start(unknown), VFW_E_INVALIDMEDIATYPE);
}

TEST_F(V4l2CameraTest, WakeEndsTheWaitForAFrame) {
    auto camera = open();
    ASSERT_EQ(camera->Start(camera->Formats()[0]), S_OK);
    // Taken before the waiting thread starts, as the worker does, so a wake that comes before that
    // thread reaches NextFrame (a slow machine, a sanitizer build) still ends its wait.
    const uint64_t seen = wake.generation();
    auto waiting = std::async(std::launch::async, [&] {
        std::vector<uint8_t> got;
        REFERENCE_TIME at;
        return next(*camera, got, at, seen);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    wake.Wake();
    EXPECT_EQ(waiting.get(), FrameStatus::Interrupted);
}

TEST_F(V4l2CameraTest, UnplugEndsTheStream) {
    auto camera = open();
    ASSERT_EQ(camera->Start(camera->Formats()[0]), S_OK);
    auto waiting = std::async(std::launch::async, [&] {
        std::vector<uint8_t> got;
        REFERENCE_TIME at;
        return next(*camera, got, at);
    });
    fake.Unplug();
    EXPECT_EQ(waiting.get(), FrameStatus::Unplugged);
    std::vector<uint8_t> got;
    REFERENCE_TIME at;
    EXPECT_EQ(next(*camera, got, at), FrameStatus::Unplugged);
    camera->Stop();
    EXPECT_EQ(camera->Start(camera->Formats()[0]), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    HRESULT hr = S_OK;
    EXPECT_EQ(V4l2Camera::Open(fake, FakeUvcCamera::kNode, hr), nullptr);
    EXPECT_TRUE(platform::camera::ListV4l2Cameras(fake).empty());
}

} // namespace
} // namespace testcamera
