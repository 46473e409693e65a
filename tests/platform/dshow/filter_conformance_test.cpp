// The checks every filter must pass, run over each by class identifier: the system filters built into
// the platform, and the filters of the deliverables, registered from their modules first as an
// installer would. A row names what the filter's input takes and its output gives; a filter without
// an input (a source) or without an output (a renderer) skips the checks of that side.
#include "filter/expansion_filter.h"
#include "tests/build_paths.h"
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

struct FilterCase {
    const char* name;
    const CLSID* clsid;
    const char* server;        // the COM server module to register first; null for a system filter
    const GUID* inputSubtype;  // video the input pin takes; null when there is no input
    const GUID* outputSubtype; // video the output pin gives; null when there is no output
};

class FilterConformance : public DShowTest, public ::testing::WithParamInterface<FilterCase> {
protected:
    void SetUp() override {
        DShowTest::SetUp();
        if (GetParam().server) {
            ASSERT_EQ(CallServer(GetParam().server, "DllRegisterServer"), S_OK);
        }
    }
};

TEST_P(FilterConformance, InterfacesPinsTypesStatesStreamingAndTeardown) {
    const FilterCase& c = GetParam();
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
    EXPECT_EQ(inputs, c.inputSubtype ? 1 : 0);
    EXPECT_EQ(outputs, c.outputSubtype ? 1 : 0);
    ComPtr<IPin> missing;
    EXPECT_EQ(filter->FindPin(L"nothing", missing.put()), VFW_E_NOT_FOUND);

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

    if (c.inputSubtype) {
        const CMediaType type = VideoType(*c.inputSubtype, 16, 16);
        Held<TestSource> source(new TestSource(type));
        ComPtr<IPin> input = PinOf(filter.get(), PINDIR_INPUT);
        EXPECT_EQ(input->QueryAccept(&type), S_OK);

        // A connection from a source: refused running, accepted stopped, once.
        filter->Run(0);
        EXPECT_EQ(input->ReceiveConnection(&source->pin(), &type), VFW_E_NOT_STOPPED);
        filter->Stop();
        ASSERT_EQ(source->pin().Connect(input.get(), nullptr), S_OK);
        EXPECT_EQ(source->pin().Connect(input.get(), nullptr), VFW_E_ALREADY_CONNECTED);
        // A transform filter streams only with its output connected too.
        std::unique_ptr<Held<RecordingSink>> sink;
        ComPtr<IPin> output = c.outputSubtype ? PinOf(filter.get(), PINDIR_OUTPUT) : nullptr;
        if (output) {
            sink = std::make_unique<Held<RecordingSink>>(new RecordingSink(*c.outputSubtype));
            ASSERT_EQ(output->Connect(&(*sink)->pin(), nullptr), S_OK);
            (*sink)->Run(0);
        }

        // Samples reach the output with their times; a filter that paces its frames may drop one
        // that comes late, never two in a row.
        source->Pause();
        filter->Run(0);
        source->Run(0);
        REFERENCE_TIME start = 0;
        for (int i = 0; i < 3 && (!sink || (*sink)->samples.empty()); ++i) {
            start = i * 333333LL;
            EXPECT_EQ(source->Deliver(1, start), S_OK);
        }
        if (sink) {
            ASSERT_EQ((*sink)->samples.size(), 1u);
            EXPECT_EQ((*sink)->samples[0].start, start);
            EXPECT_EQ((*sink)->samples[0].stop, start + 333333);
        }
        // End of stream, flushing and new segments are passed on downstream.
        EXPECT_EQ(source->pin().DeliverEndOfStream(), S_OK);
        EXPECT_EQ(input->BeginFlush(), S_OK);
        EXPECT_EQ(input->EndFlush(), S_OK);
        EXPECT_EQ(input->NewSegment(0, 100, 1.0), S_OK);
        if (sink) {
            EXPECT_EQ((*sink)->endOfStreams, 1);
            EXPECT_EQ((*sink)->flushes, 1);
            EXPECT_EQ((*sink)->segments, 1);
        }
        EXPECT_EQ(input->Disconnect(), VFW_E_NOT_STOPPED);
        filter->Stop();
        source->Stop();
        if (sink) (*sink)->Stop();
        EXPECT_EQ(source->Deliver(1, 0), VFW_E_NOT_COMMITTED);
        EXPECT_EQ(input->Disconnect(), S_OK);
        EXPECT_EQ(source->pin().Disconnect(), S_OK);
        EXPECT_EQ(input->Disconnect(), S_FALSE);
        if (output) {
            EXPECT_EQ(output->Disconnect(), S_OK);
            EXPECT_EQ((*sink)->pin().Disconnect(), S_OK);
        }
    }

    // Teardown: the last references go to zero.
    e = nullptr;
    filter = nullptr;
    media = nullptr;
    persist = nullptr;
    EXPECT_EQ(unknown.detach()->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterConformance,
    ::testing::Values(FilterCase{"SampleGrabber", &CLSID_SampleGrabber, nullptr, &MEDIASUBTYPE_RGB32,
                                 &MEDIASUBTYPE_RGB32},
                      FilterCase{"NullRenderer", &CLSID_NullRenderer, nullptr, &MEDIASUBTYPE_RGB32, nullptr},
                      FilterCase{"ExpansionFilter", &CLSID_ExpansionFilter, kUnfoldFilterPath,
                                 &MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB32}),
    [](const ::testing::TestParamInfo<FilterCase>& info) { return info.param.name; });

} // namespace
} // namespace testfilters
