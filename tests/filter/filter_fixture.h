// The expansion filter in a graph of test filters: a scripted RGB32 source, the filter, a recording
// sink. The filter is made in this program (the class itself), or created through COM from the
// registered libunfoldfilter.so.
#pragma once

#include <functional>
#include <memory>

#include "engine/orb_expander.h"
#include "filter/expansion_filter.h"
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace filter_testing {

using platform::ComPtr;
using testfilters::Held;
using testfilters::RecordingSink;
using testfilters::TestSource;
using testfilters::VideoType;

inline CExpansionFilter* NewFilter() {
    HRESULT hr = S_OK;
    CUnknown* u = CExpansionFilter::CreateInstance(nullptr, &hr);
    EXPECT_EQ(hr, S_OK);
    return static_cast<CExpansionFilter*>(u);
}

// Source -> filter -> sink, built and torn down with the graph.
struct FilterGraph {
    FilterGraph(IBaseFilter* filter, const CMediaType& input)
        : source(new TestSource(input)), sink(new RecordingSink(MEDIASUBTYPE_RGB32)), filter_(filter) {
        graph = testfilters::Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(source.filter(), L"Source");
        graph->AddFilter(filter, L"ZK900 4K Expander");
        graph->AddFilter(sink.filter(), L"Sink");
        graph.as(IID_IMediaControl, control);
    }
    ~FilterGraph() {
        if (control) control->Stop();
    }
    HRESULT connectInput() {
        return graph->ConnectDirect(&source->pin(), testfilters::PinOf(filter_, PINDIR_INPUT).get(), nullptr);
    }
    HRESULT connectOutput() {
        return graph->ConnectDirect(testfilters::PinOf(filter_, PINDIR_OUTPUT).get(), &sink->pin(), nullptr);
    }
    HRESULT connect() {
        HRESULT hr = connectInput();
        return FAILED(hr) ? hr : connectOutput();
    }

    Held<TestSource> source;
    Held<RecordingSink> sink;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;

private:
    IBaseFilter* filter_;
};

// The engine's picture of one input frame, drawn the way the filter draws it after connecting; steer,
// when given, changes the mode or view first as the control interfaces would.
inline std::vector<BYTE> EnginePicture(const BYTE* frame, uint16_t width, uint16_t height,
                                       const std::function<void(COrbExpander&)>& steer = nullptr) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"filter test reference";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Render", WS_POPUP, 0, 0, 1280, 720, nullptr, nullptr,
                                  nullptr, nullptr);
    std::vector<BYTE> out(CExpansionFilter::kOutFrameBytes);
    {
        COrbExpander engine;
        EXPECT_EQ(engine.Initialize(window), S_OK);
        engine.SetFrontViewRect(1, 1, 0, 0);
        engine.SetInput(width, height);
        engine.SetRenderBufSize(1280, 720);
        engine.SetExpMode(kDefaultMode);
        engine.Current()->SetFlip(true, true);
        if (steer) steer(engine);
        engine.UploadFrame(frame, uint32_t(width) * 4);
        EXPECT_EQ(engine.Render(out.data()), S_OK);
    }
    DestroyWindow(window);
    return out;
}

// The source's fill pattern for a frame (TestSource::Deliver).
inline std::vector<BYTE> SourceFrame(BYTE fill, size_t size) {
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(fill + i % 251);
    return bytes;
}

class FilterTest : public testfilters::DShowTest {};

} // namespace filter_testing
