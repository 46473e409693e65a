// The host's renderer paces samples by their time stamps on the graph clock, and what the capture
// writer makes of the frames it receives.
#include "tools/unfold/frame_sink.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"
#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"
#include "tools/image/image_file.h"
#include "tools/unfold/capture_writer.h"

namespace tools::unfold {
namespace {

using Clock = std::chrono::steady_clock;
using testfilters::Held;
using testfilters::TestSource;
using testfilters::VideoType;

struct Received {
    std::mutex lock;
    std::vector<ReceivedFrame> frames;
    std::vector<Clock::time_point> times;
};

class SinkTest : public testfilters::DShowTest {
protected:
    // Source -> sink, with the graph's own clock.
    void build(const CMediaType& type) {
        source_ = new TestSource(type);
        source_->AddRef();
        sink_ = new CFrameSink([this](ReceivedFrame&& f) {
            std::lock_guard lock(received_.lock);
            received_.frames.push_back(std::move(f));
            received_.times.push_back(Clock::now());
        });
        sink_->AddRef();
        graph_ = testfilters::Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph_->AddFilter(source_, L"Source");
        graph_->AddFilter(sink_, L"Sink");
        ASSERT_EQ(graph_->ConnectDirect(&source_->pin(), sink_->InputPin(), nullptr), S_OK);
        graph_.as(IID_IMediaControl, control_);
    }
    void TearDown() override {
        if (control_) control_->Stop();
        control_.reset();
        graph_.reset();
        if (sink_) sink_->Release();
        if (source_) source_->Release();
        testfilters::DShowTest::TearDown();
    }
    TestSource* source_ = nullptr;
    CFrameSink* sink_ = nullptr;
    platform::ComPtr<IGraphBuilder> graph_;
    platform::ComPtr<IMediaControl> control_;
    Received received_;
};

TEST_F(SinkTest, HoldsEachFrameUntilItsTimeAndPassesLateOnesAtOnce) {
    build(VideoType(MEDIASUBTYPE_RGB24, 64, 32));
    ASSERT_EQ(control_->Run(), S_OK);
    const Clock::time_point run = Clock::now();
    // Six frames stamped 1/30 s apart, delivered as fast as the sink takes them.
    for (int k = 0; k < 6; ++k) ASSERT_EQ(source_->Deliver(BYTE(k), k * 333333), S_OK);
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - run).count();
    EXPECT_GE(took, 5 * 33.3 - 20) << "the frames were not held for their times";
    // A frame stamped in the past is handed on at once and counted as late.
    const Clock::time_point before = Clock::now();
    ASSERT_EQ(source_->Deliver(9, 0), S_OK);
    const double lateTook = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    EXPECT_LT(lateTook, 500);
    const CFrameSink::Counts counts = sink_->counts();
    EXPECT_EQ(counts.received, 7u);
    EXPECT_GE(counts.late, 1u);
    std::lock_guard lock(received_.lock);
    ASSERT_EQ(received_.frames.size(), 7u);
    const ReceivedFrame& first = received_.frames[0];
    EXPECT_EQ(first.width, 64u);
    EXPECT_EQ(first.height, 32);
    EXPECT_EQ(first.bitsPerPixel, 24u);
    EXPECT_EQ(first.bits.size(), 64u * 32 * 3);
    EXPECT_EQ(first.bits[1], 1); // TestSource's pattern: fill + offset
    EXPECT_EQ(received_.frames[5].start, 5 * 333333);
}

TEST_F(SinkTest, StoppingEndsAWaitAndRepeatedFramesAreCounted) {
    build(VideoType(MEDIASUBTYPE_RGB32, 16, 8));
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_EQ(source_->Deliver(3, 0), S_OK);
    ASSERT_EQ(source_->Deliver(3, 1), S_OK); // the same bytes again
    EXPECT_EQ(sink_->counts().repeated, 1u);
    // A frame stamped 10 s ahead waits on the streaming thread until the graph stops.
    std::thread streaming([&] { source_->Deliver(4, 100000000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point stop = Clock::now();
    control_->Stop();
    streaming.join();
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - stop).count(), 2.0);
    EXPECT_EQ(sink_->counts().received, 2u); // the waiting frame was not drawn
}

TEST_F(SinkTest, RefusesTypesItCannotDraw) {
    build(VideoType(MEDIASUBTYPE_RGB24, 8, 8));
    for (const GUID* subtype : {&MEDIASUBTYPE_YUY2, &MEDIASUBTYPE_MJPG}) {
        CMediaType other = VideoType(*subtype, 8, 8);
        EXPECT_NE(sink_->InputPin()->QueryAccept(&other), S_OK);
    }
    CMediaType noHeader = VideoType(MEDIASUBTYPE_RGB24, 8, 8);
    noHeader.ReallocFormatBuffer(20);
    EXPECT_NE(sink_->InputPin()->QueryAccept(&noHeader), S_OK);
}

// An RGB24 bottom-up frame of the picture, as the virtual camera delivers it.
ReceivedFrame FrameOf(const image::Image& picture) {
    ReceivedFrame f;
    f.width = picture.width();
    f.height = int32_t(picture.height());
    f.bitsPerPixel = 24;
    const size_t stride = (size_t(picture.width()) * 3 + 3) / 4 * 4;
    f.bits.assign(stride * picture.height(), 0);
    for (uint32_t y = 0; y < picture.height(); ++y)
        for (uint32_t x = 0; x < picture.width(); ++x) {
            const image::Rgba c = picture.pixel(x, y);
            uint8_t* p = f.bits.data() + (picture.height() - 1 - y) * stride + x * 3;
            p[0] = c.b, p[1] = c.g, p[2] = c.r;
        }
    return f;
}

TEST(CaptureWriter, EveryFrameInTheVideoAndEveryNthAsAPicture) {
    for (VideoKind kind : {VideoKind::Avi, VideoKind::Y4m}) {
        testing::TempDir dir;
        CaptureWriter writer({dir.file(""), kind, 2, 90, 4}, {30, 1});
        writer.Start();
        std::vector<image::Image> pictures;
        for (int k = 0; k < 5; ++k) {
            pictures.push_back(testing::Gradient(18, 10));
            pictures.back().setPixel(uint32_t(k), 0, {255, 0, 0, 255});
            writer.Add(FrameOf(pictures.back()));
        }
        ASSERT_TRUE(writer.Finish().ok());
        EXPECT_EQ(writer.framesInVideo(), 5u);
        EXPECT_EQ(writer.picturesWritten(), 3u);
        const std::string video = kind == VideoKind::Avi ? "video.avi" : "video.y4m";
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"frame-000001.png", "frame-000003.png",
                                                           "frame-000005.png", video}));
        image::Image third;
        ASSERT_TRUE(image::ReadImage(dir.file("frame-000003.png"), third).ok());
        EXPECT_EQ(third, pictures[2]); // the frame as received, upright
        const size_t bytes = testing::FileBytes(dir.file(video)).size();
        if (kind == VideoKind::Y4m) {
            const size_t header = std::string("YUV4MPEG2 W18 H10 F30:1 Ip A1:1 C420jpeg\n").size();
            EXPECT_EQ(bytes, header + 5 * (6 + 18 * 10 + 2 * 9 * 5));
        } else {
            EXPECT_GT(bytes, 224u + 5 * 8);
        }
    }
}

TEST(CaptureWriter, AFailureStopsTheWritingAndLeavesNoVideo) {
    testing::TempDir dir;
    CaptureWriter writer({dir.file("missing-folder"), VideoKind::Avi, 1, 90, 4}, {30, 1});
    writer.Start();
    for (int k = 0; k < 3; ++k) writer.Add(FrameOf(testing::Gradient(8, 8)));
    image::Status s = writer.Finish();
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(writer.framesInVideo(), 0u);
    EXPECT_TRUE(dir.entries().empty());
    // A frame that does not hold its picture is a failure too, not a read past its end.
    testing::TempDir other;
    CaptureWriter shortFrames({other.file(""), VideoKind::Avi, 0, 90, 4}, {30, 1});
    shortFrames.Start();
    ReceivedFrame cut = FrameOf(testing::Gradient(8, 8));
    cut.bits.resize(10);
    shortFrames.Add(std::move(cut));
    EXPECT_FALSE(shortFrames.Finish().ok());
    EXPECT_TRUE(other.entries().empty());
}

} // namespace
} // namespace tools::unfold
