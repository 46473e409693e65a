// CSource and CSourceStream: the worker's life through the filter's states, the stream's endings, a
// live source's pause, and state changes from several threads.
#include <evcode.h>

#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

using namespace std::chrono_literals;

// Waits (up to two seconds) until the sink has n samples.
bool WaitForSamples(RecordingSink& sink, size_t n) {
    auto deadline = std::chrono::steady_clock::now() + 2s;
    while (sink.count() < n) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Connects two pins for the life of the object (a direct connection holds both filters alive).
struct Connection {
    IPin *out, *in;
    Connection(IPin* o, IPin* i) : out(o), in(i) { EXPECT_EQ(out->Connect(in, nullptr), S_OK); }
    ~Connection() {
        out->Disconnect();
        in->Disconnect();
    }
};

class SourceStreamTest : public DShowTest {
protected:
    CMediaType type = VideoType(MEDIASUBTYPE_RGB32, 8, 8);
};

TEST_F(SourceStreamTest, PinArrayFollowsTheStreams) {
    Held<TestPushSource> source(new TestPushSource(type, false));
    EXPECT_EQ(source->GetPinCount(), 1);
    EXPECT_EQ(source->GetPin(0), &source->pin());
    EXPECT_EQ(source->GetPin(1), nullptr);
    EXPECT_EQ(source->FindPinNumber(&source->pin()), 0);
    ComPtr<IPin> found;
    ASSERT_EQ(source->FindPin(L"Out", found.put()), S_OK);
    EXPECT_EQ(found.get(), static_cast<IPin*>(&source->pin()));
    EXPECT_EQ(source->pStateLock(), source->pStateLock());

    // A second stream joins the array and leaves it when deleted.
    HRESULT hr = S_OK;
    auto* extra = new TestPushSource::Stream(source.p, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(source->GetPinCount(), 2);
    EXPECT_EQ(source->FindPinNumber(extra), 1);
    delete extra;
    EXPECT_EQ(source->GetPinCount(), 1);

    // One type, offered at position 0 and accepted only as it is.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(source->pin().EnumMediaTypes(types.put()), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(CMediaType(*offered[0]), type);
    DeleteMediaType(offered[0]);
    CMediaType other = VideoType(MEDIASUBTYPE_RGB32, 16, 8);
    EXPECT_EQ(source->pin().QueryAccept(&type), S_OK);
    EXPECT_EQ(source->pin().QueryAccept(&other), S_FALSE);
}

TEST_F(SourceStreamTest, WorkerDeliversOnlyWhileRunning) {
    Held<TestPushSource> source(new TestPushSource(type, false));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    Connection link(&source->pin(), &sink->pin());

    // A source that is not live cues in pause: no VFW_S_CANT_CUE.
    EXPECT_EQ(sink->Pause(), S_OK);
    EXPECT_EQ(source->Pause(), S_OK);
    EXPECT_EQ(source->created, 1);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sink->count(), 0u);

    sink->Run(0);
    EXPECT_EQ(source->Run(0), S_OK);
    ASSERT_TRUE(WaitForSamples(*sink.p, 3));
    EXPECT_EQ(source->Pause(), S_OK);
    // After the sample in hand, nothing more arrives until the next run.
    std::this_thread::sleep_for(20ms);
    size_t paused = sink->count();
    std::this_thread::sleep_for(30ms);
    EXPECT_LE(sink->count(), paused + 1);

    EXPECT_EQ(source->Run(0), S_OK);
    ASSERT_TRUE(WaitForSamples(*sink.p, paused + 3));
    EXPECT_EQ(source->Stop(), S_OK);
    EXPECT_EQ(sink->Stop(), S_OK);
    EXPECT_EQ(source->destroyed, 1);
    EXPECT_EQ(source->plays, 2);

    // Frames arrive in order, each stamped by its number.
    for (size_t i = 1; i < sink->samples.size(); ++i) {
        EXPECT_GT(sink->samples[i].start, sink->samples[i - 1].start);
        EXPECT_EQ(sink->samples[i].stop - sink->samples[i].start, 333333);
        EXPECT_EQ(sink->samples[i].data[0], static_cast<BYTE>(sink->samples[i].start / 333333));
    }

    // A second run starts a new worker.
    source->Pause();
    EXPECT_EQ(source->created, 2);
    source->Stop();
    EXPECT_EQ(source->destroyed, 2);
}

TEST_F(SourceStreamTest, LiveSourceCannotCueWhilePaused) {
    Held<TestPushSource> source(new TestPushSource(type, true));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    Connection link(&source->pin(), &sink->pin());
    FILTER_STATE state;

    EXPECT_EQ(source->Pause(), VFW_S_CANT_CUE);
    EXPECT_EQ(source->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    sink->Run(0);
    EXPECT_EQ(source->Run(0), S_OK);
    EXPECT_EQ(source->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(source->Pause(), VFW_S_CANT_CUE);
    EXPECT_EQ(source->Stop(), S_OK);
    EXPECT_EQ(source->GetState(0, &state), S_OK);
    sink->Stop();

    // The graph reports the live source too.
    auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    ASSERT_EQ(graph->AddFilter(source.filter(), L"source"), S_OK);
    ASSERT_EQ(graph->AddFilter(sink.filter(), L"sink"), S_OK);
    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph.as(IID_IMediaControl, control), S_OK);
    EXPECT_EQ(control->Pause(), S_FALSE);
    OAFilterState graphState;
    EXPECT_EQ(control->GetState(0, &graphState), VFW_S_CANT_CUE);
    EXPECT_EQ(control->Stop(), S_OK);
}

// FillBuffer's answers end the stream: S_FALSE quietly, an error with EC_ERRORABORT.
TEST_F(SourceStreamTest, FillBufferEndsTheStream) {
    for (HRESULT code : {S_FALSE, E_OUTOFMEMORY}) {
        Held<TestPushSource> source(new TestPushSource(type, true));
        Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
        source->failAt = 3;
        source->failCode = code;
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(source.filter(), L"source");
        graph->AddFilter(sink.filter(), L"sink");
        ASSERT_EQ(graph->Connect(&source->pin(), &sink->pin()), S_OK);
        ComPtr<IMediaControl> control;
        ComPtr<IMediaEvent> events;
        graph.as(IID_IMediaControl, control);
        graph.as(IID_IMediaEvent, events);
        ASSERT_EQ(control->Run(), S_OK);

        auto deadline = std::chrono::steady_clock::now() + 2s;
        while (sink->endOfStreams == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        EXPECT_EQ(sink->endOfStreams, 1);
        long event = 0;
        LONG_PTR p1 = 0, p2 = 0;
        bool aborted = false;
        while (events->GetEvent(&event, &p1, &p2, code == S_FALSE ? 50 : 1000) == S_OK) {
            if (event == EC_ERRORABORT) {
                aborted = true;
                EXPECT_EQ(static_cast<HRESULT>(p1), code);
                break;
            }
        }
        EXPECT_EQ(aborted, code != S_FALSE);
        EXPECT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(sink->count(), 3u);
    }
}

TEST_F(SourceStreamTest, FailingThreadCreationFailsThePause) {
    Held<TestPushSource> source(new TestPushSource(type, false));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    Connection link(&source->pin(), &sink->pin());
    source->createCode = E_ACCESSDENIED;
    EXPECT_EQ(source->Pause(), E_ACCESSDENIED);
    FILTER_STATE state;
    source->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_EQ(source->destroyed, 1);
    source->createCode = S_OK;
    EXPECT_EQ(source->Pause(), S_OK);
    EXPECT_EQ(source->Stop(), S_OK);
}

// Downstream keeps every sample: the worker waits in the allocator, and Stop still ends it.
TEST_F(SourceStreamTest, StopWakesAWorkerWaitingForABuffer) {
    Held<TestPushSource> source(new TestPushSource(type, true));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    sink->holdSamples = true;
    Connection link(&source->pin(), &sink->pin());
    sink->Run(0);
    source->Run(0);
    ASSERT_TRUE(WaitForSamples(*sink.p, 2)); // both buffers are now downstream
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sink->count(), 2u);
    EXPECT_EQ(source->Stop(), S_OK); // source first: the sink still holds the buffers
    EXPECT_EQ(sink->Stop(), S_OK);
    EXPECT_EQ(source->destroyed, 1);
}

// Two application threads start, pause and stop the same graph at random; each transition completes
// and the filter ends stopped with its worker gone.
TEST_F(SourceStreamTest, StateChangesFromTwoThreads) {
    Held<TestPushSource> source(new TestPushSource(type, true));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    source->interval = 0ms;
    auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    graph->AddFilter(source.filter(), L"source");
    graph->AddFilter(sink.filter(), L"sink");
    ASSERT_EQ(graph->Connect(&source->pin(), &sink->pin()), S_OK);
    ComPtr<IMediaControl> control;
    graph.as(IID_IMediaControl, control);

    auto drive = [&](unsigned seed) {
        for (int i = 0; i < 60; ++i) {
            seed = seed * 1103515245u + 12345u;
            switch ((seed >> 16) % 3) {
            case 0:
                EXPECT_TRUE(SUCCEEDED(control->Run()));
                break;
            case 1:
                EXPECT_TRUE(SUCCEEDED(control->Pause()));
                break;
            default:
                EXPECT_EQ(control->Stop(), S_OK);
                break;
            }
        }
    };
    std::thread a(drive, 1u), b(drive, 7u);
    a.join();
    b.join();
    // And the filter alone, against the graph.
    std::thread c([&] {
        for (int i = 0; i < 30; ++i) {
            source->Run(0);
            source->Stop();
        }
    });
    for (int i = 0; i < 30; ++i) {
        control->Run();
        control->Stop();
    }
    c.join();
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(source->created, source->destroyed);
    EXPECT_GT(source->created, 0);
    EXPECT_FALSE(source->pin().ThreadExists());
}

} // namespace
} // namespace testfilters
