// The checks every system filter must pass, run over each by class identifier.
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

struct SystemFilterCase {
    const char* name;
    const CLSID* clsid;
    int inputs, outputs;
};

class FilterConformance : public DShowTest, public ::testing::WithParamInterface<SystemFilterCase> {};

TEST_P(FilterConformance, InterfacesPinsTypesStatesAndTeardown) {
    const SystemFilterCase& c = GetParam();
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.putVoid()),
              S_OK);
    ComPtr<IBaseFilter> filter;
    ComPtr<IMediaFilter> media;
    ComPtr<IPersist> persist;
    ComPtr<IPin> notAPin;
    ASSERT_EQ(unknown.as(IID_IBaseFilter, filter), S_OK);
    EXPECT_EQ(unknown.as(IID_IMediaFilter, media), S_OK);
    EXPECT_EQ(unknown.as(IID_IPersist, persist), S_OK);
    EXPECT_EQ(unknown.as(IID_IPin, notAPin), E_NOINTERFACE);
    CLSID clsid;
    filter->GetClassID(&clsid);
    EXPECT_EQ(clsid, *c.clsid);

    // Pins: counted, found by their ids, pointing back at the filter.
    ComPtr<IEnumPins> e;
    ASSERT_EQ(filter->EnumPins(e.put()), S_OK);
    int inputs = 0, outputs = 0;
    IPin* raw;
    while (e->Next(1, &raw, nullptr) == S_OK) {
        auto pin = ComPtr<IPin>::adopt(raw);
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        (dir == PINDIR_INPUT ? inputs : outputs)++;
        LPWSTR id = nullptr;
        ASSERT_EQ(pin->QueryId(&id), S_OK);
        ComPtr<IPin> found;
        EXPECT_EQ(filter->FindPin(id, found.put()), S_OK);
        EXPECT_EQ(found, pin);
        CoTaskMemFree(id);
        PIN_INFO info;
        pin->QueryPinInfo(&info);
        EXPECT_EQ(info.pFilter, filter.get());
        info.pFilter->Release();
        ComPtr<IMemInputPin> transport;
        EXPECT_EQ(pin.as(IID_IMemInputPin, transport), dir == PINDIR_INPUT ? S_OK : E_NOINTERFACE);
        ComPtr<IPin> peer;
        EXPECT_EQ(pin->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
        AM_MEDIA_TYPE mt;
        EXPECT_EQ(pin->ConnectionMediaType(&mt), VFW_E_NOT_CONNECTED);
    }
    EXPECT_EQ(inputs, c.inputs);
    EXPECT_EQ(outputs, c.outputs);
    ComPtr<IPin> missing;
    EXPECT_EQ(filter->FindPin(L"nothing", missing.put()), VFW_E_NOT_FOUND);

    // The input takes RGB32 video.
    CMediaType rgb = VideoType(MEDIASUBTYPE_RGB32, 16, 16);
    EXPECT_EQ(PinOf(filter.get(), PINDIR_INPUT)->QueryAccept(&rgb), S_OK);

    // Unconnected state changes.
    FILTER_STATE state;
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);

    // A connection from a source: accepted stopped, refused running, carries samples.
    Held<TestSource> source(new TestSource(rgb));
    ComPtr<IPin> input = PinOf(filter.get(), PINDIR_INPUT);
    filter->Run(0);
    EXPECT_EQ(input->ReceiveConnection(&source->pin(), &rgb), VFW_E_NOT_STOPPED);
    filter->Stop();
    ASSERT_EQ(source->pin().Connect(input.get(), nullptr), S_OK);
    EXPECT_EQ(source->pin().Connect(input.get(), nullptr), VFW_E_ALREADY_CONNECTED);
    source->Pause();
    filter->Run(0);
    source->Run(0);
    EXPECT_EQ(source->Deliver(1, 0), S_OK);
    EXPECT_EQ(source->pin().DeliverEndOfStream(), S_OK);
    EXPECT_EQ(input->BeginFlush(), S_OK);
    EXPECT_EQ(input->EndFlush(), S_OK);
    EXPECT_EQ(input->NewSegment(0, 100, 1.0), S_OK);
    EXPECT_EQ(input->Disconnect(), VFW_E_NOT_STOPPED);
    filter->Stop();
    source->Stop();
    EXPECT_EQ(source->Deliver(1, 0), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(input->Disconnect(), S_OK);
    EXPECT_EQ(source->pin().Disconnect(), S_OK);
    EXPECT_EQ(input->Disconnect(), S_FALSE);

    // Teardown: the last references go to zero.
    e = nullptr;
    input = nullptr;
    filter = nullptr;
    media = nullptr;
    persist = nullptr;
    EXPECT_EQ(unknown.detach()->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(SystemFilters, FilterConformance,
                         ::testing::Values(SystemFilterCase{"SampleGrabber", &CLSID_SampleGrabber, 1, 1},
                                           SystemFilterCase{"NullRenderer", &CLSID_NullRenderer, 1, 0}),
                         [](const ::testing::TestParamInfo<SystemFilterCase>& info) {
                             return info.param.name;
                         });

} // namespace
} // namespace testfilters
