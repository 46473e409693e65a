#include <evcode.h>

#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

class SampleGrabberTest : public DShowTest {};

TEST_F(SampleGrabberTest, TypeFilterBufferingAndOneShot) {
    Held<TestSource> rgb24(new TestSource(VideoType(MEDIASUBTYPE_RGB24, 4, 2)));
    Held<TestSource> rgb32(new TestSource(VideoType(MEDIASUBTYPE_RGB32, 4, 2)));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    {
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        auto filter = Create<IBaseFilter>(CLSID_SampleGrabber, IID_IBaseFilter);
        ComPtr<ISampleGrabber> grabber;
        filter.as(IID_ISampleGrabber, grabber);
        AM_MEDIA_TYPE want{};
        want.majortype = MEDIATYPE_Video;
        want.subtype = MEDIASUBTYPE_RGB32;
        ASSERT_EQ(grabber->SetMediaType(&want), S_OK);
        AM_MEDIA_TYPE connected{};
        EXPECT_EQ(grabber->GetConnectedMediaType(&connected), VFW_E_NOT_CONNECTED);
        graph->AddFilter(rgb24.filter(), L"RGB24");
        graph->AddFilter(rgb32.filter(), L"RGB32");
        graph->AddFilter(filter.get(), L"Grabber");
        graph->AddFilter(sink.filter(), L"Sink");
        ComPtr<IPin> in = PinOf(filter.get(), PINDIR_INPUT), out = PinOf(filter.get(), PINDIR_OUTPUT);
        EXPECT_NE(graph->ConnectDirect(&rgb24->pin(), in.get(), nullptr), S_OK); // not the type asked for
        ASSERT_EQ(graph->ConnectDirect(&rgb32->pin(), in.get(), nullptr), S_OK);
        ASSERT_EQ(graph->ConnectDirect(out.get(), &sink->pin(), nullptr), S_OK);

        long size = 0;
        EXPECT_EQ(grabber->GetCurrentBuffer(nullptr, nullptr), E_POINTER);
        EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), E_INVALIDARG); // not buffering
        grabber->SetBufferSamples(TRUE);
        grabber->SetOneShot(TRUE);
        ComPtr<IMediaControl> control;
        ComPtr<IMediaEvent> events;
        graph.as(IID_IMediaControl, control);
        graph.as(IID_IMediaEvent, events);
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_EQ(rgb32->Deliver(7, 0), S_OK);
        EXPECT_EQ(rgb32->Deliver(8, 333333), S_FALSE); // one shot taken: later samples are refused
        ASSERT_EQ(sink->samples.size(), 1u);           // the same sample went through
        EXPECT_EQ(sink->samples[0].data[0], 7);
        EXPECT_EQ(sink->endOfStreams, 1);
        long code = 0;
        EXPECT_EQ(events->WaitForCompletion(1000, &code), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);
        ASSERT_EQ(grabber->GetCurrentBuffer(&size, nullptr), S_OK);
        EXPECT_EQ(size, 4 * 2 * 4);
        control->Stop();
    }
}

} // namespace
} // namespace testfilters
