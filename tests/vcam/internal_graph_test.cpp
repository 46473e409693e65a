// The private graph with a camera: the format it asks for, the resolution list and changes, the modes
// it gives the expansion filter, grey frames without the filter, and frames that are the engine's own
// picture of the camera's.
#include <cmath>

#include "filter/expansion_filter.h"
#include "platform/win32/debug.h"
#include "tests/build_paths.h"
#include "tests/vcam/camera_fixture.h"
#include "tools/image/dib.h"
#include "tools/unfold/unfolder.h"

namespace vcam_testing {
namespace {

constexpr REFERENCE_TIME k15 = 666667, k30 = 333333; // the clip camera's frame durations

using InternalGraphTest = CameraTest;

TEST_F(InternalGraphTest, TheDefaultsAskForSquareFramesAtFifteenAndAnUnknownSizeLeavesTheCameraItsOwn) {
    DefineCamera("1440x1440@30 1440x1440@15 1280x720@30");
    {
        CVCam* camera = NewCamera();
        EXPECT_EQ(CVCam::PrivateGraph()->State(), 1);
        const auto [w, h, t] = CameraFormat();
        EXPECT_EQ(w, 1440);
        EXPECT_EQ(h, 1440);
        EXPECT_NEAR(double(t), double(k15), 1.0);
        camera->Release();
    }
    WriteSetting(L"Width", 1920);
    WriteSetting(L"Height", 1080);
    {
        CVCam* camera = NewCamera();
        EXPECT_EQ(CVCam::PrivateGraph()->State(), 1);
        const auto [w, h, t] = CameraFormat();
        EXPECT_EQ(w, 1440); // the camera's first format
        EXPECT_NEAR(double(t), double(k30), 1.0);
        camera->Release();
    }
}

TEST_F(InternalGraphTest, TheResolutionListKeepsTheSquareAndWideMjpgFormatsInTheCamerasOrder) {
    DefineCamera("1440x1440@15 640x480@30 1440x1440@30 1280x720@30");
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    ResolutionEntry* list = nullptr;
    int count = -1, current = -1;
    ASSERT_EQ(control->GetResolutionList(&list, &count, &current), S_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::vector<int>({list[0].width, list[0].height, list[0].frameRate, list[0].formatIndex}),
              std::vector<int>({1440, 1440, 15, 0}));
    EXPECT_EQ(std::vector<int>({list[1].width, list[1].frameRate, list[1].formatIndex}),
              std::vector<int>({1440, 30, 2}));
    EXPECT_EQ(std::vector<int>({list[2].width, list[2].height, list[2].formatIndex}),
              std::vector<int>({1280, 720, 3}));
    EXPECT_EQ(current, 0); // the entry of the current size and rate
    CoTaskMemFree(list);
    EXPECT_EQ(control->GetResolutionList(nullptr, &count, &current), E_POINTER);
    control.reset();
    camera->Release();
}

TEST_F(InternalGraphTest, TheCurrentEntryIsTheCamerasRateSoSendingItBackChangesNothing) {
    DefineCamera("1440x1440@15 1440x1440@30 1280x720@30");
    // Each stored rate finds its own entry; a rate the camera does not offer, the last of the size.
    for (const auto& [fps, expected] : {std::pair<DWORD, int>{15, 0}, {30, 1}, {25, 1}}) {
        WriteSetting(L"fps", fps);
        CVCam* camera = NewCamera();
        auto control = Control(camera);
        ResolutionEntry* list = nullptr;
        int count = 0, current = -1;
        ASSERT_EQ(control->GetResolutionList(&list, &count, &current), S_OK);
        ASSERT_EQ(count, 3);
        EXPECT_EQ(current, expected) << fps;
        // What the property page does on closing without a change (Cancel): the current entry goes
        // back, and the camera keeps its graph and rate.
        ComPtr<IGraphBuilder> before;
        ASSERT_EQ(CVCam::PrivateGraph()->GetGraph(before.put()), S_OK);
        const int formatIndex = list[current].formatIndex;
        CoTaskMemFree(list);
        if (fps != 25) {
            EXPECT_EQ(control->SetResolution(formatIndex), S_OK);
            ComPtr<IGraphBuilder> after;
            ASSERT_EQ(CVCam::PrivateGraph()->GetGraph(after.put()), S_OK);
            EXPECT_EQ(after.get(), before.get()) << fps;
        }
        control.reset();
        camera->Release();
        EXPECT_EQ(ReadSetting(L"fps"), fps);
    }
}

TEST_F(InternalGraphTest, ChangingTheResolutionRebuildsTheGraphAndAnIndexOutsideTheListChangesNothing) {
    DefineCamera("1440x1440@15 1280x720@30");
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    ComPtr<IGraphBuilder> before;
    ASSERT_EQ(CVCam::PrivateGraph()->GetGraph(before.put()), S_OK);
    auto graphNow = [] {
        ComPtr<IGraphBuilder> g;
        CVCam::PrivateGraph()->GetGraph(g.put());
        return g;
    };
    // The capability in use, and indexes the camera does not have: nothing happens.
    EXPECT_EQ(control->SetResolution(0), S_OK);
    EXPECT_EQ(control->SetResolution(2), E_INVALIDARG);
    EXPECT_EQ(control->SetResolution(-1), E_INVALIDARG);
    EXPECT_EQ(graphNow().get(), before.get());
    EXPECT_EQ(CVCam::PrivateGraph()->State(), 1);
    // Another one: a new graph, running at it.
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(control->SetResolution(1), S_OK);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[CVCam::SetResolution:749]DefVal(1280,720,30)\r\n"), std::string::npos) << out;
    EXPECT_NE(graphNow().get(), before.get());
    EXPECT_EQ(CVCam::PrivateGraph()->State(), 1);
    const auto [w, h, t] = CameraFormat();
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    control.reset();
    camera->Release();
    EXPECT_EQ(ReadSetting(L"Width"), 1280);
    EXPECT_EQ(ReadSetting(L"Height"), 720);
    EXPECT_EQ(ReadSetting(L"fps"), 30);
}

TEST_F(InternalGraphTest, VirtualCameraModesSelectTheFiltersModes) {
    DefineCamera("1440x1440@15");
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    ComPtr<IORBE_General> general;
    ASSERT_EQ(PrivateFilter(L"ZK900 4K Expander").as(IID_IORBE_General, general), S_OK);
    // The filter's own indexes: 6 the inverted dome, 10 the 16:9 front view, 5 the dome.
    const std::pair<int, int> cases[] = {{5, 5}, {9, 6}, {10, 10}, {12, 6}, {0, 0}};
    for (const auto& [mode, index] : cases) {
        EXPECT_EQ(control->SetUnfoldMode(mode), S_OK);
        int now = -1;
        general->GetUnfoldMode(&now);
        EXPECT_EQ(now, index) << "virtual camera mode " << mode;
    }
    general.reset();
    control.reset();
    camera->Release();
}

TEST_F(InternalGraphTest, WithoutTheExpansionFilterFramesAreGrey) {
    ASSERT_EQ(CallModule(kUnfoldFilterPath, "DllUnregisterServer"), S_OK);
    DefineCamera("1440x1440@15");
    CVCam* camera = NewCamera();
    EXPECT_EQ(CVCam::PrivateGraph()->State(), -1);
    {
        CameraGraph g(camera);
        ASSERT_EQ(g.connect(), S_OK);
        g.runFor(3);
        const auto samples = g.sink->samples();
        EXPECT_TRUE(Grey(samples[0].data));
        EXPECT_EQ(samples[1].start, 333333);
    }
    camera->Release();
}

// The red of the outlines, apart from the test picture's colours, and the outline's mean place.
struct RedOutline {
    int count = 0;
    double x = 0, y = 0;
};
RedOutline RedOf(const std::vector<BYTE>& picture, int width, int height) {
    RedOutline o;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = &picture[(size_t(y) * width + x) * 4];
            if (p[2] > 200 && p[1] < 40 && p[0] < 40) ++o.count, o.x += x, o.y += y;
        }
    if (o.count) o.x /= o.count, o.y /= o.count;
    return o;
}

TEST_F(InternalGraphTest, TheCameraShowsTheFisheyeItsPictureIsMadeFromWithTheViewOutlined) {
    DefineCamera("1440x1440@15");
    CVCam* camera = NewCamera();
    auto control = Control(camera);
    ComPtr<IOrbSourceView> view;
    ASSERT_EQ(camera->QueryInterface(IID_IOrbSourceView, view.putVoid()), S_OK);
    constexpr int kSide = 200;
    std::vector<BYTE> picture(kSide * kSide * 4);
    ASSERT_EQ(view->DrawSourceView(kSide, kSide, picture.data(), 0, 0, nullptr), S_OK);
    // The camera's picture, bottom row first: its upper left quadrant is the red and blue one.
    const BYTE* upperLeft = &picture[((kSide - 1 - 60) * kSide + 60) * 4];
    const BYTE* lowerRight = &picture[((kSide - 1 - 140) * kSide + 140) * 4];
    EXPECT_NEAR(upperLeft[2], 220, 12);
    EXPECT_NEAR(upperLeft[0], 200, 12);
    EXPECT_NEAR(lowerRight[2], 60, 12);
    EXPECT_NEAR(lowerRight[0], 50, 12);
    // The inverted dome's view outlined, and the outline on the other side once the view turns half
    // round.
    const RedOutline before = RedOf(picture, kSide, kSide);
    ASSERT_GT(before.count, 50);
    EXPECT_EQ(control->SetViewPos(0, 50), S_OK);
    ASSERT_EQ(view->DrawSourceView(kSide, kSide, picture.data(), 0, 0, nullptr), S_OK);
    const RedOutline after = RedOf(picture, kSide, kSide);
    ASSERT_GT(after.count, 50);
    EXPECT_GT(std::hypot(after.x - before.x, after.y - before.y), 40);
    EXPECT_NEAR((after.x + before.x) / 2, kSide / 2.0, 10);
    EXPECT_NEAR((after.y + before.y) / 2, kSide / 2.0, 10);

    // Only the strip modes have an overview.
    std::vector<BYTE> strip(kSide * 50 * 4);
    EXPECT_EQ(view->DrawSourceView(kSide, kSide, picture.data(), kSide, 50, strip.data()), S_FALSE);
    EXPECT_EQ(control->SetUnfoldMode(1), S_OK); // panorama
    EXPECT_EQ(view->DrawSourceView(kSide, kSide, picture.data(), kSide, 50, strip.data()), S_OK);
    EXPECT_EQ(view->DrawSourceView(0, kSide, picture.data(), 0, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(view->DrawSourceView(kSide, IOrbSourceView::kMaxSide + 1, picture.data(), 0, 0, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(view->DrawSourceView(kSide, kSide, nullptr, 0, 0, nullptr), E_POINTER);
    view.reset();
    control.reset();
    camera->Release();
}

TEST_F(InternalGraphTest, WithoutTheExpansionFilterThereIsNoSourceView) {
    ASSERT_EQ(CallModule(kUnfoldFilterPath, "DllUnregisterServer"), S_OK);
    DefineCamera("1440x1440@15");
    CVCam* camera = NewCamera();
    ComPtr<IOrbSourceView> view;
    ASSERT_EQ(camera->QueryInterface(IID_IOrbSourceView, view.putVoid()), S_OK);
    std::vector<BYTE> picture(16 * 16 * 4);
    EXPECT_EQ(view->DrawSourceView(16, 16, picture.data(), 0, 0, nullptr), E_FAIL);
    view.reset();
    camera->Release();
}

TEST_F(InternalGraphTest, AFrameIsTheEnginesPictureOfTheCamerasFrame) {
    DefineCamera("1440x1440@15");
    WriteSetting(L"UnfoldMode", 5); // the dome, to look at
    WriteSetting(L"Horizontal", 30);
    WriteSetting(L"Zoom", 10);

    // The same still picture, decoded as the clip holds it, through the engine with the same settings.
    std::vector<uint8_t> jpeg;
    tools::image::Image decoded;
    ASSERT_TRUE(tools::image::EncodeJpeg(TestPicture(1440, 1440), 95, jpeg, "frame").ok());
    ASSERT_TRUE(tools::image::DecodeJpeg(jpeg.data(), jpeg.size(), decoded, "frame").ok());
    std::string error;
    auto unfolder = tools::unfold::Unfolder::Create(error);
    ASSERT_TRUE(unfolder) << error;
    tools::unfold::UnfoldSettings settings;
    settings.mode = 8; // DOME
    settings.horizontal = 30, settings.vertical = 50, settings.zoom = 10;
    tools::image::Image expected;
    ASSERT_TRUE(unfolder->unfold(decoded, settings, expected).ok());

    // The largest difference of a channel, and how many pixels show the picture (neither black nor
    // mid grey).
    auto compare = [&](const std::vector<BYTE>& frame, int& worst, size_t& pictured) {
        tools::image::Image captured;
        if (!tools::image::ImageFromDib(frame.data(), frame.size(), 1280, 720, 24, captured).ok())
            return false;
        worst = 0, pictured = 0;
        for (uint32_t y = 0; y < 720; ++y)
            for (uint32_t x = 0; x < 1280; ++x) {
                const tools::image::Rgba a = captured.pixel(x, y), b = expected.pixel(x, y);
                worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
                pictured += a.r + a.g + a.b > 60 && !(a.r == 128 && a.g == 128 && a.b == 128);
            }
        return true;
    };
    CVCam* camera = NewCamera();
    int worst = 256;
    size_t pictured = 0;
    {
        CameraGraph g(camera, 0);
        ASSERT_EQ(g.connect(), S_OK);
        // Frames the filter drew before the settings reached it may come first (and on a busy machine
        // the frame-interval rule drops frames), so the comparison waits for a frame drawn after.
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        for (int i = 0; i < 200 && worst > 1; ++i) {
            Sleep(100);
            const std::vector<BYTE> frame = g.sink->latest();
            if (!frame.empty()) {
                ASSERT_TRUE(compare(frame, worst, pictured));
            }
        }
        g.control->Stop();
    }
    camera->Release();
    EXPECT_LE(worst, 1);
    EXPECT_GT(pictured, 1280u * 720 / 4);
}

} // namespace
} // namespace vcam_testing
