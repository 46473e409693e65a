// Cameras as a capture application drives them: found by the device enumerator, configured through
// IAMStreamConfig, rendered with ICaptureGraphBuilder2 through the MJPEG decompressor into a sample
// grabber and a null renderer, and run.
#include <algorithm>
#include <filesystem>
#include <mutex>

#include <evcode.h>
#include <vfwmsgs.h>
#include <winerror.h>

#include "platform/dshow/camera/clip_camera_registry.h"
#include "platform/dshow/camera/v4l2_camera.h"
#include "platform/dshow/capture_filter.h"
#include "tests/platform/dshow/camera/fake_uvc_camera.h"
#include "tests/platform/dshow/camera/jpeg_frames.h"
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

using namespace std::chrono_literals;
using testcamera::DecodeBottomUpBgrx;
using testcamera::MakeJpeg;

constexpr int kWidth = 64, kHeight = 48;

// Records what the grabber sees: each frame's bytes and sample time.
class Recorder final : public ISampleGrabberCB {
public:
    struct Frame {
        std::vector<BYTE> data;
        REFERENCE_TIME start = 0;
        std::chrono::steady_clock::time_point arrived;
    };
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_ISampleGrabberCB) return E_NOINTERFACE;
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        Frame f;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        f.data.assign(data, data + sample->GetActualDataLength());
        REFERENCE_TIME stop;
        sample->GetTime(&f.start, &stop);
        f.arrived = std::chrono::steady_clock::now();
        std::lock_guard lock(mutex_);
        frames_.push_back(std::move(f));
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    std::vector<Frame> frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    size_t count() {
        std::lock_guard lock(mutex_);
        return frames_.size();
    }

private:
    std::mutex mutex_;
    std::vector<Frame> frames_;
};

class CaptureTest : public DShowTest {
protected:
    void SetUp() override {
        DShowTest::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("unfold-capture-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        DShowTest::TearDown();
    }

    // A clip of `count` numbered frames at 30 frames per second; frame `damaged` (if any) is cut short.
    std::string writeClip(int count, int damaged = -1) {
        std::vector<std::vector<uint8_t>> frames;
        for (int i = 0; i < count; ++i) {
            frames.push_back(MakeJpeg(kWidth, kHeight, i));
            if (i == damaged) frames.back().resize(frames.back().size() / 3);
        }
        std::string path = (dir / "clip.mjpg").string();
        testcamera::WriteMjpgClip(path, kWidth, kHeight, 30, frames);
        return path;
    }

    // Builds camera -> MJPEG decompressor -> sample grabber (RGB32, calling back) -> null renderer.
    void buildGraph(IBaseFilter* camera) {
        builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
        graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
        decoder = Create<IBaseFilter>(CLSID_MjpegDec, IID_IBaseFilter);
        grabberFilter = Create<IBaseFilter>(CLSID_SampleGrabber, IID_IBaseFilter);
        renderer = Create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(grabberFilter.as(IID_ISampleGrabber, grabber), S_OK);
        AM_MEDIA_TYPE want{};
        want.majortype = MEDIATYPE_Video;
        want.subtype = MEDIASUBTYPE_RGB32;
        ASSERT_EQ(grabber->SetMediaType(&want), S_OK);
        ASSERT_EQ(grabber->SetCallback(&recorder, 0), S_OK);
        ASSERT_EQ(graph->AddFilter(camera, L"camera"), S_OK);
        ASSERT_EQ(graph->AddFilter(decoder.get(), L"decoder"), S_OK);
        ASSERT_EQ(graph->AddFilter(grabberFilter.get(), L"grabber"), S_OK);
        ASSERT_EQ(graph->AddFilter(renderer.get(), L"renderer"), S_OK);
        ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, decoder.get(),
                                        grabberFilter.get()),
                  S_OK);
        ASSERT_EQ(graph->Connect(PinOf(grabberFilter.get(), PINDIR_OUTPUT).get(),
                                 PinOf(renderer.get(), PINDIR_INPUT).get()),
                  S_OK);
        ASSERT_EQ(graph.as(IID_IMediaControl, control), S_OK);
        ASSERT_EQ(graph.as(IID_IMediaEvent, events), S_OK);
    }

    void releaseGraph() {
        if (control) control->Stop();
        control = nullptr;
        events = nullptr;
        builder = nullptr;
        graph = nullptr;
        decoder = grabberFilter = renderer = nullptr;
    }

    std::filesystem::path dir;
    Recorder recorder;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> decoder, grabberFilter, renderer;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
};

std::wstring ReadBagText(REFCLSID category, const wchar_t* name, const wchar_t* property) {
    auto devices = Create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
    ComPtr<IEnumMoniker> e;
    if (devices->CreateClassEnumerator(category, e.put(), 0) != S_OK) return L"";
    IMoniker* m;
    while (e->Next(1, &m, nullptr) == S_OK) {
        auto moniker = ComPtr<IMoniker>::adopt(m);
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid());
        VARIANT v;
        VariantInit(&v);
        bool match = SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && std::wcscmp(v.bstrVal, name) == 0;
        VariantClear(&v);
        if (!match) continue;
        std::wstring text;
        VariantInit(&v);
        if (SUCCEEDED(bag->Read(property, &v, nullptr)) && v.vt == VT_BSTR) text = v.bstrVal;
        VariantClear(&v);
        return text;
    }
    return L"";
}

TEST_F(CaptureTest, ClipCameraIsListedWithOneCapabilityPerFormat) {
    platform::camera::ClipCameraDefinition definition{
        L"Test Cam", {{kWidth, kHeight, 30}, {kWidth, kHeight, 15}}, {{"64x48", writeClip(4)}}};
    ASSERT_EQ(platform::camera::WriteClipCamera(definition), S_OK);

    EXPECT_EQ(ReadBagText(CLSID_VideoInputDeviceCategory, L"Test Cam", L"DevicePath"), L"clip:Test Cam");
    EXPECT_EQ(FindByName(CLSID_VideoInputDeviceCategory, L"test cam"), nullptr); // case matters
    ComPtr<IBaseFilter> camera = FindByName(CLSID_VideoInputDeviceCategory, L"Test Cam");
    ASSERT_TRUE(camera);
    CLSID clsid{};
    EXPECT_EQ(camera->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Proxy);

    auto builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.get(),
                                     IID_IAMStreamConfig, config.putVoid()),
              S_OK);
    ComPtr<IPin> capture = PinOf(camera.get(), PINDIR_OUTPUT);
    LPWSTR id = nullptr;
    ASSERT_EQ(capture->QueryId(&id), S_OK);
    EXPECT_STREQ(id, L"Capture");
    CoTaskMemFree(id);

    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(size, 128);
    const REFERENCE_TIME intervals[] = {333333, 666667};
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_EQ(mt->majortype, MEDIATYPE_Video);
        EXPECT_EQ(mt->subtype, MEDIASUBTYPE_MJPG);
        EXPECT_EQ(mt->formattype, FORMAT_VideoInfo);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
        EXPECT_EQ(vih->bmiHeader.biWidth, kWidth);
        EXPECT_EQ(vih->bmiHeader.biHeight, kHeight);
        EXPECT_EQ(vih->bmiHeader.biCompression, DWORD(MAKEFOURCC('M', 'J', 'P', 'G')));
        EXPECT_EQ(vih->AvgTimePerFrame, intervals[i]);
        EXPECT_EQ(caps.guid, FORMAT_VideoInfo);
        EXPECT_EQ(caps.MaxOutputSize.cx, kWidth);
        EXPECT_EQ(caps.MaxOutputSize.cy, kHeight);
        EXPECT_EQ(caps.MinFrameInterval, intervals[i]);
        if (i == 1) {
            EXPECT_EQ(config->SetFormat(mt), S_OK);
        }
        DeleteMediaType(mt);
    }
    AM_MEDIA_TYPE* chosen = nullptr;
    ASSERT_EQ(config->GetFormat(&chosen), S_OK);
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(chosen->pbFormat)->AvgTimePerFrame, 666667);
    DeleteMediaType(chosen);
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(config->GetStreamCaps(2, &mt, reinterpret_cast<BYTE*>(&caps)), S_FALSE);

    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(capture.as(IID_IKsPropertySet, properties), S_OK);
    GUID category{};
    DWORD returned = 0;
    ASSERT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                              sizeof category, &returned),
              S_OK);
    EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
}

// The clip plays at the declared rate with increasing sample times; every frame is libjpeg-turbo's own
// decode turned bottom-up BGRX; the damaged frame is skipped and the one after it shown.
TEST_F(CaptureTest, ClipCameraDeliversDecodedFramesAtTheDeclaredRate) {
    constexpr int kFrames = 6, kDamaged = 2;
    platform::camera::ClipCameraDefinition definition{L"Test Cam",
                                                      {{kWidth, kHeight, 15}, {kWidth, kHeight, 30}},
                                                      {{"64x48", writeClip(kFrames, kDamaged)}}};
    ASSERT_EQ(platform::camera::WriteClipCamera(definition), S_OK);
    ComPtr<IBaseFilter> camera = FindByName(CLSID_VideoInputDeviceCategory, L"Test Cam");
    ASSERT_TRUE(camera);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(PinOf(camera.get(), PINDIR_OUTPUT).as(IID_IAMStreamConfig, config), S_OK);
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(1, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK); // 30 frames a second
    ASSERT_EQ(config->SetFormat(mt), S_OK);
    DeleteMediaType(mt);
    buildGraph(camera.get());

    ASSERT_EQ(control->Run(), S_OK);
    // Wait for the first frame, then count over a wall-clock window.
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (recorder.count() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    size_t first = recorder.count();
    auto windowStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1500ms);
    size_t last = recorder.count();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - windowStart).count();
    control->Stop();

    // 30 frames a second, less the damaged frame of every loop of 6 (25 a second delivered).
    double rate = double(last - first) / seconds;
    EXPECT_GT(rate, 25 * 0.7);
    EXPECT_LT(rate, 25 * 1.3);

    std::vector<std::vector<uint8_t>> decoded;
    for (int i = 0; i < kFrames; ++i)
        decoded.push_back(DecodeBottomUpBgrx(MakeJpeg(kWidth, kHeight, i), kWidth, kHeight));
    auto frames = recorder.frames();
    ASSERT_GE(frames.size(), 10u);
    std::vector<int> shown;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(frames[i].start, frames[i - 1].start);
        }
        auto it = std::find(decoded.begin(), decoded.end(), frames[i].data);
        ASSERT_NE(it, decoded.end()) << "frame " << i << " is no decode of the clip";
        shown.push_back(int(it - decoded.begin()));
    }
    EXPECT_EQ(std::count(shown.begin(), shown.end(), kDamaged), 0);
    auto after = std::find(shown.begin(), shown.end(), kDamaged - 1);
    ASSERT_NE(after, shown.end());
    if (after + 1 != shown.end()) {
        EXPECT_EQ(*(after + 1), kDamaged + 1);
    }
    // Sample times step by one frame interval (two over the damaged frame).
    for (size_t i = 1; i < frames.size(); ++i) {
        REFERENCE_TIME step = frames[i].start - frames[i - 1].start;
        EXPECT_TRUE(step % 333333 <= 2 || step % 333333 >= 333331) << step;
    }
    releaseGraph();
}

// SetFormat on a connected pin of a stopped graph reconnects it in the new format; a running graph
// refuses, and a format the camera does not have is refused.
TEST_F(CaptureTest, SetFormatReconnectsAConnectedPin) {
    ASSERT_EQ(platform::camera::WriteClipCamera(
                  {L"Test Cam", {{kWidth, kHeight, 30}, {kWidth, kHeight, 15}}, {{"64x48", writeClip(3)}}}),
              S_OK);
    ComPtr<IBaseFilter> camera = FindByName(CLSID_VideoInputDeviceCategory, L"Test Cam");
    ASSERT_TRUE(camera);
    buildGraph(camera.get());
    ComPtr<IPin> capture = PinOf(camera.get(), PINDIR_OUTPUT);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(capture.as(IID_IAMStreamConfig, config), S_OK);
    auto connectedInterval = [&] {
        AM_MEDIA_TYPE mt{};
        EXPECT_EQ(capture->ConnectionMediaType(&mt), S_OK);
        REFERENCE_TIME interval = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->AvgTimePerFrame;
        FreeMediaType(mt);
        return interval;
    };
    EXPECT_EQ(connectedInterval(), 333333);

    AM_MEDIA_TYPE* slow = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(1, &slow, reinterpret_cast<BYTE*>(&caps)), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(config->SetFormat(slow), VFW_E_NOT_STOPPED);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(config->SetFormat(slow), S_OK);
    EXPECT_EQ(connectedInterval(), 666667);
    reinterpret_cast<VIDEOINFOHEADER*>(slow->pbFormat)->bmiHeader.biWidth = kWidth * 2;
    EXPECT_EQ(config->SetFormat(slow), VFW_E_INVALIDMEDIATYPE);
    DeleteMediaType(slow);

    // The stream runs in the new format.
    ASSERT_EQ(control->Run(), S_OK);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (recorder.count() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    control->Stop();
    auto frames = recorder.frames();
    ASSERT_GE(frames.size(), 2u);
    // One frame interval apart, or a whole number of them when a loaded machine made the camera drop.
    EXPECT_GT(frames[1].start - frames[0].start, 0);
    EXPECT_EQ((frames[1].start - frames[0].start) % 666667, 0);
    releaseGraph();
}

// A live source cannot cue: pausing answers VFW_S_CANT_CUE, and the graph's pause says so too.
TEST_F(CaptureTest, PausedCameraCannotCue) {
    ASSERT_EQ(
        platform::camera::WriteClipCamera({L"Test Cam", {{kWidth, kHeight, 30}}, {{"64x48", writeClip(3)}}}),
        S_OK);
    ComPtr<IBaseFilter> camera = FindByName(CLSID_VideoInputDeviceCategory, L"Test Cam");
    ASSERT_TRUE(camera);
    buildGraph(camera.get());
    EXPECT_EQ(control->Pause(), S_FALSE);
    FILTER_STATE state;
    EXPECT_EQ(camera->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    releaseGraph();
}

// A clip that is missing gives a camera that is listed and connects, but sends nothing; no crash.
TEST_F(CaptureTest, MissingClipGivesASilentCamera) {
    ASSERT_EQ(platform::camera::WriteClipCamera(
                  {L"Test Cam", {{kWidth, kHeight, 30}}, {{"64x48", (dir / "gone.mjpg").string()}}}),
              S_OK);
    ComPtr<IBaseFilter> camera = FindByName(CLSID_VideoInputDeviceCategory, L"Test Cam");
    ASSERT_TRUE(camera);
    buildGraph(camera.get());
    ASSERT_EQ(control->Run(), S_OK);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(recorder.count(), 0u);
    releaseGraph();
}

// A V4L2 camera unplugged while it streams ends the stream with EC_ERRORABORT; the graph stops cleanly.
TEST_F(CaptureTest, UnpluggedV4l2CameraEndsTheStreamWithAnError) {
    testcamera::FakeUvcCamera fake;
    HRESULT hr = E_FAIL;
    auto backend = platform::camera::V4l2Camera::Open(fake, testcamera::FakeUvcCamera::kNode, hr);
    ASSERT_EQ(hr, S_OK);
    auto* filter = static_cast<platform::dshow::CCaptureFilter*>(
        platform::dshow::CCaptureFilter::CreateInstance(nullptr, &hr));
    ASSERT_TRUE(filter);
    filter->AddRef();
    ASSERT_EQ(filter->Attach(std::move(backend), L"UVC"), S_OK);
    ComPtr<IBaseFilter> camera(static_cast<IBaseFilter*>(filter));
    filter->Release();
    buildGraph(camera.get());

    ASSERT_EQ(control->Run(), S_OK);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!fake.streaming() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(fake.streaming());
    std::vector<uint8_t> jpeg = MakeJpeg(int(fake.lastFormat.width), int(fake.lastFormat.height), 1);
    ASSERT_TRUE(fake.PushFrame(jpeg));
    while (recorder.count() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(recorder.count(), 1u);
    fake.Unplug();

    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    bool aborted = false;
    while (!aborted && events->GetEvent(&code, &p1, &p2, 2000) == S_OK) {
        aborted = code == EC_ERRORABORT;
        if (aborted) {
            EXPECT_EQ(HRESULT(p1), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
        }
        events->FreeEventParams(code, p1, p2);
    }
    EXPECT_TRUE(aborted);
    EXPECT_EQ(control->Stop(), S_OK);
    releaseGraph();
}

} // namespace
} // namespace testfilters
