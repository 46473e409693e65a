// The virtual camera filter without a camera: settings in the registry, its interfaces, the one
// private graph per process, and grey frames with their time stamps.
#include "platform/win32/debug.h"
#include "tests/vcam/vcam_fixture.h"
#include "vcam/camera_format.h"

namespace vcam_testing {
namespace {

TEST_F(VCamTest, WithoutAKeyTheDefaultsAreUsedAndSavedAtDestruction) {
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    int mode = -1, h = -1, v = -1, zoom = -1, lens = -1;
    control->GetUnfoldMode(&mode);
    control->GetViewPos(&h, &v);
    control->GetScale(&zoom);
    control->GetLensDirection(&lens);
    EXPECT_EQ(std::vector<int>({mode, h, v, zoom, lens}), std::vector<int>({6, 50, 50, 0, 1}));
    EXPECT_EQ(ReadSetting(L"Width"), -1); // nothing is written before destruction
    control.reset();
    camera->Release();
    const wchar_t* names[] = {L"Width",    L"Height", L"fps",        L"Horizontal",
                              L"Vertical", L"Zoom",   L"UnfoldMode", L"LensDir"};
    const int64_t expected[] = {1440, 1440, 15, 50, 50, 0, 6, 1};
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(ReadSetting(names[i]), expected[i]) << platform::ToUtf8(names[i]);
}

TEST_F(VCamTest, StoredValuesAreReadWithTheLensFlagAndTheSlowSquareCameraMended) {
    WriteSetting(L"LensDir", 7);
    WriteSetting(L"Width", 1440);
    WriteSetting(L"fps", 5);
    WriteSetting(L"Horizontal", 30);
    {
        // A value of another type keeps its default.
        HKEY key;
        RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_WRITE, &key);
        const wchar_t text[] = L"70";
        RegSetValueExW(key, L"Zoom", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        RegCloseKey(key);
    }
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    int lens = -1, zoom = -1, h = -1, v = -1;
    control->GetLensDirection(&lens);
    control->GetScale(&zoom);
    control->GetViewPos(&h, &v);
    EXPECT_EQ(lens, 1);
    EXPECT_EQ(zoom, 0);
    EXPECT_EQ(h, 30);
    EXPECT_EQ(v, 50);
    control.reset();
    camera->Release();
    EXPECT_EQ(ReadSetting(L"LensDir"), 1);
    EXPECT_EQ(ReadSetting(L"fps"), 15);
    EXPECT_EQ(ReadSetting(L"Zoom"), 0);
}

TEST_F(VCamTest, ChangesTakeEffectAtOnceAndReachTheRegistryWhenDestroyed) {
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    // Without a camera there is no expansion filter to tell: the setters say so and keep the values.
    EXPECT_EQ(control->SetUnfoldMode(3), E_FAIL);
    EXPECT_EQ(control->SetViewPos(-1, 40), E_FAIL);
    EXPECT_EQ(control->SetScale(20), E_FAIL);
    EXPECT_EQ(control->SetLensDirection(5), E_FAIL);
    int mode = -1, h = 0, v = 0, zoom = -1, lens = -1;
    control->GetUnfoldMode(&mode);
    control->GetViewPos(&h, &v);
    control->GetScale(&zoom);
    control->GetLensDirection(&lens);
    EXPECT_EQ(std::vector<int>({mode, h, v, zoom, lens}), std::vector<int>({3, -1, 40, 20, 5}));
    EXPECT_EQ(ReadSetting(L"UnfoldMode"), -1);
    EXPECT_EQ(control->GetUnfoldMode(nullptr), E_POINTER);
    control.reset();
    camera->Release();
    EXPECT_EQ(ReadSetting(L"UnfoldMode"), 3);
    EXPECT_EQ(ReadSetting(L"Horizontal"), 0xFFFFFFFF);
    EXPECT_EQ(ReadSetting(L"Vertical"), 40);
    EXPECT_EQ(ReadSetting(L"LensDir"), 1);
    // The next camera starts from them.
    camera = NewCamera();
    control = Control(camera);
    control->GetViewPos(&h, &v);
    control->GetLensDirection(&lens);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(lens, 1);
    control.reset();
    camera->Release();
}

TEST_F(VCamTest, AnswersItsInterfacesAndThePinsCaptureInterfaces) {
    CVCam* camera = NewCamera();
    IBaseFilter* filter = camera;
    EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
    ComPtr<IAMStreamConfig> config;
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(filter->QueryInterface(IID_IAMStreamConfig, config.putVoid()), S_OK);
    ASSERT_EQ(filter->QueryInterface(IID_IKsPropertySet, properties.putVoid()), S_OK);
    ComPtr<IPin> pin = testfilters::PinOf(filter, PINDIR_OUTPUT);
    ComPtr<IAMStreamConfig> pinConfig;
    ASSERT_EQ(pin->QueryInterface(IID_IAMStreamConfig, pinConfig.putVoid()), S_OK);
    EXPECT_EQ(config.get(), pinConfig.get()); // the pin's own
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    EXPECT_STREQ(info.achName, L"video");
    if (info.pFilter) info.pFilter->Release();

    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_VCam);
    ComPtr<IPersistPropertyBag> bag;
    ASSERT_EQ(filter->QueryInterface(IID_IPersistPropertyBag, bag.putVoid()), S_OK);
    EXPECT_EQ(bag->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_VCam);
    EXPECT_EQ(bag->InitNew(), S_OK);
    EXPECT_EQ(bag->Load(nullptr, nullptr), S_OK);
    EXPECT_EQ(bag->Save(nullptr, TRUE, TRUE), E_NOTIMPL);

    // In an ordinary host, asking for the page list adds a reference like any interface.
    filter->AddRef();
    const ULONG before = filter->Release();
    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(filter->QueryInterface(IID_ISpecifyPropertyPages, pages.putVoid()), S_OK);
    filter->AddRef();
    EXPECT_EQ(filter->Release(), before + 1);
    EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
    CAUUID list{};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], CLSID_SrcPropPage);
    CoTaskMemFree(list.pElems);

    config.reset(), properties.reset(), pinConfig.reset(), pin.reset(), bag.reset(), pages.reset();
    camera->Release();
}

TEST_F(VCamTest, CamerasOfAProcessShareOnePrivateGraphUntilTheLastGoes) {
    EXPECT_EQ(CVCam::PrivateGraph(), nullptr);
    CVCam* first = NewCamera();
    CInternalGraph* graph = CVCam::PrivateGraph();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(CVCam::InstanceCount(), 1);
    CVCam* second = NewCamera();
    EXPECT_EQ(CVCam::PrivateGraph(), graph);
    EXPECT_EQ(CVCam::InstanceCount(), 2);
    first->Release();
    EXPECT_EQ(CVCam::PrivateGraph(), graph);
    EXPECT_EQ(CVCam::InstanceCount(), 1);
    second->Release();
    EXPECT_EQ(CVCam::PrivateGraph(), nullptr);
    EXPECT_EQ(CVCam::InstanceCount(), 0);
}

TEST_F(VCamTest, WithoutACameraFramesAreGreyAndStampedOnAfterARestart) {
    CVCam* camera = NewCamera();
    EXPECT_EQ(CVCam::PrivateGraph()->State(), -1); // the graph could not be built
    {
        CameraGraph g(camera);
        ASSERT_EQ(g.connect(), S_OK);
        g.runFor(5);
        std::vector<FrameSink::Sample> first = g.sink->samples();
        ASSERT_EQ(first[0].data.size(), 2764800u);
        EXPECT_TRUE(Grey(first[0].data));
        EXPECT_TRUE(Grey(first[2].data));
        for (size_t k = 0; k < first.size(); ++k) {
            EXPECT_EQ(first[k].start, REFERENCE_TIME(k) * 333333) << k;
            EXPECT_EQ(first[k].stop, REFERENCE_TIME(k + 1) * 333333) << k;
            EXPECT_TRUE(first[k].syncPoint);
        }
        // Run again: the stamps go on from where the camera got to.
        g.runFor(first.size() + 3);
        std::vector<FrameSink::Sample> all = g.sink->samples();
        const FrameSink::Sample& resumed = all[first.size()];
        EXPECT_GT(resumed.start, first.back().start);
        for (size_t k = first.size() + 1; k < all.size(); ++k)
            EXPECT_EQ(all[k].start, all[k - 1].start + 333333) << k;
    }
    camera->Release();
}

TEST_F(VCamTest, ThePrivateGraphStampsEverySampleOneThirtiethLaterThanTheOneBefore) {
    CInternalGraph graph;
    CMemAllocator* allocator = new CMemAllocator(L"samples", nullptr);
    allocator->AddRef();
    ALLOCATOR_PROPERTIES want{1, 16, 1, 0}, got{};
    ASSERT_EQ(allocator->SetProperties(&want, &got), S_OK);
    ASSERT_EQ(allocator->Commit(), S_OK);
    EXPECT_EQ(graph.FillBuffer(nullptr), E_POINTER);
    for (int k = 0; k <= 100; ++k) {
        IMediaSample* sample = nullptr;
        ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
        ASSERT_EQ(graph.FillBuffer(sample), S_OK);
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        if (k == 0 || k == 100) {
            EXPECT_EQ(start, k * 333333LL);
            EXPECT_EQ(stop, (k + 1) * 333333LL);
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            EXPECT_TRUE(Grey(std::vector<BYTE>(data, data + 16)));
        }
        sample->Release();
    }
    allocator->Decommit();
    allocator->Release();
}

TEST(VCamModes, VirtualCameraModesReachTheFilterAsItsIndexes) {
    // Modes 9 and anything unnamed are the inverted dome (index 6); 10 is the 16:9 front view (9).
    const int expected[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 6, 9};
    for (int mode = 0; mode <= 10; ++mode)
        EXPECT_EQ(CInternalGraph::FilterModeIndex(mode), expected[mode]) << mode;
    for (int mode : {11, 12, -1, 1 << 30}) EXPECT_EQ(CInternalGraph::FilterModeIndex(mode), 6) << mode;
}

TEST(VCamFormats, FrameRatesAreTheNearestWholeNumberAndOnlyMjpgWithAFrameTimeIsUsable) {
    auto format = [](const GUID& subtype, REFERENCE_TIME frameTime) {
        CMediaType mt;
        mt.SetType(&MEDIATYPE_Video);
        mt.SetSubtype(&subtype);
        mt.SetFormatType(&FORMAT_VideoInfo);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        std::memset(vih, 0, sizeof *vih);
        vih->bmiHeader.biWidth = vih->bmiHeader.biHeight = 1440;
        vih->AvgTimePerFrame = frameTime;
        return CameraFormat::Of(mt);
    };
    // 15 fps stated as the nearest 100 ns (666667) or cut short (666666) is 15 either way.
    for (auto [time, fps] :
         {std::pair<REFERENCE_TIME, int>{666667, 15}, {666666, 15}, {333333, 30}, {2000000, 5}})
        EXPECT_EQ(format(MEDIASUBTYPE_MJPG, time).frameRate, fps) << time;
    EXPECT_TRUE(format(MEDIASUBTYPE_MJPG, 333333).usable());
    EXPECT_FALSE(format(MEDIASUBTYPE_MJPG, 0).usable());
    EXPECT_FALSE(format(MEDIASUBTYPE_YUY2, 333333).usable());
}

} // namespace
} // namespace vcam_testing
