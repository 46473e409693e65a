// The V4L2 output path against a scripted device standing in for v4l2loopback.
#include "tools/unfold/v4l2_output.h"

#include <cerrno>
#include <cstring>
#include <map>

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include "tools/image/yuv.h"

namespace tools::unfold {
namespace {

struct Script {
    uint32_t caps = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_READWRITE;
    bool deviceCaps = true;                      // report through device_caps
    uint32_t keepWidth = 0, keepPixelFormat = 0; // the driver's own choice, when set
    std::map<unsigned long, int> failIoctl;      // request -> errno
    int failOpen = 0, failWrite = 0;
    // Recorded.
    std::vector<unsigned long> calls;
    v4l2_format format{};
    v4l2_streamparm parm{};
    std::vector<std::vector<uint8_t>> frames;
    int closes = 0;
};

class ScriptedDevice final : public V4l2Device {
public:
    explicit ScriptedDevice(Script& s) : s_(s) {}
    int open(const std::string&) override { return s_.failOpen; }
    int ioctl(unsigned long request, void* argument) override {
        s_.calls.push_back(request);
        if (auto f = s_.failIoctl.find(request); f != s_.failIoctl.end()) return f->second;
        if (request == VIDIOC_QUERYCAP) {
            auto* caps = static_cast<v4l2_capability*>(argument);
            std::strcpy(reinterpret_cast<char*>(caps->driver), "v4l2 loopback");
            caps->capabilities = s_.deviceCaps ? (s_.caps | V4L2_CAP_DEVICE_CAPS) : s_.caps;
            caps->device_caps = s_.deviceCaps ? s_.caps : 0;
        } else if (request == VIDIOC_S_FMT) {
            auto* f = static_cast<v4l2_format*>(argument);
            s_.format = *f;
            if (s_.keepWidth) f->fmt.pix.width = s_.keepWidth;
            if (s_.keepPixelFormat) f->fmt.pix.pixelformat = s_.keepPixelFormat;
        } else if (request == VIDIOC_S_PARM) {
            s_.parm = *static_cast<v4l2_streamparm*>(argument);
        }
        return 0;
    }
    int write(const void* data, size_t size) override {
        if (s_.failWrite) return s_.failWrite;
        const auto* p = static_cast<const uint8_t*>(data);
        s_.frames.emplace_back(p, p + size);
        return 0;
    }
    void close() override { ++s_.closes; }

private:
    Script& s_;
};

TEST(V4l2Output, SetsYuyvAtTheStreamSizeAndRateAndWritesWholeFrames) {
    Script script;
    V4l2Output output(std::make_unique<ScriptedDevice>(script));
    ASSERT_TRUE(output.Open("/dev/video9", 1280, 720, {30, 1}).ok());
    EXPECT_EQ(script.calls, (std::vector<unsigned long>{VIDIOC_QUERYCAP, VIDIOC_S_FMT, VIDIOC_S_PARM}));
    EXPECT_EQ(script.format.type, unsigned(V4L2_BUF_TYPE_VIDEO_OUTPUT));
    EXPECT_EQ(script.format.fmt.pix.width, 1280u);
    EXPECT_EQ(script.format.fmt.pix.height, 720u);
    EXPECT_EQ(script.format.fmt.pix.pixelformat, unsigned(V4L2_PIX_FMT_YUYV));
    EXPECT_EQ(script.format.fmt.pix.field, unsigned(V4L2_FIELD_NONE));
    EXPECT_EQ(script.format.fmt.pix.bytesperline, 2560u);
    EXPECT_EQ(script.format.fmt.pix.sizeimage, 1280u * 720 * 2);
    EXPECT_EQ(script.parm.parm.output.timeperframe.numerator, 1u);
    EXPECT_EQ(script.parm.parm.output.timeperframe.denominator, 30u);

    image::Image picture(1280, 720, {255, 255, 255, 255});
    picture.setPixel(0, 0, {0, 0, 0, 255});
    picture.setPixel(1, 0, {0, 0, 0, 255});
    ASSERT_TRUE(output.Write(picture).ok());
    ASSERT_EQ(script.frames.size(), 1u);
    std::vector<uint8_t> expected;
    image::ToYuyv(picture, expected);
    EXPECT_EQ(script.frames[0], expected);
    EXPECT_EQ((std::vector<uint8_t>(script.frames[0].begin(), script.frames[0].begin() + 8)),
              (std::vector<uint8_t>{16, 128, 16, 128, 235, 128, 235, 128}));
    EXPECT_FALSE(output.Write(image::Image(640, 480)).ok()); // another size
    EXPECT_EQ(script.frames.size(), 1u);
    output.Close();
    EXPECT_EQ(script.closes, 1);
}

TEST(V4l2Output, RefusesDevicesThatCannotTakeTheStream) {
    struct Case {
        const char* what;
        void (*arrange)(Script&);
        const char* message;
    };
    const Case cases[] = {
        {"a camera", [](Script& s) { s.caps = 0x1 /* capture */ | V4L2_CAP_READWRITE; }, "v4l2loopback"},
        {"old capabilities", [](Script& s) { s.caps = 0x1, s.deviceCaps = false; }, "not a video output"},
        {"no write()", [](Script& s) { s.caps = V4L2_CAP_VIDEO_OUTPUT; }, "write()"},
        {"another size", [](Script& s) { s.keepWidth = 640; }, "keeps 640 x 720 YUYV"},
        {"another format", [](Script& s) { s.keepPixelFormat = V4L2_PIX_FMT_MJPEG; }, "MJPG"},
        {"no V4L2", [](Script& s) { s.failIoctl[VIDIOC_QUERYCAP] = ENOTTY; }, "not a V4L2 device"},
        {"format refused", [](Script& s) { s.failIoctl[VIDIOC_S_FMT] = EBUSY; }, "refused YUYV"},
        {"missing", [](Script& s) { s.failOpen = ENOENT; }, "cannot open /dev/video9"},
    };
    for (const Case& c : cases) {
        Script script;
        c.arrange(script);
        V4l2Output output(std::make_unique<ScriptedDevice>(script));
        image::Status s = output.Open("/dev/video9", 1280, 720, {30, 1});
        ASSERT_FALSE(s.ok()) << c.what;
        EXPECT_NE(s.message().find(c.message), std::string::npos) << c.what << ": " << s.message();
        EXPECT_EQ(script.closes, script.failOpen ? 0 : 1) << c.what; // opened devices are closed again
        EXPECT_FALSE(output.Write(image::Image(1280, 720)).ok()) << c.what;
    }
}

TEST(V4l2Output, ToleratesADeviceWithoutRatesAndStopsAtAFailedWrite) {
    Script script;
    script.failIoctl[VIDIOC_S_PARM] = ENOTTY;
    V4l2Output output(std::make_unique<ScriptedDevice>(script));
    ASSERT_TRUE(output.Open("/dev/video9", 4, 2, {15, 1}).ok());
    script.failWrite = ENODEV;
    image::Status s = output.Write(image::Image(4, 2));
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find("cannot write a frame"), std::string::npos) << s.message();
    EXPECT_EQ(script.closes, 1);
    script.failWrite = 0;
    EXPECT_FALSE(output.Write(image::Image(4, 2)).ok()); // closed after the failure
}

} // namespace
} // namespace tools::unfold
