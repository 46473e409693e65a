// Media types, buffers, frame pacing, drawing and the Direct3D failure path of the expansion filter.
#include <chrono>
#include <thread>

#include "platform/win32/fault_injection.h"
#include "platform/win32/message_box.h"
#include "tests/filter/filter_fixture.h"

namespace filter_testing {
namespace {

VIDEOINFOHEADER* header(CMediaType& mt) {
    return reinterpret_cast<VIDEOINFOHEADER*>(mt.Format());
}

TEST_F(FilterTest, InputTypesAcceptedAndRefused) {
    Held<CExpansionFilter> filter(NewFilter());
    auto in = testfilters::PinOf(filter.filter(), PINDIR_INPUT);
    CMediaType rgb32 = VideoType(MEDIASUBTYPE_RGB32, 640, 480);
    EXPECT_EQ(in->QueryAccept(&rgb32), S_OK);
    EXPECT_EQ(filter->CheckInputType(&rgb32), S_OK);
    CMediaType rgb24 = VideoType(MEDIASUBTYPE_RGB24, 640, 480);
    EXPECT_EQ(filter->CheckInputType(&rgb24), E_INVALIDARG);
    EXPECT_NE(in->QueryAccept(&rgb24), S_OK);
    CMediaType yuy2 = VideoType(MEDIASUBTYPE_YUY2, 640, 480);
    EXPECT_EQ(filter->CheckInputType(&yuy2), E_INVALIDARG);
    CMediaType vi2 = rgb32;
    vi2.SetFormatType(&FORMAT_VideoInfo2);
    EXPECT_EQ(filter->CheckInputType(&vi2), E_INVALIDARG);
    CMediaType shortFormat = rgb32;
    shortFormat.ReallocFormatBuffer(40); // too short for a video header
    EXPECT_EQ(filter->CheckInputType(&shortFormat), E_INVALIDARG);
}

TEST_F(FilterTest, OutputTypeKeepsTheInputButForThePictureSize) {
    Held<CExpansionFilter> filter(NewFilter());
    CMediaType offered;
    EXPECT_EQ(filter->GetMediaType(-1, &offered), E_INVALIDARG);
    EXPECT_EQ(filter->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
    for (LONG height : {-2880, 2880}) {
        FilterGraph g(filter.filter(), VideoType(MEDIASUBTYPE_RGB32, 1440, height));
        ASSERT_EQ(g.connectInput(), S_OK);
        ASSERT_EQ(filter->GetMediaType(0, &offered), S_OK);
        EXPECT_EQ(header(offered)->bmiHeader.biWidth, 1280);
        EXPECT_EQ(header(offered)->bmiHeader.biHeight, height > 0 ? 720 : -720);
        CMediaType input = VideoType(MEDIASUBTYPE_RGB32, 1440, height);
        EXPECT_EQ(header(offered)->bmiHeader.biSizeImage, header(input)->bmiHeader.biSizeImage);
        EXPECT_EQ(*offered.Subtype(), MEDIASUBTYPE_RGB32);
        // The output must be the input type with only the picture size changed.
        EXPECT_EQ(filter->CheckTransform(&input, &offered), S_OK);
        CMediaType otherSize = offered;
        header(otherSize)->bmiHeader.biSizeImage += 4;
        EXPECT_EQ(filter->CheckTransform(&input, &otherSize), VFW_E_TYPE_NOT_ACCEPTED);
        CMediaType otherSubtype = offered;
        otherSubtype.SetSubtype(&MEDIASUBTYPE_RGB24);
        EXPECT_EQ(filter->CheckTransform(&input, &otherSubtype), VFW_E_TYPE_NOT_ACCEPTED);
        CMediaType vi2 = input;
        vi2.SetFormatType(&FORMAT_VideoInfo2);
        EXPECT_EQ(filter->CheckTransform(&vi2, &offered), VFW_E_TYPE_NOT_ACCEPTED);
        g.graph->Disconnect(&g.source->pin());
        g.graph->Disconnect(testfilters::PinOf(filter.filter(), PINDIR_INPUT).get());
    }
}

TEST_F(FilterTest, BuffersHoldTheWholeOutputFrameEvenForSmallInputs) {
    Held<CExpansionFilter> filter(NewFilter());
    CMemAllocator* allocator = new CMemAllocator(L"test", nullptr);
    allocator->AddRef();
    ALLOCATOR_PROPERTIES want{};
    EXPECT_EQ(filter->DecideBufferSize(allocator, &want), E_FAIL); // no input yet
    {
        FilterGraph g(filter.filter(), VideoType(MEDIASUBTYPE_RGB32, 640, 480));
        ASSERT_EQ(g.connectInput(), S_OK);
        want.cbAlign = 1; // as the output pin prepares the request
        HRESULT hr = filter->DecideBufferSize(allocator, &want);
        EXPECT_EQ(hr, S_OK) << std::hex << hr;
        ALLOCATOR_PROPERTIES got{};
        allocator->GetProperties(&got);
        EXPECT_EQ(got.cBuffers, 5);
        EXPECT_GE(got.cbBuffer, 2764800); // a 640 x 480 RGB32 sample is only 1,228,800 bytes
    }
    allocator->Release();
}

TEST_F(FilterTest, FramesLaterThanTheLimitAreDroppedAndTheNextOneDrawn) {
    Held<CExpansionFilter> filter(NewFilter());
    // A 5 frames per second input: the limit is 300 ms, long enough for a slow (sanitizer) build to
    // fill and draw a frame well within it.
    CMediaType input = VideoType(MEDIASUBTYPE_RGB32, 640, 480);
    header(input)->AvgTimePerFrame = 2000000;
    FilterGraph g(filter.filter(), input);
    ASSERT_EQ(g.connect(), S_OK);
    ASSERT_EQ(g.control->Run(), S_OK);
    // Frames in quick succession until one is drawn (connecting may take longer than the limit).
    for (int i = 0; i < 20 && g.sink->samples.empty(); ++i) ASSERT_EQ(g.source->Deliver(1, i * 333333), S_OK);
    size_t delivered = g.sink->samples.size();
    ASSERT_GE(delivered, 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_EQ(g.source->Deliver(3, 666666), S_OK); // after a gap: dropped
    EXPECT_EQ(g.sink->samples.size(), delivered);
    ASSERT_EQ(g.source->Deliver(4, 999999), S_OK); // at once after: drawn
    ASSERT_EQ(g.sink->samples.size(), delivered + 1);
    const auto& last = g.sink->samples.back();
    // Times copied, actual length the input's, and the picture the engine draws for that frame.
    EXPECT_EQ(last.start, 999999);
    EXPECT_EQ(last.stop, 999999 + 333333);
    // A 640 x 480 sample is shorter than the 2,764,800 bytes the engine wrote; the frame is delivered
    // whole all the same.
    const size_t inputBytes = 640 * 480 * 4;
    ASSERT_EQ(last.data.size(), size_t(CExpansionFilter::kOutFrameBytes));
    std::vector<BYTE> frame = SourceFrame(4, inputBytes);
    std::vector<BYTE> expected = EnginePicture(frame.data(), 640, 480);
    ASSERT_GE(last.data.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), last.data.begin()));
    g.control->Stop();
}

// One frame of a paced run: the time since the frame before it started, and whether it was drawn.
struct PacedFrame {
    double gapMs;
    bool drawn;
};

// Delivers frames `period` apart, the one numbered `late` after `extra` more. Each frame waits from the
// start of the one before, so on a busy machine gaps only grow; they are measured as they happened.
std::vector<PacedFrame> DeliverPaced(FilterGraph& g, int frames, std::chrono::microseconds period,
                                     int late = -1, std::chrono::microseconds extra = {}) {
    using Clock = std::chrono::steady_clock;
    std::vector<PacedFrame> run;
    auto previous = Clock::now();
    for (int k = 0; k < frames; ++k) {
        std::this_thread::sleep_until(previous + period + (k == late ? extra : std::chrono::microseconds{}));
        const auto now = Clock::now();
        run.push_back({std::chrono::duration<double, std::milli>(now - previous).count(), false});
        EXPECT_EQ(g.source->Deliver(BYTE(k), k * 333333), S_OK);
        previous = now;
    }
    for (const auto& sample : g.sink->samples) run[size_t(sample.start / 333333)].drawn = true;
    return run;
}

// Each frame after the first is drawn when its gap is within the limit and dropped when it is over.
// Gaps within 10 ms of the limit are left out, as the filter's clock reads a little later than the
// test's. Answers how many frames were checked as drawn.
int ExpectTheIntervalRule(const std::vector<PacedFrame>& run, double limitMs) {
    constexpr double kMarginMs = 10;
    int checkedDrawn = 0;
    for (size_t k = 1; k < run.size(); ++k) {
        if (run[k].gapMs < limitMs - kMarginMs) {
            EXPECT_TRUE(run[k].drawn)
                << "frame " << k << " came " << run[k].gapMs << " ms after the one before";
            ++checkedDrawn;
        } else if (run[k].gapMs > limitMs + kMarginMs) {
            EXPECT_FALSE(run[k].drawn)
                << "frame " << k << " came " << run[k].gapMs << " ms after the one before";
        }
    }
    return checkedDrawn;
}

// Runs the graph with no unfold mode selected, so that frames cost no drawing and the pacing tests
// time the interval rule rather than the software device on a busy machine.
void RunWithoutDrawing(CExpansionFilter* filter, FilterGraph& g) {
    ComPtr<IORBE_General> general;
    ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_IORBE_General, general.putVoid()), S_OK);
    general->SetUnfoldMode(9);
    ASSERT_EQ(g.control->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // the first frame comes after a pause
}

TEST_F(FilterTest, AFifteenFrameCameraPacedExactlyHasEveryFrameAfterTheFirstDrawn) {
    Held<CExpansionFilter> filter(NewFilter());
    CMediaType input = VideoType(MEDIASUBTYPE_RGB32, 320, 240);
    header(input)->AvgTimePerFrame = 666666; // 15 frames per second: 66.7 ms apart, over 66 ms
    FilterGraph g(filter.filter(), input);
    ASSERT_EQ(g.connect(), S_OK);
    RunWithoutDrawing(filter.p, g);
    const std::vector<PacedFrame> run = DeliverPaced(g, 12, std::chrono::microseconds(666667) / 10);
    EXPECT_FALSE(run[0].drawn);
    // The limit is 1.5 frame durations, 100 ms; a fixed 66 ms would drop every frame.
    EXPECT_GE(ExpectTheIntervalRule(run, 100), 3) << "too few frames came on time to judge";
    g.control->Stop();
}

TEST_F(FilterTest, AThirtyFrameCameraLosesOnlyTheFrameAfterAGap) {
    Held<CExpansionFilter> filter(NewFilter());
    FilterGraph g(filter.filter(), VideoType(MEDIASUBTYPE_RGB32, 320, 240)); // 30 frames per second
    ASSERT_EQ(g.connect(), S_OK);
    RunWithoutDrawing(filter.p, g);
    // Frame 5 comes 100 ms after frame 4: over the 66 ms that rule a 30 frames per second input.
    const std::vector<PacedFrame> run =
        DeliverPaced(g, 16, std::chrono::microseconds(33333), 5, std::chrono::microseconds(66667));
    EXPECT_FALSE(run[5].drawn);
    EXPECT_GE(ExpectTheIntervalRule(run, 66), 3) << "too few frames came on time to judge";
    g.control->Stop();
}

TEST_F(FilterTest, WithoutDirect3DTheMessageShowsOncePerInstance) {
    platform::ScopedFault hardware("D3D10CreateDevice.Hardware", DXGI_ERROR_UNSUPPORTED, 0, 0);
    platform::ScopedFault reference("D3D10CreateDevice.Reference", DXGI_ERROR_UNSUPPORTED, 0, 0);
    platform::MessageBoxCapture boxes;
    Held<CExpansionFilter> first(NewFilter());
    Held<CExpansionFilter> second(NewFilter());
    for (int attempt = 0; attempt < 2; ++attempt) {
        FilterGraph g(first.filter(), VideoType(MEDIASUBTYPE_RGB32, 640, 480));
        EXPECT_TRUE(FAILED(g.connectInput()));
    }
    {
        FilterGraph g(second.filter(), VideoType(MEDIASUBTYPE_RGB32, 640, 480));
        EXPECT_TRUE(FAILED(g.connectInput()));
    }
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text,
              L"Your PC does not support Direct3D 10. Or a graphic driver is not installed correctly.");
    EXPECT_EQ(shown[0].caption, L"TELMAR ZK900 4K UVC Error");
    EXPECT_EQ(shown[0].type, UINT(MB_ICONWARNING));
    EXPECT_EQ(shown[0].owner, nullptr);
}

TEST_F(FilterTest, AReconnectionReinitialisesTheEngineAndReturnsToTheInvertedDome) {
    Held<CExpansionFilter> filter(NewFilter());
    ComPtr<IORBE_General> general;
    ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_IORBE_General, general.putVoid()), S_OK);
    for (int connection = 0; connection < 2; ++connection) {
        FilterGraph g(filter.filter(), VideoType(MEDIASUBTYPE_RGB32, 320 + 64 * connection, 240));
        ASSERT_EQ(g.connect(), S_OK);
        int index = -1;
        general->GetUnfoldMode(&index);
        EXPECT_EQ(index, 6); // INDOME after every connection
        general->SetUnfoldMode(0);
        general->GetUnfoldMode(&index);
        EXPECT_EQ(index, 0);
        ASSERT_EQ(g.control->Run(), S_OK);
        g.source->Deliver(1, 0);
        g.source->Deliver(2, 1);
        EXPECT_FALSE(g.sink->samples.empty());
        g.control->Stop();
        g.graph->Disconnect(&g.source->pin());
        g.graph->Disconnect(testfilters::PinOf(filter.filter(), PINDIR_INPUT).get());
    }
}

} // namespace
} // namespace filter_testing
