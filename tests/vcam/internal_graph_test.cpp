// The private graph with a camera: the format it asks for, the resolution list and changes, the modes
// it gives the expansion filter, grey frames without the filter, and frames that are the engine's own
// picture of the camera's.
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
    EXPECT_EQ(current, 1); // the last entry of the current size
    CoTaskMemFree(list);
    EXPECT_EQ(control->GetResolutionList(nullptr, &count, &current), E_POINTER);
    control.reset();
    camera->Release();
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
