// unfoldfilter.dll inside a Windows DirectShow: Wine's COM, registry, filter graph, device enumerator,
// Sample Grabber and Null Renderer. Run under Wine by scripts/windows.sh test, with
//   UNFOLD_FILTER_DLL  the DLL (a Windows path), registered and unregistered here with regsvr32
//   UNFOLD_WINE_DATA   a folder with fisheye.bmp (the source's 32-bit frame) and, for each case of
//                      --print-cases, <case>.bmp: the 24-bit frame the Linux build's `unfold image`
//                      drew of the same picture with the same settings.
#include <windows.h>

#include <dshow.h>
#include <qedit.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filter/expansion_filter.h"
#include "modes/mode_table.h"
#include "tests/wine/wine_support.h"

namespace {

using wine::ComPtr;

constexpr wchar_t kFilterName[] = L"ZK900 4K Expander";
// The merit the filter is registered with (the value of MERIT_DO_NOT_USE).
constexpr DWORD kMerit = 0x200000;
constexpr LONG kOutWidth = 1280, kOutHeight = 720;
constexpr size_t kOutFrameBytes = size_t(kOutWidth) * kOutHeight * 3;

std::wstring FilterInstanceKey() {
    return wine::InstanceKey(CLSID_LegacyAmFilterCategory, CLSID_ExpansionFilter);
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(wine::FilterDll().empty()) << "UNFOLD_FILTER_DLL is not set"; }
    void TearDown() override { EXPECT_EQ(wine::Regsvr32(wine::FilterDll(), false), 0u); }
};

// regsvr32 writes the COM server entries and the filter's registration in the DirectShow filter
// category; regsvr32 /u removes both.
TEST_F(Registration, RegisterAndUnregister) {
    ASSERT_EQ(wine::Regsvr32(wine::FilterDll(), false), 0u);

    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, wine::ClsidKey(CLSID_ExpansionFilter), nullptr), kFilterName);
    const std::wstring server = wine::ClsidKey(CLSID_ExpansionFilter) + L"\\InprocServer32";
    EXPECT_EQ(wine::Lower(wine::RegText(HKEY_CLASSES_ROOT, server, nullptr).value_or(L"")),
              wine::Lower(wine::FullPath(wine::FilterDll())));
    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, server, L"ThreadingModel"), L"Both");

    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, FilterInstanceKey(), L"FriendlyName"), kFilterName);
    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, FilterInstanceKey(), L"CLSID"),
              wine::GuidText(CLSID_ExpansionFilter));
    // The filter record: version 2 of the registry form, the merit, two pins.
    const std::optional<wine::FilterRecord> record =
        wine::ReadFilterRecord(CLSID_LegacyAmFilterCategory, CLSID_ExpansionFilter);
    ASSERT_TRUE(record) << "no FilterData of at least 12 bytes";
    EXPECT_EQ(record->version, 2u);
    EXPECT_EQ(record->merit, kMerit);
    EXPECT_EQ(record->pins, 2u);

    ASSERT_EQ(wine::Regsvr32(wine::FilterDll(), true), 0u);
    EXPECT_FALSE(wine::KeyExists(HKEY_CLASSES_ROOT, wine::ClsidKey(CLSID_ExpansionFilter)));
    EXPECT_FALSE(wine::KeyExists(HKEY_CLASSES_ROOT, FilterInstanceKey()));
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(CLSID_ExpansionFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               filter.outVoid()),
              REGDB_E_CLASSNOTREG);
}

// Wine's filter mapper finds the filter among those that take and give RGB32 video at its merit.
TEST_F(Registration, FilterMapperMatchesItsPins) {
    ASSERT_EQ(wine::Regsvr32(wine::FilterDll(), false), 0u);
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                               mapper.outVoid()),
              S_OK);
    const GUID types[2] = {MEDIATYPE_Video, MEDIASUBTYPE_RGB32};
    ComPtr<IEnumMoniker> found;
    ASSERT_EQ(mapper->EnumMatchingFilters(found.out(), 0, TRUE, kMerit, TRUE, 1, types, nullptr, nullptr,
                                          FALSE, TRUE, 1, types, nullptr, nullptr),
              S_OK);
    std::vector<std::wstring> names = wine::FriendlyNames(found.get());
    EXPECT_NE(std::find(names.begin(), names.end(), kFilterName), names.end());
}

// The test source: one output pin of 32-bit bottom-up RGB frames of the fisheye picture, delivered on
// the calling thread.
class PictureSource : public CBaseFilter {
public:
    class Pin : public CBaseOutputPin {
    public:
        explicit Pin(PictureSource* f) : CBaseOutputPin(L"picture pin", f, &f->lock_, L"Out"), source_(f) {}
        HRESULT CheckMediaType(const CMediaType* pmt) override {
            return *pmt == source_->type_ ? S_OK : S_FALSE;
        }
        HRESULT GetMediaType(int i, CMediaType* pmt) override {
            if (i < 0) return E_INVALIDARG;
            if (i > 0) return VFW_S_NO_MORE_ITEMS;
            return pmt->Set(source_->type_);
        }
        HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* req) override {
            ALLOCATOR_PROPERTIES want = *req, got;
            want.cBuffers = 1;
            want.cbBuffer = LONG(source_->type_.GetSampleSize());
            if (HRESULT hr = alloc->SetProperties(&want, &got); FAILED(hr)) return hr;
            return got.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
        }

    private:
        PictureSource* source_;
    };

    explicit PictureSource(const wine::Bitmap& picture)
        : CBaseFilter(L"Picture source", nullptr, &lock_, GUID_NULL), picture_(picture), pin_(this) {
        VIDEOINFOHEADER vih{};
        vih.AvgTimePerFrame = 666666; // 15 frames per second, as the camera
        vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih.bmiHeader.biWidth = picture.width;
        vih.bmiHeader.biHeight = picture.height;
        vih.bmiHeader.biPlanes = 1;
        vih.bmiHeader.biBitCount = 32;
        vih.bmiHeader.biCompression = BI_RGB;
        vih.bmiHeader.biSizeImage = DWORD(picture.bits.size());
        type_.SetType(&MEDIATYPE_Video);
        type_.SetSubtype(&MEDIASUBTYPE_RGB32);
        type_.SetFormatType(&FORMAT_VideoInfo);
        type_.SetFormat(reinterpret_cast<BYTE*>(&vih), sizeof vih);
        type_.SetSampleSize(ULONG(picture.bits.size()));
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }

    HRESULT DeliverFrame(REFERENCE_TIME start) {
        IMediaSample* sample = nullptr;
        if (HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0); FAILED(hr)) return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, picture_.bits.data(), picture_.bits.size());
        REFERENCE_TIME stop = start + 666666;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetActualDataLength(LONG(picture_.bits.size()));
        HRESULT hr = pin_.Deliver(sample);
        sample->Release();
        return hr;
    }

private:
    CCritSec lock_;
    const wine::Bitmap& picture_;
    CMediaType type_;
    Pin pin_;
};

// One picture drawn through the filter: a mode chosen through IOrbExpFilter (none: the mode the
// filter connects in) and, optionally, a view position and zoom.
struct GraphCase {
    const char* name;
    std::optional<int32_t> mode;
    std::optional<std::pair<float, float>> view;
    std::optional<float> zoom;
};

const GraphCase kCases[] = {
    {"default", std::nullopt, std::nullopt, std::nullopt},
    {"none", kModeNone, std::nullopt, std::nullopt},
    {"panorama", kModePanorama, std::nullopt, std::nullopt},
    {"seg_view_zoom", kModeSeg, std::pair{30.0f, 70.0f}, 40.0f},
    {"quad", kModeQuad, std::nullopt, std::nullopt},
    {"throwout", kModeThrowOut, std::nullopt, std::nullopt},
};

// The `unfold image` options that draw a case on Linux.
std::string UnfoldImageOptions(const GraphCase& c) {
    std::string options;
    if (c.mode) options += " --mode " + std::to_string(*c.mode);
    if (c.view) {
        char text[64];
        std::snprintf(text, sizeof text, " --view %g %g", double(c.view->first), double(c.view->second));
        options += text;
    }
    if (c.zoom) options += " --zoom " + std::to_string(int(*c.zoom));
    return options;
}

class WineGraph : public ::testing::TestWithParam<GraphCase> {
protected:
    static void SetUpTestSuite() {
        picture_ = new wine::Bitmap(wine::ReadBitmap(wine::DataFile(L"fisheye.bmp")));
        registered_ = wine::Regsvr32(wine::FilterDll(), false);
    }
    void SetUp() override {
        ASSERT_EQ(registered_, 0u) << "regsvr32 failed";
        ASSERT_FALSE(picture_->bits.empty()) << "no fisheye.bmp in UNFOLD_WINE_DATA";
    }
    static void TearDownTestSuite() {
        delete picture_;
        picture_ = nullptr;
        wine::Regsvr32(wine::FilterDll(), true);
    }
    static wine::Bitmap* picture_;
    static DWORD registered_;
};
wine::Bitmap* WineGraph::picture_ = nullptr;
DWORD WineGraph::registered_ = 0;

// The device enumerator lists the filter by name in the DirectShow filter category; bound from there it
// is the expansion filter, with its control interface.
TEST_F(WineGraph, EnumeratorFindsTheFilterByName) {
    ComPtr<IBaseFilter> filter = wine::FilterByName(CLSID_LegacyAmFilterCategory, kFilterName);
    ASSERT_TRUE(filter);
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ExpansionFilter);
    ComPtr<IOrbExpFilter> control;
    EXPECT_EQ(filter->QueryInterface(IID_IOrbExpFilter, control.outVoid()), S_OK);
}

// Test source -> the filter (created through COM from the enumerator) -> Wine's Sample Grabber ->
// Wine's Null Renderer: every frame the grabber sees equals, byte for byte, the Linux build's frame.
TEST_P(WineGraph, FramesEqualTheLinuxBuild) {
    const GraphCase& c = GetParam();
    const wine::Bitmap expected = wine::ReadBitmap(wine::DataFile(wine::Widen(c.name) + L".bmp"));
    ASSERT_EQ(expected.bitCount, 24);
    ASSERT_EQ(expected.width, kOutWidth);
    ASSERT_EQ(expected.height, kOutHeight);
    ASSERT_EQ(expected.bits.size(), kOutFrameBytes);

    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               graph.outVoid()),
              S_OK);
    auto* source = new PictureSource(*picture_);
    ComPtr<IBaseFilter> sourceFilter;
    ASSERT_EQ(source->NonDelegatingQueryInterface(IID_IBaseFilter, sourceFilter.outVoid()), S_OK);
    ComPtr<IBaseFilter> expander = wine::FilterByName(CLSID_LegacyAmFilterCategory, kFilterName);
    ASSERT_TRUE(expander);
    wine::FrameCollector collector;
    wine::GrabberSink sink;
    ASSERT_EQ(wine::AddGrabberSink(graph.get(), MEDIASUBTYPE_RGB32, collector, sink), S_OK);

    ASSERT_EQ(graph->AddFilter(sourceFilter.get(), L"Picture source"), S_OK);
    ASSERT_EQ(graph->AddFilter(expander.get(), kFilterName), S_OK);
    ASSERT_EQ(graph->ConnectDirect(wine::PinOf(sourceFilter.get(), PINDIR_OUTPUT).get(),
                                   wine::PinOf(expander.get(), PINDIR_INPUT).get(), nullptr),
              S_OK);
    ASSERT_EQ(graph->ConnectDirect(wine::PinOf(expander.get(), PINDIR_OUTPUT).get(),
                                   wine::PinOf(sink.grabber.get(), PINDIR_INPUT).get(), nullptr),
              S_OK);
    ASSERT_EQ(graph->ConnectDirect(wine::PinOf(sink.grabber.get(), PINDIR_OUTPUT).get(),
                                   wine::PinOf(sink.renderer.get(), PINDIR_INPUT).get(), nullptr),
              S_OK);

    // The settings, in the order the virtual camera applies them: mode, view, zoom, lens direction.
    ComPtr<IOrbExpFilter> control;
    ASSERT_EQ(expander->QueryInterface(IID_IOrbExpFilter, control.outVoid()), S_OK);
    if (c.mode) {
        ASSERT_NE(FilterIndexOfMode(*c.mode), kNoIndex);
        ASSERT_EQ(control->SetUnfoldMode(FilterIndexOfMode(*c.mode)), S_OK);
        if (c.view) {
            EXPECT_EQ(control->SetViewPosABS(c.view->first, c.view->second), S_OK);
        }
        if (c.zoom) {
            EXPECT_EQ(control->SetScaleABS(*c.zoom), S_OK);
        }
        EXPECT_EQ(control->SetLensDirection(TRUE), S_OK);
    }

    // No reference clock for the graph: the renderer shows each frame as it comes.
    ComPtr<IMediaFilter> timing;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaFilter, timing.outVoid()), S_OK);
    ASSERT_EQ(timing->SetSyncSource(nullptr), S_OK);
    ComPtr<IMediaControl> media;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, media.outVoid()), S_OK);
    // Run returns before the renderer has a frame (it completes the transition on the first one).
    ASSERT_TRUE(SUCCEEDED(media->Run()));
    // The filter draws a frame only when it follows the one before within its frame-interval limit
    // (measured on its own clock): the first frame, long after the filter was made, may be dropped, but
    // frames sent back to back are drawn.
    constexpr int kFrames = 3;
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(source->DeliverFrame(REFERENCE_TIME(i) * 666666), S_OK);
    ASSERT_EQ(media->Stop(), S_OK);

    const std::vector<std::vector<BYTE>> frames = collector.frames();
    ASSERT_GE(frames.size(), 1u);
    for (const std::vector<BYTE>& frame : frames) {
        ASSERT_GE(frame.size(), kOutFrameBytes);
        const auto [ours, theirs] = std::mismatch(
            frame.begin(), frame.begin() + std::ptrdiff_t(kOutFrameBytes), expected.bits.begin());
        EXPECT_TRUE(ours == frame.begin() + std::ptrdiff_t(kOutFrameBytes))
            << c.name << ": first difference at byte " << (ours - frame.begin()) << " (Wine " << int(*ours)
            << ", Linux " << int(*theirs) << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WineGraph, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<GraphCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

int main(int argc, char** argv) {
    // --print-cases: one line per case, its name and the `unfold image` options that draw it on Linux.
    if (argc == 2 && std::strcmp(argv[1], "--print-cases") == 0) {
        for (const GraphCase& c : kCases) std::printf("%s%s\n", c.name, UnfoldImageOptions(c).c_str());
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
