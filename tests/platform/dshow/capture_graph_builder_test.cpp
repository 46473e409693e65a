// Capture Graph Builder 2: finding pins and interfaces in a capture graph, and rendering a stream.
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

using namespace std::chrono_literals;

class CaptureGraphBuilderTest : public DShowTest {
protected:
    void SetUp() override {
        DShowTest::SetUp();
        camera = new TestPushSource(type, true); // its pin is a capture pin
        transform = new PassThrough;
        sink = new RecordingSink(MEDIASUBTYPE_RGB32);
        for (IBaseFilter* f : {static_cast<IBaseFilter*>(camera), static_cast<IBaseFilter*>(transform),
                               static_cast<IBaseFilter*>(sink)})
            f->AddRef();
        builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
        graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
        graph->AddFilter(camera, L"camera");
        graph->AddFilter(transform, L"transform");
        graph->AddFilter(sink, L"sink");
    }
    void TearDown() override {
        builder = nullptr;
        graph = nullptr; // disconnects the filters
        camera->Release();
        transform->Release();
        sink->Release();
        DShowTest::TearDown();
    }

    CMediaType type = VideoType(MEDIASUBTYPE_RGB32, 8, 8);
    TestPushSource* camera = nullptr;
    PassThrough* transform = nullptr;
    RecordingSink* sink = nullptr;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IGraphBuilder> graph;
};

TEST_F(CaptureGraphBuilderTest, KeepsOneGraph) {
    ComPtr<IGraphBuilder> got;
    ASSERT_EQ(builder->GetFiltergraph(got.put()), S_OK);
    EXPECT_EQ(got, graph);
    EXPECT_EQ(builder->SetFiltergraph(graph.get()), E_UNEXPECTED);
    EXPECT_EQ(builder->SetFiltergraph(nullptr), E_POINTER);
    EXPECT_EQ(builder->GetFiltergraph(nullptr), E_POINTER);

    // Without SetFiltergraph the builder makes a graph of its own when first asked.
    auto fresh = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
    ComPtr<IGraphBuilder> made, again;
    ASSERT_EQ(fresh->GetFiltergraph(made.put()), S_OK);
    ASSERT_EQ(fresh->GetFiltergraph(again.put()), S_OK);
    EXPECT_TRUE(made);
    EXPECT_EQ(made, again);
}

TEST_F(CaptureGraphBuilderTest, FindsPinsByDirectionCategoryTypeAndConnection) {
    IPin* capture = &camera->pin();
    ComPtr<IPin> pin;
    ASSERT_EQ(
        builder->FindPin(camera, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE, 0, pin.put()),
        S_OK);
    EXPECT_EQ(pin.get(), capture);
    EXPECT_EQ(builder->FindPin(camera, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, TRUE, 1, pin.put()),
              E_FAIL);
    EXPECT_EQ(builder->FindPin(camera, PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, nullptr, FALSE, 0, pin.put()),
              E_FAIL);
    EXPECT_EQ(builder->FindPin(camera, PINDIR_OUTPUT, nullptr, &MEDIATYPE_Audio, FALSE, 0, pin.put()),
              E_FAIL);
    EXPECT_EQ(builder->FindPin(camera, PINDIR_INPUT, nullptr, nullptr, FALSE, 0, pin.put()), E_FAIL);
    // The transform's pins carry no category.
    EXPECT_EQ(builder->FindPin(transform, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, pin.put()),
              E_FAIL);
    // A pin is tested against the criteria.
    EXPECT_EQ(
        builder->FindPin(capture, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE, 5, pin.put()),
        S_OK);
    EXPECT_EQ(pin.get(), capture);
    EXPECT_EQ(builder->FindPin(capture, PINDIR_INPUT, nullptr, nullptr, FALSE, 0, pin.put()), E_FAIL);

    ASSERT_EQ(graph->Connect(capture, PinOf(transform, PINDIR_INPUT).get()), S_OK);
    EXPECT_EQ(builder->FindPin(camera, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, pin.put()), E_FAIL);
    EXPECT_EQ(builder->FindPin(camera, PINDIR_OUTPUT, nullptr, nullptr, FALSE, 0, pin.put()), S_OK);
}

TEST_F(CaptureGraphBuilderTest, FindsInterfacesOnTheFilterItsPinsAndAlongTheStream) {
    ASSERT_EQ(graph->Connect(&camera->pin(), PinOf(transform, PINDIR_INPUT).get()), S_OK);
    ASSERT_EQ(graph->Connect(PinOf(transform, PINDIR_OUTPUT).get(), &sink->pin()), S_OK);

    ComPtr<IUnknown> found;
    // The filter itself answers first.
    ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, IID_IBaseFilter,
                                     found.putVoid()),
              S_OK);
    EXPECT_EQ(found.get(), static_cast<IUnknown*>(camera));
    // Then the pin of the category.
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, IID_IKsPropertySet,
                                     properties.putVoid()),
              S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(properties.get()),
              static_cast<IUnknown*>(static_cast<IKsPropertySet*>(&camera->pin())));
    EXPECT_EQ(builder->FindInterface(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera, IID_IKsPropertySet,
                                     properties.putVoid()),
              E_NOINTERFACE);
    // Downstream of the pin: the sink's input pin takes samples.
    ComPtr<IMemInputPin> transport;
    ASSERT_EQ(
        builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, camera, IID_IMemInputPin, transport.putVoid()),
        S_OK);
    // From the sink: upstream only, downstream only, or the whole graph.
    EXPECT_EQ(
        builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, sink, IID_IKsPropertySet, properties.putVoid()),
        S_OK);
    EXPECT_EQ(builder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, sink, IID_IKsPropertySet,
                                     properties.putVoid()),
              E_NOINTERFACE);
    EXPECT_EQ(builder->FindInterface(nullptr, nullptr, transform, IID_IKsPropertySet, properties.putVoid()),
              S_OK);
    EXPECT_EQ(builder->FindInterface(nullptr, nullptr, sink, IID_IAMStreamConfig, found.putVoid()),
              E_NOINTERFACE);
    EXPECT_EQ(builder->FindInterface(nullptr, nullptr, nullptr, IID_IBaseFilter, found.putVoid()), E_POINTER);
}

TEST_F(CaptureGraphBuilderTest, RendersTheCaptureStreamThroughATransformToASink) {
    ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, transform, sink), S_OK);
    EXPECT_TRUE(camera->pin().IsConnected());
    EXPECT_TRUE(sink->pin().IsConnected());
    // The capture pin is taken now: nothing is left to render.
    EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, nullptr, sink), E_FAIL);
    ComPtr<IMediaControl> control;
    graph.as(IID_IMediaControl, control);
    ASSERT_EQ(control->Run(), S_OK);
    auto deadline = std::chrono::steady_clock::now() + 2s;
    while (sink->count() < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_GE(sink->samples.size(), 3u);
}

// Without a preview pin the capture pin serves the preview, and the answer says so.
TEST_F(CaptureGraphBuilderTest, PreviewFallsBackToTheCapturePin) {
    EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera, nullptr, sink),
              VFW_S_NOPREVIEWPIN);
    EXPECT_TRUE(sink->pin().IsConnected());
    EXPECT_EQ(builder->RenderStream(nullptr, nullptr, nullptr, nullptr, sink), E_POINTER);
}

} // namespace
} // namespace testfilters
