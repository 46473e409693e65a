// libunfoldfilter.so as an application meets it: registered in a temporary registry, found by name
// among the DirectShow filters, created through COM and run in a graph.
#include <dlfcn.h>

#include <oleauto.h>

#include "tests/build_paths.h"
#include "tests/filter/filter_fixture.h"

namespace filter_testing {
namespace {

HRESULT callServer(const char* entry) {
    void* module = dlopen(kUnfoldFilterPath, RTLD_NOW | RTLD_LOCAL);
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(module);
    return hr;
}

ComPtr<IBaseFilter> findFilter(const wchar_t* name) {
    return testfilters::FindByName(CLSID_LegacyAmFilterCategory, name);
}

std::string guidText(REFGUID g) {
    wchar_t text[40];
    StringFromGUID2(g, text, 40);
    std::string s;
    for (wchar_t* p = text; *p; ++p) s += char(*p);
    return s;
}

class RegistrationTest : public FilterTest {};

TEST_F(RegistrationTest, RegisteredEntriesAndTheirRemoval) {
    ASSERT_EQ(callServer("DllRegisterServer"), S_OK);
    std::string classes = registry.read("HKEY_CLASSES_ROOT");
    const std::string clsid = guidText(CLSID_ExpansionFilter);
    EXPECT_NE(classes.find("[HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "]"), std::string::npos);
    EXPECT_NE(classes.find("@=\"ZK900 4K Expander\""), std::string::npos);
    EXPECT_NE(classes.find("[HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32]"), std::string::npos);
    EXPECT_NE(classes.find("\"ThreadingModel\"=\"Both\""), std::string::npos);
    EXPECT_NE(classes.find("libunfoldfilter.so"), std::string::npos);
    EXPECT_NE(classes.find(guidText(CLSID_LegacyAmFilterCategory) + "\\Instance\\" + clsid),
              std::string::npos);
    EXPECT_NE(findFilter(L"ZK900 4K Expander"), nullptr);

    ASSERT_EQ(callServer("DllUnregisterServer"), S_OK);
    classes = registry.read("HKEY_CLASSES_ROOT");
    EXPECT_EQ(classes.find(clsid), std::string::npos);
    EXPECT_EQ(findFilter(L"ZK900 4K Expander"), nullptr);
}

TEST_F(RegistrationTest, ClassObjectsAndUnloading) {
    void* module = dlopen(kUnfoldFilterPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    auto getClassObject =
        reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(dlsym(module, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllCanUnloadNow"));
    ASSERT_TRUE(getClassObject && canUnload);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(CLSID_NULL, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(getClassObject(CLSID_ExpansionFilter, IID_IBaseFilter, &p), E_NOINTERFACE);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_ExpansionFilter, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, filter.putVoid()), S_OK);
    factory.reset();
    EXPECT_EQ(canUnload(), S_FALSE); // a filter is alive
    filter.reset();
    EXPECT_EQ(canUnload(), S_OK);
    dlclose(module);
}

TEST_F(RegistrationTest, AGraphBuiltThroughComCarriesUnfoldedFrames) {
    ASSERT_EQ(callServer("DllRegisterServer"), S_OK);
    {
        ComPtr<IBaseFilter> expander = findFilter(L"ZK900 4K Expander");
        ASSERT_NE(expander, nullptr);
        auto grabberFilter = testfilters::Create<IBaseFilter>(CLSID_SampleGrabber, IID_IBaseFilter);
        auto renderer = testfilters::Create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(grabberFilter.as(IID_ISampleGrabber, grabber), S_OK);
        AM_MEDIA_TYPE wanted{};
        wanted.majortype = MEDIATYPE_Video;
        wanted.subtype = MEDIASUBTYPE_RGB32;
        grabber->SetMediaType(&wanted);
        grabber->SetBufferSamples(TRUE);
        // A camera of 5 frames per second: frames up to 300 ms apart are drawn, so that filling and
        // drawing these large frames on a slow (sanitizer) build still lets one through.
        CMediaType camera = VideoType(MEDIASUBTYPE_RGB32, 1440, 1440);
        reinterpret_cast<VIDEOINFOHEADER*>(camera.Format())->AvgTimePerFrame = 2000000;
        Held<TestSource> source(new TestSource(camera));
        auto graph = testfilters::Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(source.filter(), L"Camera");
        graph->AddFilter(expander.get(), L"ZK900 4K Expander");
        graph->AddFilter(grabberFilter.get(), L"SampleGrabber");
        graph->AddFilter(renderer.get(), L"NullRenderer");
        ASSERT_EQ(graph->Connect(&source->pin(), testfilters::PinOf(expander.get(), PINDIR_INPUT).get()),
                  S_OK);
        ASSERT_EQ(graph->Connect(testfilters::PinOf(expander.get(), PINDIR_OUTPUT).get(),
                                 testfilters::PinOf(grabberFilter.get(), PINDIR_INPUT).get()),
                  S_OK);
        ASSERT_EQ(graph->Connect(testfilters::PinOf(grabberFilter.get(), PINDIR_OUTPUT).get(),
                                 testfilters::PinOf(renderer.get(), PINDIR_INPUT).get()),
                  S_OK);
        ComPtr<IMediaControl> control;
        graph.as(IID_IMediaControl, control);
        ASSERT_EQ(control->Run(), S_OK);
        // The same frame until one follows its predecessor within the limit and is drawn.
        long size = 0;
        for (int i = 0; i < 20 && grabber->GetCurrentBuffer(&size, nullptr) != S_OK; ++i)
            ASSERT_EQ(source->Deliver(8, i * 333333), S_OK);
        ASSERT_EQ(grabber->GetCurrentBuffer(&size, nullptr), S_OK);
        ASSERT_EQ(size, 1440 * 1440 * 4);
        std::vector<BYTE> grabbed(static_cast<size_t>(size));
        ASSERT_EQ(grabber->GetCurrentBuffer(&size, reinterpret_cast<long*>(grabbed.data())), S_OK);
        control->Stop();
        std::vector<BYTE> frame = SourceFrame(8, grabbed.size());
        std::vector<BYTE> expected = EnginePicture(frame.data(), 1440, 1440);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), grabbed.begin()));
        // The unfolded frame is a real picture, not a cleared buffer.
        int lit = 0;
        for (size_t i = 0; i < expected.size(); i += 3)
            lit += expected[i] + expected[i + 1] + expected[i + 2] > 30;
        EXPECT_GT(lit, 500000);
    }
    ASSERT_EQ(callServer("DllUnregisterServer"), S_OK);
}

} // namespace
} // namespace filter_testing
