// unfoldcam.dll inside a Windows DirectShow: registered with Wine's regsvr32 among the video capture
// devices, found by name through Wine's device enumerator and streamed into a graph that Wine's capture
// graph builder connects. Wine has no fisheye camera (and no MJPEG decompressor for the camera's
// private graph), so the camera streams its grey frame, as it does on a machine without the camera.
// Run under Wine by scripts/windows.sh test, with UNFOLD_CAMERA_DLL and UNFOLD_FILTER_DLL set.
#include <windows.h>

#include <dshow.h>
#include <qedit.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/wine/wine_support.h"
#include "vcam/orbe_src_gen.h"

namespace {

using wine::ComPtr;

constexpr wchar_t kCameraName[] = L"TELMAR ZK900 4K UVC";
constexpr wchar_t kPageName[] = L"SrcFltrProp";
constexpr DWORD kMerit = 0x200000;
constexpr LONG kWidth = 1280, kHeight = 720;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3;
constexpr BYTE kGrey = 128;

std::wstring CameraInstanceKey() {
    return wine::InstanceKey(CLSID_VideoInputDeviceCategory, CLSID_VCam);
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(wine::CameraDll().empty()) << "UNFOLD_CAMERA_DLL is not set";
        ASSERT_FALSE(wine::FilterDll().empty()) << "UNFOLD_FILTER_DLL is not set";
    }
    void TearDown() override {
        EXPECT_EQ(wine::Regsvr32(wine::CameraDll(), true), 0u);
        EXPECT_EQ(wine::Regsvr32(wine::FilterDll(), true), 0u);
    }
};

// regsvr32 writes both classes (the camera and its property page) and the camera's entry in the video
// input category; regsvr32 /u removes all of them, and the class can no longer be created.
TEST_F(CameraTest, RegisterAndUnregister) {
    ASSERT_EQ(wine::Regsvr32(wine::CameraDll(), false), 0u);

    const std::wstring dll = wine::Lower(wine::FullPath(wine::CameraDll()));
    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, wine::ClsidKey(CLSID_VCam), nullptr), kCameraName);
    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, wine::ClsidKey(CLSID_SrcPropPage), nullptr), kPageName);
    for (REFCLSID clsid : {CLSID_VCam, CLSID_SrcPropPage}) {
        const std::wstring server = wine::ClsidKey(clsid) + L"\\InprocServer32";
        EXPECT_EQ(wine::Lower(wine::RegText(HKEY_CLASSES_ROOT, server, nullptr).value_or(L"")), dll);
        EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, server, L"ThreadingModel"), L"Both");
    }

    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, CameraInstanceKey(), L"FriendlyName"), kCameraName);
    EXPECT_EQ(wine::RegText(HKEY_CLASSES_ROOT, CameraInstanceKey(), L"CLSID"), wine::GuidText(CLSID_VCam));
    const std::optional<wine::FilterRecord> record =
        wine::ReadFilterRecord(CLSID_VideoInputDeviceCategory, CLSID_VCam);
    ASSERT_TRUE(record) << "no FilterData of at least 12 bytes";
    EXPECT_EQ(record->version, 2u);
    EXPECT_EQ(record->merit, kMerit);
    EXPECT_EQ(record->pins, 1u);

    ASSERT_EQ(wine::Regsvr32(wine::CameraDll(), true), 0u);
    EXPECT_FALSE(wine::KeyExists(HKEY_CLASSES_ROOT, wine::ClsidKey(CLSID_VCam)));
    EXPECT_FALSE(wine::KeyExists(HKEY_CLASSES_ROOT, wine::ClsidKey(CLSID_SrcPropPage)));
    EXPECT_FALSE(wine::KeyExists(HKEY_CLASSES_ROOT, CameraInstanceKey()));
    ComPtr<IBaseFilter> camera;
    EXPECT_EQ(CoCreateInstance(CLSID_VCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, camera.outVoid()),
              REGDB_E_CLASSNOTREG);
}

// An application's view of the camera: listed by name among the video capture devices, a source
// offering 1280 x 720 RGB24 through IAMStreamConfig, with its property page, and connected by Wine's
// capture graph builder into a sample grabber that receives whole frames.
TEST_F(CameraTest, StreamsIntoACaptureGraph) {
    ASSERT_EQ(wine::Regsvr32(wine::FilterDll(), false), 0u);
    ASSERT_EQ(wine::Regsvr32(wine::CameraDll(), false), 0u);

    ComPtr<ICreateDevEnum> devices;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devices.outVoid()),
              S_OK);
    ComPtr<IEnumMoniker> monikers;
    ASSERT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.out(), 0), S_OK);
    const std::vector<std::wstring> names = wine::FriendlyNames(monikers.get());
    EXPECT_NE(std::find(names.begin(), names.end(), kCameraName), names.end());

    ComPtr<IBaseFilter> camera = wine::FilterByName(CLSID_VideoInputDeviceCategory, kCameraName);
    ASSERT_TRUE(camera);
    CLSID clsid{};
    EXPECT_EQ(camera->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_VCam);
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(camera->QueryInterface(IID_ISpecifyPropertyPages, specify.outVoid()), S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_EQ(pages.pElems[0], CLSID_SrcPropPage);
    CoTaskMemFree(pages.pElems);
    ComPtr<IPropertyPage> page;
    EXPECT_EQ(
        CoCreateInstance(CLSID_SrcPropPage, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.outVoid()),
        S_OK);

    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               graph.outVoid()),
              S_OK);
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICaptureGraphBuilder2, builder.outVoid()),
              S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
    ASSERT_EQ(graph->AddFilter(camera.get(), kCameraName), S_OK);

    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.get(),
                                     IID_IAMStreamConfig, config.outVoid()),
              S_OK);
    AM_MEDIA_TYPE* format = nullptr;
    ASSERT_EQ(config->GetFormat(&format), S_OK);
    EXPECT_EQ(format->subtype, MEDIASUBTYPE_RGB24);
    ASSERT_EQ(format->formattype, FORMAT_VideoInfo);
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(format->pbFormat);
    EXPECT_EQ(vih->bmiHeader.biWidth, kWidth);
    EXPECT_EQ(vih->bmiHeader.biHeight, kHeight);
    EXPECT_EQ(vih->bmiHeader.biBitCount, 24);
    CoTaskMemFree(format->pbFormat);
    CoTaskMemFree(format);

    wine::FrameCollector collector;
    wine::GrabberSink sink;
    ASSERT_EQ(wine::AddGrabberSink(graph.get(), MEDIASUBTYPE_RGB24, collector, sink), S_OK);
    // No pin category: the builder connects the camera's pin straight to the grabber. (For the capture
    // category Wine's builder inserts its Smart Tee, which copies each frame into a second buffer of the
    // camera's one-buffer allocator and so waits forever; Windows' Smart Tee passes the sample on.)
    ASSERT_EQ(builder->RenderStream(nullptr, &MEDIATYPE_Video, camera.get(), sink.grabber.get(),
                                    sink.renderer.get()),
              S_OK);

    ComPtr<IMediaControl> media;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, media.outVoid()), S_OK);
    ASSERT_TRUE(SUCCEEDED(media->Run()));
    // 30 frames a second: three frames come well within the ten seconds allowed on a busy machine.
    for (int waited = 0; waited < 10000 && collector.count() < 3; waited += 50) Sleep(50);
    // Wine's graph passes on the live source's VFW_S_CANT_CUE from the pause on the way to stopped.
    ASSERT_TRUE(SUCCEEDED(media->Stop()));

    const std::vector<std::vector<BYTE>> frames = collector.frames();
    ASSERT_GE(frames.size(), 3u);
    for (const std::vector<BYTE>& frame : frames) {
        ASSERT_EQ(frame.size(), kFrameBytes);
        EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](BYTE b) { return b == kGrey; }));
    }
}

} // namespace
