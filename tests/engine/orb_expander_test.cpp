// The facade: device and window targets, input texture sizes, the mode table and its cache, frames,
// release and re-initialisation, and the failure paths.
#include <windows.h>

#include "engine/orb_expander.h"
#include "modes/front_expander.h"
#include "platform/d3d10/software_device.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "tests/engine/engine_fixture.h"

namespace engine_testing {
namespace {

LRESULT CALLBACK windowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

class OrbExpanderTest : public ::testing::Test {
protected:
    void SetUp() override {
        EngineShared().Reset();
        live_ = platform::d3d10::LiveObjectCount();
        WNDCLASSW wc{};
        wc.lpfnWndProc = windowProc;
        wc.lpszClassName = L"orb expander test";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"Render", WS_POPUP, 0, 0, 1280, 720, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        orb.reset();
        DestroyWindow(window);
        UnregisterClassW(L"orb expander test", nullptr);
        EngineShared().Reset();
        EXPECT_EQ(platform::d3d10::LiveObjectCount(), live_);
    }
    // The filter's connection sequence.
    void connect(uint16_t w = 64, uint16_t h = 64, int32_t mode = 9) {
        ASSERT_EQ(orb->Initialize(window), S_OK);
        ASSERT_TRUE(orb->SetFrontViewRect(1, 1, 0, 0));
        ASSERT_TRUE(orb->SetInput(w, h));
        orb->SetRenderBufSize(1280, 720);
        ASSERT_TRUE(orb->SetExpMode(mode));
    }
    std::unique_ptr<COrbExpander> orb = std::make_unique<COrbExpander>();
    HWND window = nullptr;

private:
    long live_ = 0;
};

TEST_F(OrbExpanderTest, TextureSidesArePowersOfTwo) {
    ASSERT_EQ(orb->Initialize(window), S_OK);
    struct {
        uint16_t w, h, tw, th;
    } cases[] = {{1920, 1920, 2048, 2048}, {2048, 1536, 2048, 2048}, {1, 1, 1, 1}, {1024, 1080, 1024, 2048}};
    for (auto c : cases) {
        ASSERT_TRUE(orb->SetInput(c.w, c.h)) << c.w << "x" << c.h;
        EXPECT_EQ(orb->TexWidth(), c.tw);
        EXPECT_EQ(orb->TexHeight(), c.th);
    }
    // A picture whose texture rows do not fit the 16 MiB frame buffer is refused, and the facade
    // then has no input texture to draw from.
    platform::DebugOutputCapture log;
    EXPECT_FALSE(orb->SetInput(2880, 2880));
    EXPECT_NE(log.text().find(L"[ERR]COrbExpander::SetInput"), std::wstring::npos);
    ASSERT_TRUE(orb->SetExpMode(0));
    std::vector<BYTE> out(1280 * 720 * 3);
    EXPECT_EQ(orb->Render(out.data()), D3DERR_INVALIDCALL);
}

TEST_F(OrbExpanderTest, ModeSelectionLogsRefusesAndCaches) {
    platform::DebugOutputCapture log;
    EXPECT_FALSE(orb->SetExpMode(9)); // no device yet
    EXPECT_NE(log.text().find(L"SetExpMode(INDOME)\r\n"), std::wstring::npos);
    connect();
    CBaseExpander* indome = orb->Current();
    ASSERT_NE(indome, nullptr);
    log.clear();
    EXPECT_FALSE(orb->SetExpMode(16));
    EXPECT_EQ(orb->ModeId(), 9);
    EXPECT_EQ(orb->Current(), indome);
    EXPECT_EQ(log.text(), L"SetExpMode(UNKNOWN)\r\n");
    EXPECT_FALSE(orb->SetExpMode(14));
    EXPECT_EQ(orb->Current(), nullptr);
    EXPECT_EQ(orb->ModeId(), 14);
    std::vector<BYTE> out(1280 * 720 * 3);
    EXPECT_EQ(orb->Render(out.data()), D3DERR_INVALIDCALL);
    // The cached expander comes back with its view state.
    ASSERT_TRUE(orb->SetExpMode(9));
    EXPECT_EQ(orb->Current(), indome);
    EXPECT_STREQ(COrbExpander::GetModeName(15), "UNKNOWN");
    EXPECT_STREQ(COrbExpander::GetModeName(-1), "UNKNOWN");
    EXPECT_STREQ(COrbExpander::GetModeName(13), "YTPREV2");
}

TEST_F(OrbExpanderTest, FrontViewRectReachesTheFrontModeAtOnce) {
    connect(64, 64, 0);
    auto* front = static_cast<CFrontExpander*>(orb->Current());
    EXPECT_FALSE(front->cropping());
    EXPECT_TRUE(orb->SetFrontViewRect(0.5f, 0.25f, 0, 0));
    EXPECT_TRUE(front->cropping());
    EXPECT_FALSE(orb->SetFrontViewRect(1.5f, 1, 0, 0));
    EXPECT_FALSE(orb->SetFrontViewRect(std::nanf(""), 1, 0, 0));
    EXPECT_TRUE(front->cropping()); // unchanged
    // Mode 15 is the 16:9 window.
    ASSERT_TRUE(orb->SetExpMode(15));
    EXPECT_TRUE(static_cast<CFrontExpander*>(orb->Current())->cropping());
}

TEST_F(OrbExpanderTest, FramesAndTheOutputSize) {
    connect(32, 32, 0);
    std::vector<BYTE> picture(32 * 32 * 4, 0);
    for (int i = 0; i < 32 * 32; ++i) picture[i * 4 + 2] = 255; // red in the engine's byte order
    ASSERT_TRUE(orb->UploadFrame(picture.data(), 32 * 4));
    std::vector<BYTE> out(1280 * 720 * 3, 7);
    ASSERT_EQ(orb->Render(out.data()), S_OK);
    // The circle's centre is red (blue, green, red bytes); outside the circle is black.
    const BYTE* centre = &out[(360 * 1280 + 640) * 3];
    EXPECT_EQ(centre[2], 255);
    EXPECT_EQ(centre[0], 0);
    EXPECT_EQ(out[0], 0);
    // A render without a new upload draws the same frame again.
    std::vector<BYTE> again(out.size(), 9);
    ASSERT_EQ(orb->Render(again.data()), S_OK);
    EXPECT_EQ(again, out);
    // Rows longer than the texture's are refused rather than run over the buffer.
    EXPECT_FALSE(orb->UploadFrame(picture.data(), 33 * 4));
    EXPECT_FALSE(orb->UploadFrame(nullptr, 32 * 4));
    // The same size leaves the swap chain alone but still reaches the expander.
    EXPECT_TRUE(orb->SetRenderBufSize(1280, 720));
    EXPECT_EQ(orb->Current()->getOutWidth(), 1280);
    EXPECT_TRUE(orb->SetRenderBufSize(640, 360));
    EXPECT_EQ(orb->OutWidth(), 640);
    std::vector<BYTE> small(640 * 360 * 3);
    EXPECT_EQ(orb->Render(small.data()), S_OK);
}

TEST_F(OrbExpanderTest, PackedRowsOfAnOddWidthStopAtTheFramesEnd) {
    connect(32, 32, 0);
    std::vector<BYTE> picture(32 * 32 * 4);
    for (int i = 0; i < 32 * 32; ++i) picture[i * 4] = 40, picture[i * 4 + 1] = 90, picture[i * 4 + 2] = 160;
    ASSERT_TRUE(orb->UploadFrame(picture.data(), 32 * 4));
    ASSERT_TRUE(orb->SetRenderBufSize(67, 5));
    const size_t bytes = 67 * 5 * 3;
    std::vector<BYTE> out(bytes + 8, 0xEE);
    ASSERT_EQ(orb->Render(out.data()), S_OK);
    // Every pixel is the picture's colour or black, three bytes each; nothing past the frame is written.
    int coloured = 0, black = 0;
    for (size_t p = 0; p < bytes; p += 3) {
        if (out[p] == 0 && out[p + 1] == 0 && out[p + 2] == 0) {
            black++;
            continue;
        }
        EXPECT_NEAR(out[p], 40, 2) << p / 3;
        EXPECT_NEAR(out[p + 1], 90, 2) << p / 3;
        EXPECT_NEAR(out[p + 2], 160, 2) << p / 3;
        coloured++;
    }
    EXPECT_GT(coloured, 0);
    EXPECT_GT(black, 0);
    for (size_t i = bytes; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << i;
}

TEST_F(OrbExpanderTest, AFailedUploadIsRefusedAndTheLastFrameStays) {
    connect(32, 32, 0);
    std::vector<BYTE> red(32 * 32 * 4, 0), green(32 * 32 * 4, 0);
    for (int i = 0; i < 32 * 32; ++i) red[i * 4 + 2] = 255, green[i * 4 + 1] = 255;
    ASSERT_TRUE(orb->UploadFrame(red.data(), 32 * 4));
    std::vector<BYTE> first(1280 * 720 * 3), again(first.size());
    ASSERT_EQ(orb->Render(first.data()), S_OK);
    {
        platform::ScopedFault fault("ID3D10Texture2D::Map", E_OUTOFMEMORY);
        platform::DebugOutputCapture log;
        EXPECT_FALSE(orb->UploadFrame(green.data(), 32 * 4));
        EXPECT_NE(log.text().find(L"[ERR]COrbExpander::Render"), std::wstring::npos);
    }
    ASSERT_EQ(orb->Render(again.data()), S_OK);
    EXPECT_EQ(again, first);
    ASSERT_TRUE(orb->UploadFrame(green.data(), 32 * 4));
    ASSERT_EQ(orb->Render(again.data()), S_OK);
    const BYTE* centre = &again[(360 * 1280 + 640) * 3];
    EXPECT_EQ(centre[1], 255);
    EXPECT_EQ(centre[2], 0);
}

TEST_F(OrbExpanderTest, ReinitialiseKeepsTheModeCache) {
    connect(32, 32, 9);
    CBaseExpander* indome = orb->Current();
    indome->SetPosition(25, 50);
    float h = 0, v = 0;
    indome->GetPosition(&h, &v);
    // A new connection: a new device, the cached expander (and its view) survives.
    ASSERT_EQ(orb->Initialize(window), S_OK);
    ASSERT_TRUE(orb->SetInput(32, 32));
    orb->SetRenderBufSize(1280, 720);
    ASSERT_TRUE(orb->SetExpMode(9));
    EXPECT_EQ(orb->Current(), indome);
    float h2 = 0, v2 = 0;
    orb->Current()->GetPosition(&h2, &v2);
    EXPECT_FLOAT_EQ(h2, h);
    std::vector<BYTE> picture(32 * 32 * 4, 100), out(1280 * 720 * 3);
    ASSERT_TRUE(orb->UploadFrame(picture.data(), 32 * 4));
    EXPECT_EQ(orb->Render(out.data()), S_OK);
}

TEST_F(OrbExpanderTest, NoDirect3DMeansNoDeviceAndInvalidCalls) {
    platform::ScopedFault hardware("D3D10CreateDevice.Hardware", DXGI_ERROR_UNSUPPORTED, 0, 0);
    platform::ScopedFault reference("D3D10CreateDevice.Reference", DXGI_ERROR_UNSUPPORTED, 0, 0);
    platform::DebugOutputCapture log;
    EXPECT_EQ(orb->Initialize(window), DXGI_ERROR_UNSUPPORTED);
    // One line for each driver type tried.
    std::wstring text = log.text();
    size_t first = text.find(L"[ERR]COrbExpander::Initialize");
    ASSERT_NE(first, std::wstring::npos);
    EXPECT_NE(text.find(L"[ERR]COrbExpander::Initialize", first + 1), std::wstring::npos);
    EXPECT_NE(text.find(L"(0x887A0004)"), std::wstring::npos);
    EXPECT_FALSE(orb->SetExpMode(0));
    std::vector<BYTE> out(16);
    EXPECT_EQ(orb->Render(out.data()), D3DERR_INVALIDCALL);
}

TEST_F(OrbExpanderTest, HardwareFailureFallsBackToTheReferenceDriver) {
    platform::ScopedFault hardware("D3D10CreateDevice.Hardware", E_FAIL);
    EXPECT_EQ(orb->Initialize(window), S_OK);
    EXPECT_NE(orb->Device(), nullptr);
}

TEST_F(OrbExpanderTest, FailedInputTextureMakesRenderInvalid) {
    connect(32, 32, 0);
    {
        platform::ScopedFault fault("ID3D10Device::CreateTexture2D", E_OUTOFMEMORY);
        platform::DebugOutputCapture log;
        EXPECT_FALSE(orb->SetInput(64, 64));
        EXPECT_NE(log.text().find(L"[ERR]COrbExpander::createRgbTexture"), std::wstring::npos);
        EXPECT_NE(log.text().find(L"[ERR]COrbExpander::SetInput"), std::wstring::npos);
    }
    std::vector<BYTE> out(1280 * 720 * 3);
    EXPECT_EQ(orb->Render(out.data()), D3DERR_INVALIDCALL);
    EXPECT_TRUE(orb->SetInput(64, 64));
    std::vector<BYTE> picture(64 * 64 * 4, 50);
    orb->UploadFrame(picture.data(), 64 * 4);
    EXPECT_EQ(orb->Render(out.data()), S_OK);
}

TEST_F(OrbExpanderTest, RenderBeforeInputIsInvalid) {
    ASSERT_EQ(orb->Initialize(window), S_OK);
    ASSERT_TRUE(orb->SetExpMode(0));
    std::vector<BYTE> out(1280 * 720 * 3);
    EXPECT_EQ(orb->Render(out.data()), D3DERR_INVALIDCALL);
}

} // namespace
} // namespace engine_testing
