// Two expansion filters in one process, each streaming on its own thread while two more threads steer
// them. The lens direction, the colour settings and the calibration are shared by both, so they are
// written while the other filter draws; every frame must still be drawn with one lens direction. The
// pins are connected directly, without a filter graph, so that only the filters' own locks and the
// engine's are involved.
#include <atomic>
#include <thread>

#include "tests/filter/filter_fixture.h"

namespace filter_testing {
namespace {

constexpr uint16_t kSide = 64;
constexpr int kFramesPerFilter = 10;

// Source -> filter -> sink, connected pin to pin and run by hand.
struct Chain {
    Chain(IBaseFilter* f, const CMediaType& type)
        : source(new TestSource(type)), sink(new RecordingSink(MEDIASUBTYPE_RGB32)), filter(f) {}
    HRESULT connect() {
        HRESULT hr = source->pin().Connect(testfilters::PinOf(filter, PINDIR_INPUT).get(), nullptr);
        if (SUCCEEDED(hr)) hr = testfilters::PinOf(filter, PINDIR_OUTPUT)->Connect(&sink->pin(), nullptr);
        return hr;
    }
    void run() {
        sink->Run(0);
        filter->Run(0);
        source->Run(0);
    }
    void stop() {
        source->Stop();
        filter->Stop();
        sink->Stop();
        testfilters::PinOf(filter, PINDIR_INPUT)->Disconnect();
        testfilters::PinOf(filter, PINDIR_OUTPUT)->Disconnect();
        source->pin().Disconnect();
        sink->pin().Disconnect();
    }

    Held<TestSource> source;
    Held<RecordingSink> sink;
    IBaseFilter* filter;
};

// The dome at a fixed view: the lens direction turns the dome over and moves it, so a frame that mixed
// the two directions would match neither picture.
void domeView(COrbExpander& engine, bool up) {
    engine.SetExpMode(kModeDome);
    engine.Current()->SetPosition(50, 50);
    engine.Current()->SetZoom(20);
    engine.Current()->SetFlip(up, up);
}

TEST_F(FilterTest, TwoFiltersStreamWhileTwoThreadsSteerThem) {
    const std::vector<BYTE> input = SourceFrame(7, size_t(kSide) * kSide * 4);
    const std::vector<BYTE> up =
        EnginePicture(input.data(), kSide, kSide, [](COrbExpander& e) { domeView(e, true); });
    const std::vector<BYTE> down =
        EnginePicture(input.data(), kSide, kSide, [](COrbExpander& e) { domeView(e, false); });
    ASSERT_NE(up, down);

    Held<CExpansionFilter> first(NewFilter()), second(NewFilter());
    const CMediaType type = VideoType(MEDIASUBTYPE_RGB32, kSide, kSide);
    Chain a(first.filter(), type), b(second.filter(), type);
    ASSERT_EQ(a.connect(), S_OK);
    ASSERT_EQ(b.connect(), S_OK);
    ComPtr<IOrbExpFilter> steerA;
    ComPtr<IORBE_General> steerB;
    ASSERT_EQ(first->NonDelegatingQueryInterface(IID_IOrbExpFilter, steerA.putVoid()), S_OK);
    ASSERT_EQ(second->NonDelegatingQueryInterface(IID_IORBE_General, steerB.putVoid()), S_OK);
    ASSERT_EQ(steerA->SetUnfoldMode(FilterIndexOfMode(kModeDome)), S_OK);
    ASSERT_EQ(steerB->SetUnfoldMode(GeneralIndexOfMode(kModeDome)), S_OK);
    steerA->SetViewPosABS(50, 50);
    steerA->SetScaleABS(20);
    steerB->SetViewPosABS(50, 50);
    steerB->SetScaleABS(20);
    a.run();
    b.run();

    std::atomic<int> streaming{2};
    auto stream = [&](Chain& g) {
        for (int i = 0; i < kFramesPerFilter; ++i) EXPECT_EQ(g.source->Deliver(7, i * 333333LL), S_OK);
        streaming--;
    };
    std::thread streamA(stream, std::ref(a)), streamB(stream, std::ref(b));
    // One steering thread turns the lens through the first filter; the other turns it through the
    // second, asks for its mode and view, and rewrites the colour settings and calibration with the
    // values they have, as a property page applying unchanged settings does.
    std::thread turnA([&] {
        for (int k = 0; streaming > 0; ++k) steerA->SetLensDirection(k & 1);
    });
    std::thread turnB([&] {
        for (int k = 0; streaming > 0; ++k) {
            steerB->SetLensDirection((k >> 1) & 1);
            int index = -1;
            float h = -1, v = -1;
            steerB->GetUnfoldMode(&index);
            steerB->GetViewPos(&h, &v);
            EXPECT_EQ(index, GeneralIndexOfMode(kModeDome));
            EngineShared().SetContrast(1.0f);
            EngineShared().SetSharpness(0.0f);
            EngineShared().SetCircleRadius(0.5f);
            EngineShared().SetCentreOffset(0, 0);
        }
    });
    streamA.join();
    streamB.join();
    turnA.join();
    turnB.join();
    a.stop();
    b.stop();

    for (Chain* g : {&a, &b}) {
        ASSERT_GE(g->sink->samples.size(), 2u); // at most every other frame is late under a slow build
        for (const auto& sample : g->sink->samples) {
            ASSERT_GE(sample.data.size(), up.size());
            const bool isUp = std::equal(up.begin(), up.end(), sample.data.begin());
            const bool isDown = std::equal(down.begin(), down.end(), sample.data.begin());
            EXPECT_TRUE(isUp || isDown) << "a frame drawn with neither lens direction";
        }
    }
    EngineShared().Reset();
}

} // namespace
} // namespace filter_testing
