#include <atomic>
#include <chrono>
#include <thread>

#include <unistd.h>

#include <oleauto.h>

#include "platform/win32/fault_injection.h"
#include "tests/build_paths.h"
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

class GraphTest : public DShowTest {};

TEST_F(GraphTest, RegisteredFilterIsListedByNameAndUnregisteredAway) {
    auto devices = Create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
    ComPtr<IEnumMoniker> e;
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, e.put(), 0), S_FALSE);
    EXPECT_EQ(e.get(), nullptr);
    EXPECT_EQ(FindByName(CLSID_LegacyAmFilterCategory, kConverterName), nullptr);
    EXPECT_NE(FindByName(CLSID_LegacyAmFilterCategory, L"Null Renderer"), nullptr); // built in

    ASSERT_EQ(CallTestServer("DllRegisterServer"), S_OK);
    std::string hive = registry.read("HKEY_CLASSES_ROOT");
    EXPECT_NE(hive.find("[HKEY_CLASSES_ROOT\\CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\"
                        "{5A0B0C11-7E21-4C3D-8F40-1A2B3C4D5E01}]"),
              std::string::npos)
        << hive;
    EXPECT_NE(hive.find("\"FriendlyName\"=\"Unfold Test Converter\""), std::string::npos);
    auto converter = FindByName(CLSID_LegacyAmFilterCategory, kConverterName);
    ASSERT_NE(converter, nullptr);
    CLSID clsid;
    converter->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_TestConverter);
    converter = nullptr;

    ASSERT_EQ(CallTestServer("DllUnregisterServer"), S_OK);
    EXPECT_EQ(FindByName(CLSID_LegacyAmFilterCategory, kConverterName), nullptr);
    EXPECT_EQ(registry.read("HKEY_CLASSES_ROOT").find("5A0B0C11"), std::string::npos);
    CoFreeUnusedLibraries();
}

TEST_F(GraphTest, ConnectInsertsARegisteredConverter) {
    ASSERT_EQ(CallTestServer("DllRegisterServer"), S_OK);
    Held<TestSource> source(new TestSource(VideoType(MEDIASUBTYPE_RGB24, 4, 2)));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    {
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(source.filter(), L"Source");
        graph->AddFilter(sink.filter(), L"Sink");
        EXPECT_NE(graph->ConnectDirect(&source->pin(), &sink->pin(), nullptr), S_OK);
        ASSERT_EQ(graph->Connect(&source->pin(), &sink->pin()), S_OK);
        ComPtr<IBaseFilter> inserted;
        ASSERT_EQ(graph->FindFilterByName(kConverterName, inserted.put()), S_OK);
        ComPtr<IMediaControl> control;
        graph.as(IID_IMediaControl, control);
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_EQ(source->Deliver(0, 0), S_OK);
        control->Stop();
        ASSERT_EQ(sink->samples.size(), 1u);
        ASSERT_EQ(sink->samples[0].data.size(), 4u * 2 * 4);
        EXPECT_EQ(sink->samples[0].data[4], 3); // the second pixel's blue byte, from byte 3 of the input
        EXPECT_EQ(sink->samples[0].data[7], 0);

        // Disconnected and removed, the pins are free again.
        graph->RemoveFilter(inserted.get());
        ComPtr<IPin> peer;
        EXPECT_EQ(source->pin().ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(graph->Connect(&sink->pin(), &source->pin()), VFW_E_INVALID_DIRECTION);
    }
    CallTestServer("DllUnregisterServer");
    CoFreeUnusedLibraries();
}

TEST_F(GraphTest, NamesEnumerationReconnectAndRemoval) {
    Held<TestSource> source(new TestSource(VideoType(MEDIASUBTYPE_RGB32, 4, 2)));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    Held<RecordingSink> outsider(new RecordingSink(MEDIASUBTYPE_RGB32));
    {
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        EXPECT_EQ(graph->AddFilter(source.filter(), L"Same"), S_OK);
        EXPECT_EQ(graph->AddFilter(sink.filter(), L"Same"), VFW_S_DUPLICATE_NAME);
        FILTER_INFO info;
        sink->QueryFilterInfo(&info);
        EXPECT_STREQ(info.achName, L"Same 0001");
        EXPECT_EQ(info.pGraph, static_cast<IFilterGraph*>(graph.get()));
        info.pGraph->Release();
        ComPtr<IBaseFilter> found;
        EXPECT_EQ(graph->FindFilterByName(L"Nobody", found.put()), VFW_E_NOT_FOUND);

        ComPtr<IEnumFilters> e;
        ASSERT_EQ(graph->EnumFilters(e.put()), S_OK);
        IBaseFilter* listed[3] = {};
        ULONG n = 0;
        EXPECT_EQ(e->Next(3, listed, &n), S_FALSE);
        ASSERT_EQ(n, 2u);
        EXPECT_EQ(listed[0], source.filter());
        for (ULONG i = 0; i < n; ++i) listed[i]->Release();

        EXPECT_EQ(graph->ConnectDirect(&source->pin(), &outsider->pin(), nullptr), VFW_E_NOT_IN_GRAPH);
        ASSERT_EQ(graph->ConnectDirect(&source->pin(), &sink->pin(), nullptr), S_OK);
        EXPECT_EQ(graph->Reconnect(&sink->pin()), S_OK);
        EXPECT_TRUE(sink->pin().IsConnected());
        EXPECT_EQ(graph->RemoveFilter(sink.filter()), S_OK);
        EXPECT_FALSE(source->pin().IsConnected());
        EXPECT_EQ(graph->RemoveFilter(sink.filter()), VFW_E_NOT_FOUND);
        sink->QueryFilterInfo(&info);
        EXPECT_EQ(info.pGraph, nullptr);
    }
}

TEST_F(GraphTest, MissingClockMeansRunningWithoutOne) {
    Held<TestSource> source(new TestSource(VideoType(MEDIASUBTYPE_RGB32, 4, 2)));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    {
        platform::ScopedFault noClock("CoCreateInstance:{E436EBB1-524F-11CE-9F53-0020AF0BA770}",
                                      REGDB_E_CLASSNOTREG);
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(source.filter(), L"Source");
        graph->AddFilter(sink.filter(), L"Sink");
        graph->ConnectDirect(&source->pin(), &sink->pin(), nullptr);
        ComPtr<IMediaControl> control;
        graph.as(IID_IMediaControl, control);
        ASSERT_EQ(control->Run(), S_OK);
        ComPtr<IReferenceClock> clock;
        sink->GetSyncSource(clock.put());
        EXPECT_EQ(clock.get(), nullptr);
        EXPECT_EQ(source->Deliver(5, 0), S_OK);
        EXPECT_EQ(sink->samples.size(), 1u);
        control->Stop();
    }
}

TEST_F(GraphTest, SystemClockCountsHundredsOfNanoseconds) {
    auto clock = Create<IReferenceClock>(CLSID_SystemClock, IID_IReferenceClock);
    REFERENCE_TIME a = 0, b = 0;
    ASSERT_GE(clock->GetTime(&a), S_OK);
    Sleep(20);
    clock->GetTime(&b);
    EXPECT_GE(b - a, 20 * 10000);
    EXPECT_LT(b - a, 2000 * 10000);
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR cookie = 0;
    ASSERT_EQ(clock->AdviseTime(b, 5 * 10000, reinterpret_cast<HEVENT>(event), &cookie), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
    HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 100, nullptr);
    clock->GetTime(&a);
    ASSERT_EQ(clock->AdvisePeriodic(a + 10000, 10000, reinterpret_cast<HSEMAPHORE>(semaphore), &cookie),
              S_OK);
    EXPECT_EQ(WaitForSingleObject(semaphore, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(semaphore, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(clock->Unadvise(cookie), S_OK);
    EXPECT_EQ(clock->Unadvise(cookie), S_FALSE);
    clock = nullptr;
    CloseHandle(event);
    CloseHandle(semaphore);
}

// A pass-through whose Transform holds the streaming lock until told to go on, then drops the frame,
// which sends EC_QUALITY_CHANGE to the graph while the streaming lock is still held.
class HoldingPassThrough : public PassThrough {
public:
    HRESULT Transform(IMediaSample*, IMediaSample*) override {
        entered = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return S_FALSE;
    }
    std::atomic<bool> entered{false}, release{false};
};

// Three threads each take locks in the documented order: a streaming thread holds the streaming lock
// and sends an event, an application thread stops the filter (filter lock, then streaming lock), and
// the graph changes state (graph lock, then filter locks as it looks at pins). None may end up
// waiting for another. Exits 0 when all three finish.
[[noreturn]] void StopPauseAndEventFromAStreamingThread() {
    Held<TestSource> source(new TestSource(VideoType(MEDIASUBTYPE_RGB32, 4, 2)));
    Held<HoldingPassThrough> transform(new HoldingPassThrough);
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    graph->AddFilter(source.filter(), L"Source");
    graph->AddFilter(transform.filter(), L"Pass");
    graph->AddFilter(sink.filter(), L"Sink");
    ComPtr<IPin> in, out;
    transform->FindPin(L"In", in.put());
    transform->FindPin(L"Out", out.put());
    if (graph->Connect(&source->pin(), in.get()) != S_OK || graph->Connect(out.get(), &sink->pin()) != S_OK)
        std::_Exit(2);
    ComPtr<IMediaFilter> graphFilter;
    graph.as(IID_IMediaFilter, graphFilter);
    graphFilter->SetSyncSource(nullptr); // so that Pause goes straight to the filters' pins
    // The filters run by themselves while the graph still counts as stopped.
    source->Pause();
    transform->Pause();
    std::thread streaming([&] { source->Deliver(1, 0); });
    while (!transform->entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread stopping([&] { transform->Stop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::thread pausing([&] { graphFilter->Pause(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    transform->release = true;
    streaming.join();
    stopping.join();
    pausing.join();
    std::_Exit(0);
}

// In a child process that a watchdog ends, so a deadlock fails the test rather than hanging it.
TEST_F(GraphTest, AStateChangeAStopAndAnEventFromAStreamingThreadDoNotDeadlock) {
    EXPECT_EXIT(
        {
            alarm(10);
            StopPauseAndEventFromAStreamingThread();
        },
        ::testing::ExitedWithCode(0), "");
}

// Another thread takes and leaves the lock while this one asks whether it holds it: the answer is
// no until this thread takes it, and the question is no data race (ThreadSanitizer checks that).
TEST(CritSec, OwnershipIsAnsweredWhileOtherThreadsTakeTheLock) {
    CCritSec lock;
    std::atomic<bool> done{false};
    std::atomic<int> taken{0}, otherSawItself{0}, otherSawMine{0};
    std::thread other([&] {
        while (!done) {
            CAutoLock hold(&lock);
            otherSawItself += lock.OwnedByCurrentThread();
            ++taken;
        }
    });
    // The questions below come while the other thread is taking the lock, however late it starts.
    while (taken == 0) std::this_thread::yield();
    int mine = 0;
    for (int i = 0; i < 2000; ++i) mine += lock.OwnedByCurrentThread();
    EXPECT_EQ(mine, 0);
    {
        CAutoLock hold(&lock);
        EXPECT_TRUE(lock.OwnedByCurrentThread());
        std::thread([&] { otherSawMine += lock.OwnedByCurrentThread(); }).join();
    }
    EXPECT_FALSE(lock.OwnedByCurrentThread());
    done = true;
    other.join();
    EXPECT_GT(otherSawItself, 0);
    EXPECT_EQ(otherSawItself, taken);
    EXPECT_EQ(otherSawMine, 0);
}

// A streaming thread sends events while the filter joins and leaves the graph: each event either
// reaches the graph or is refused as having no graph, and reading the graph's sink is no data race.
TEST_F(GraphTest, EventsFromAStreamingThreadWhileTheFilterJoinsAndLeaves) {
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    ComPtr<IMediaEvent> events;
    graph.as(IID_IMediaEvent, events);
    std::atomic<bool> done{false};
    std::atomic<int> sent{0}, other{0};
    std::thread streaming([&] {
        while (!done) {
            HRESULT hr = sink->NotifyEvent(EC_USER, 0, 0);
            if (hr == S_OK)
                ++sent;
            else if (hr != E_NOTIMPL)
                ++other;
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(graph->AddFilter(sink.filter(), L"Sink"), S_OK);
        ASSERT_EQ(graph->RemoveFilter(sink.filter()), S_OK);
    }
    done = true;
    streaming.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(sink->NotifyEvent(EC_USER, 0, 0), E_NOTIMPL);
    ASSERT_EQ(graph->AddFilter(sink.filter(), L"Sink"), S_OK);
    EXPECT_EQ(sink->NotifyEvent(EC_USER, 1, 2), S_OK);
    long code;
    LONG_PTR p1, p2;
    int received = 0;
    bool last = false;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        received += code == EC_USER;
        last = code == EC_USER && p1 == 1 && p2 == 2;
    }
    EXPECT_EQ(received, sent + 1);
    EXPECT_TRUE(last);
}

TEST_F(GraphTest, ServerEntryPointsFollowTheBaseRules) {
    void* module = dlopen(kDshowTestServerPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    auto get = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(module, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(module, "DllCanUnloadNow"));
    EXPECT_EQ(dlsym(module, "AMovieDllRegisterServer2"), nullptr); // only the four entry points are exported
    void* out = nullptr;
    EXPECT_EQ(get(CLSID_FilterGraph, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(get(CLSID_TestConverter, IID_IBaseFilter, &out), E_NOINTERFACE);
    {
        platform::ScopedFault fault("DllGetClassObject", E_OUTOFMEMORY);
        EXPECT_EQ(get(CLSID_TestConverter, IID_IClassFactory, &out), E_OUTOFMEMORY);
    }
    IClassFactory* factory = nullptr;
    ASSERT_EQ(get(CLSID_TestConverter, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE); // the filter is alive
    filter->Release();
    EXPECT_EQ(canUnload(), S_OK);
    dlclose(module);
}

} // namespace
} // namespace testfilters
