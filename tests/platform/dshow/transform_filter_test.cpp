#include <evcode.h>

#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

constexpr LONG kWidth = 8, kHeight = 4;

class TransformTest : public DShowTest {};

TEST_F(TransformTest, FramesRunThroughTransformGrabberAndNullRenderer) {
    Held<TestSource> source(new TestSource(VideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight)));
    Held<PassThrough> transform(new PassThrough);
    {
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        auto grabberFilter = Create<IBaseFilter>(CLSID_SampleGrabber, IID_IBaseFilter);
        auto renderer = Create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(grabberFilter.as(IID_ISampleGrabber, grabber), S_OK);
        AM_MEDIA_TYPE want{};
        want.majortype = MEDIATYPE_Video;
        want.subtype = MEDIASUBTYPE_RGB32;
        grabber->SetMediaType(&want);
        grabber->SetBufferSamples(TRUE);
        grabber->SetOneShot(FALSE);
        long size = 0;
        EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE);

        ASSERT_EQ(graph->AddFilter(source.filter(), L"Source"), S_OK);
        ASSERT_EQ(graph->AddFilter(transform.filter(), L"Pass"), S_OK);
        ASSERT_EQ(graph->AddFilter(grabberFilter.get(), L"SampleGrabber"), S_OK);
        ASSERT_EQ(graph->AddFilter(renderer.get(), L"NullRenderer"), S_OK);

        ComPtr<IPin> in, out;
        ASSERT_EQ(transform->FindPin(L"In", in.put()), S_OK);
        ASSERT_EQ(transform->FindPin(L"Out", out.put()), S_OK);
        PIN_INFO info;
        in->QueryPinInfo(&info);
        EXPECT_STREQ(info.achName, L"XForm In");
        info.pFilter->Release();
        ASSERT_EQ(graph->Connect(PinOf(source.filter(), PINDIR_OUTPUT).get(), in.get()), S_OK);
        ASSERT_EQ(graph->Connect(out.get(), PinOf(grabberFilter.get(), PINDIR_INPUT).get()), S_OK);
        ASSERT_EQ(graph->Connect(PinOf(grabberFilter.get(), PINDIR_OUTPUT).get(),
                                 PinOf(renderer.get(), PINDIR_INPUT).get()),
                  S_OK);
        AM_MEDIA_TYPE connected{};
        ASSERT_EQ(grabber->GetConnectedMediaType(&connected), S_OK);
        EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB32);
        EXPECT_EQ(connected.cbFormat, sizeof(VIDEOINFOHEADER));
        FreeMediaType(connected);

        ComPtr<IMediaControl> control;
        ASSERT_EQ(graph.as(IID_IMediaControl, control), S_OK);
        EXPECT_EQ(source->Deliver(1, 0), VFW_E_NOT_COMMITTED); // no buffers while stopped
        ASSERT_EQ(control->Run(), S_OK);
        OAFilterState state;
        EXPECT_EQ(control->GetState(500, &state), S_OK);
        EXPECT_EQ(state, State_Running);
        ComPtr<IReferenceClock> clock;
        EXPECT_EQ(transform->GetSyncSource(clock.put()), S_OK);
        EXPECT_NE(clock.get(), nullptr); // the graph handed out its clock
        ComPtr<IPin> peer;
        EXPECT_EQ(graph->ConnectDirect(out.get(), in.get(), nullptr), VFW_E_NOT_STOPPED);

        ASSERT_EQ(source->Deliver(10, 0), S_OK);
        ASSERT_EQ(source->Deliver(20, 333333), S_OK);
        ASSERT_EQ(grabber->GetCurrentBuffer(&size, nullptr), S_OK);
        ASSERT_EQ(size, kWidth * kHeight * 4);
        std::vector<BYTE> frame(size);
        long small = size - 1;
        EXPECT_EQ(grabber->GetCurrentBuffer(&small, reinterpret_cast<long*>(frame.data())), E_OUTOFMEMORY);
        ASSERT_EQ(grabber->GetCurrentBuffer(&size, reinterpret_cast<long*>(frame.data())), S_OK);
        for (long i = 0; i < size; i += 37) EXPECT_EQ(frame[i], static_cast<BYTE>(20 + i % 251)) << i;

        ASSERT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(source->Deliver(30, 0), VFW_E_NOT_COMMITTED); // the source's allocator is decommitted
    }
}

TEST_F(TransformTest, DroppedFrameIsNotDeliveredAndQualityChangeIsSentOnce) {
    CountingAllocator* counting = new CountingAllocator;
    counting->AddRef();
    Held<TestSource> source(new TestSource(VideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight)));
    Held<PassThrough> transform(new PassThrough);
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32, counting));
    transform->drop = {1, 2};
    {
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(source.filter(), L"Source");
        graph->AddFilter(transform.filter(), L"Pass");
        graph->AddFilter(sink.filter(), L"Sink");
        ASSERT_EQ(graph->ConnectDirect(&source->pin(), transform->GetPin(0), nullptr), S_OK);
        ASSERT_EQ(graph->ConnectDirect(transform->GetPin(1), &sink->pin(), nullptr), S_OK);
        ComPtr<IMediaControl> control;
        ComPtr<IMediaEvent> events;
        graph.as(IID_IMediaControl, control);
        graph.as(IID_IMediaEvent, events);
        ASSERT_EQ(control->Run(), S_OK);
        for (int i = 0; i < 4; ++i) ASSERT_EQ(source->Deliver(static_cast<BYTE>(i), i * 333333), S_OK);

        ASSERT_EQ(sink->samples.size(), 2u); // frames 0 and 3
        EXPECT_EQ(sink->samples[1].data[0], 3);
        EXPECT_EQ(sink->samples[1].start, 3 * 333333);
        EXPECT_EQ(sink->samples[1].stop, 4 * 333333);
        EXPECT_FALSE(sink->samples[0].discontinuity);
        EXPECT_TRUE(sink->samples[1].discontinuity); // the frame after a skip
        EXPECT_EQ(counting->taken, 4);               // a buffer for every frame, dropped ones included
        EXPECT_EQ(counting->outstanding, 0);         // and every one came back

        int qualityChanges = 0;
        long code;
        LONG_PTR p1, p2;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) qualityChanges += code == EC_QUALITY_CHANGE;
        EXPECT_EQ(qualityChanges, 1);

        // End of stream, new segments and flushes go downstream.
        ASSERT_EQ(source->pin().DeliverNewSegment(0, 1000, 1.0), S_OK);
        ASSERT_EQ(source->pin().DeliverBeginFlush(), S_OK);
        ASSERT_EQ(source->pin().DeliverEndFlush(), S_OK);
        ASSERT_EQ(source->pin().DeliverEndOfStream(), S_OK);
        EXPECT_EQ(sink->segments, 1);
        EXPECT_EQ(sink->flushes, 1);
        EXPECT_EQ(sink->endOfStreams, 1);

        // A new run may report again.
        control->Stop();
        control->Run();
        transform->drop = {transform->frame};
        source->Deliver(9, 0);
        qualityChanges = 0;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) qualityChanges += code == EC_QUALITY_CHANGE;
        EXPECT_EQ(qualityChanges, 1);
        control->Stop();
    }
    counting->Release();
}

TEST_F(TransformTest, OutputConnectsOnlyAfterInputAndRefusesOtherTypes) {
    Held<TestSource> rgb24(new TestSource(VideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight)));
    Held<PassThrough> transform(new PassThrough);
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    CMediaType rgb32 = VideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight);
    EXPECT_EQ(transform->GetPin(1)->Connect(&sink->pin(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(transform->GetPin(1)->Connect(&sink->pin(), &rgb32), E_UNEXPECTED);
    EXPECT_EQ(rgb24->pin().Connect(transform->GetPin(0), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    ComPtr<IPin> none;
    EXPECT_EQ(transform->FindPin(L"XForm In", none.put()), VFW_E_NOT_FOUND);
    EXPECT_EQ(transform->GetPin(0)->ConnectedTo(none.put()), VFW_E_NOT_CONNECTED);
}

} // namespace
} // namespace testfilters
