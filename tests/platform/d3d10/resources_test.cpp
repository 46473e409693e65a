// Resources, views, object lifetimes, device and swap-chain creation, and injected failures.
#include <windows.h>

#include "platform/win32/fault_injection.h"
#include "platform/win32/windowing.h"
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

using ResourceTest = DeviceTest;

D3D10_TEXTURE2D_DESC texture(UINT w, UINT h, D3D10_USAGE usage, UINT bind, UINT cpu) {
    return {w, h, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, usage, bind, cpu, 0};
}

TEST_F(ResourceTest, DynamicTextureWrittenThroughMapAndReadBackThroughStaging) {
    // 13 texels wide, and 1024 (rows of 4 KB): either way the mapping's row pitch is wider than a row
    // of texels, and every copy keeps to it.
    for (UINT w : {13u, 1024u}) {
        SCOPED_TRACE(w);
        const UINT h = 5;
        ComPtr<ID3D10Texture2D> dynamic, staging;
        auto d = texture(w, h, D3D10_USAGE_DYNAMIC, D3D10_BIND_SHADER_RESOURCE, D3D10_CPU_ACCESS_WRITE);
        ASSERT_EQ(device->CreateTexture2D(&d, nullptr, dynamic.put()), S_OK);
        D3D10_MAPPED_TEXTURE2D m{};
        ASSERT_EQ(dynamic->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &m), S_OK);
        ASSERT_GE(m.RowPitch, w * 4);
        EXPECT_GT(m.RowPitch, w * 4);
        // A second map while mapped, reading a dynamic texture, and a write map are refused.
        D3D10_MAPPED_TEXTURE2D again{};
        EXPECT_EQ(dynamic->Map(0, D3D10_MAP_WRITE_DISCARD, 0, &again), E_INVALIDARG);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) {
                uint32_t v = 0xFF000000u | (y << 16) | x;
                std::memcpy(static_cast<uint8_t*>(m.pData) + y * m.RowPitch + x * 4, &v, 4);
            }
        dynamic->Unmap(0);
        EXPECT_EQ(dynamic->Map(0, D3D10_MAP_READ, 0, &again), E_INVALIDARG);

        // Copy into a default texture (the GPU side), then to staging and read it back.
        ComPtr<ID3D10Texture2D> gpu;
        auto g = texture(w, h, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0);
        ASSERT_EQ(device->CreateTexture2D(&g, nullptr, gpu.put()), S_OK);
        device->CopyResource(gpu.get(), dynamic.get());
        auto pixels = readBack(gpu.get());
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                ASSERT_EQ(pixels[y * w + x], 0xFF000000u | (y << 16) | x) << x << "," << y;

        // A default texture cannot be mapped at all.
        EXPECT_EQ(gpu->Map(0, D3D10_MAP_READ, 0, &again), E_INVALIDARG);
    }
}

TEST_F(ResourceTest, UpdateSubresourceWritesABox) {
    ComPtr<ID3D10Texture2D> t;
    auto d = texture(8, 8, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0);
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, t.put()), S_OK);
    uint32_t block[2 * 3] = {1, 2, 3, 4, 5, 6}; // 2 wide, 3 high
    D3D10_BOX box{5, 2, 0, 7, 5, 1};
    device->UpdateSubresource(t.get(), 0, &box, block, 8, 0);
    auto pixels = readBack(t.get());
    EXPECT_EQ(pixels[2 * 8 + 5], 1u);
    EXPECT_EQ(pixels[2 * 8 + 6], 2u);
    EXPECT_EQ(pixels[4 * 8 + 6], 6u);
    EXPECT_EQ(pixels[4 * 8 + 7], 0u);
    // A box beyond the texture is ignored.
    D3D10_BOX outside{6, 0, 0, 9, 1, 1};
    device->UpdateSubresource(t.get(), 0, &outside, block, 12, 0);
    EXPECT_EQ(readBack(t.get()), pixels);
}

TEST_F(ResourceTest, DescriptionsAreValidated) {
    ComPtr<ID3D10Texture2D> t;
    auto dynamicTarget = texture(4, 4, D3D10_USAGE_DYNAMIC, D3D10_BIND_RENDER_TARGET, D3D10_CPU_ACCESS_WRITE);
    EXPECT_EQ(device->CreateTexture2D(&dynamicTarget, nullptr, t.put()), E_INVALIDARG);
    auto stagingBound = texture(4, 4, D3D10_USAGE_STAGING, D3D10_BIND_SHADER_RESOURCE, D3D10_CPU_ACCESS_READ);
    EXPECT_EQ(device->CreateTexture2D(&stagingBound, nullptr, t.put()), E_INVALIDARG);
    auto depthAsResource = texture(4, 4, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0);
    depthAsResource.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
    EXPECT_EQ(device->CreateTexture2D(&depthAsResource, nullptr, t.put()), E_INVALIDARG);
    auto empty = texture(0, 4, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0);
    EXPECT_EQ(device->CreateTexture2D(&empty, nullptr, t.put()), E_INVALIDARG);
    EXPECT_EQ(t.get(), nullptr);

    ComPtr<ID3D10Buffer> b;
    D3D10_BUFFER_DESC cb{20, D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0}; // not whole registers
    EXPECT_EQ(device->CreateBuffer(&cb, nullptr, b.put()), E_INVALIDARG);
    D3D10_BUFFER_DESC immutable{16, D3D10_USAGE_IMMUTABLE, D3D10_BIND_VERTEX_BUFFER, 0, 0}; // needs data
    EXPECT_EQ(device->CreateBuffer(&immutable, nullptr, b.put()), E_INVALIDARG);
    EXPECT_EQ(device->CreateBuffer(nullptr, nullptr, b.put()), E_INVALIDARG);

    // A view needs the matching bind flag.
    ComPtr<ID3D10Texture2D> plain;
    auto d = texture(4, 4, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0);
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, plain.put()), S_OK);
    ComPtr<ID3D10RenderTargetView> rtv;
    EXPECT_EQ(device->CreateRenderTargetView(plain.get(), nullptr, rtv.put()), E_INVALIDARG);
    // Shader bytecode of the wrong stage is refused.
    auto vs = Assemble(kPassThroughVs);
    ComPtr<ID3D10PixelShader> ps;
    EXPECT_EQ(device->CreatePixelShader(vs.data(), vs.size() * 4, ps.put()), E_INVALIDARG);
    // An input layout missing an input the program reads is refused.
    D3D10_INPUT_ELEMENT_DESC partial[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}};
    ComPtr<ID3D10InputLayout> layout;
    EXPECT_EQ(device->CreateInputLayout(partial, 1, vs.data(), vs.size() * 4, layout.put()), E_INVALIDARG);
}

TEST_F(ResourceTest, BoundObjectsOutliveTheirLastReferenceAndGoWithTheDevice) {
    ComPtr<ID3D10Texture2D> t;
    auto d = texture(4, 4, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0);
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, t.put()), S_OK);
    ComPtr<ID3D10ShaderResourceView> view;
    ASSERT_EQ(device->CreateShaderResourceView(t.get(), nullptr, view.put()), S_OK);
    ID3D10ShaderResourceView* raw = view.get();
    device->PSSetShaderResources(0, 1, &raw);
    t.reset();
    EXPECT_EQ(view.detach()->Release(), 0u); // the application's last reference
    // The pipeline still holds it, and hands it out again with its texture.
    ComPtr<ID3D10ShaderResourceView> back;
    device->PSGetShaderResources(0, 1, back.put());
    ASSERT_EQ(back.get(), raw);
    ComPtr<ID3D10Resource> resource;
    back->GetResource(resource.put());
    D3D10_RESOURCE_DIMENSION type;
    resource->GetType(&type);
    EXPECT_EQ(type, D3D10_RESOURCE_DIMENSION_TEXTURE2D);
    // Private data round trip.
    GUID tag = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    int value = 42, read = 0;
    UINT size = sizeof read;
    EXPECT_EQ(resource->SetPrivateData(tag, sizeof value, &value), S_OK);
    EXPECT_EQ(resource->GetPrivateData(tag, &size, &read), S_OK);
    EXPECT_EQ(read, 42);
    // TearDown checks that releasing the device frees everything, the zombie view included.
}

TEST(DeviceCreation, InjectedFailuresReturnTheCodeAndLeaveNothing) {
    long before = LiveObjectCount();
    {
        ScopedFault hardware("D3D10CreateDevice.Hardware", DXGI_ERROR_UNSUPPORTED, 0, 0);
        ID3D10Device* device = reinterpret_cast<ID3D10Device*>(1);
        EXPECT_EQ(
            D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION, &device),
            DXGI_ERROR_UNSUPPORTED);
        EXPECT_EQ(device, nullptr);
        // The reference driver still works.
        ASSERT_EQ(
            D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_REFERENCE, nullptr, 0, D3D10_SDK_VERSION, &device),
            S_OK);
        EXPECT_EQ(device->Release(), 0u);
        ScopedFault reference("D3D10CreateDevice.Reference", E_OUTOFMEMORY, 0, 0);
        EXPECT_EQ(
            D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_REFERENCE, nullptr, 0, D3D10_SDK_VERSION, &device),
            E_OUTOFMEMORY);
        EXPECT_EQ(device, nullptr);
        EXPECT_EQ(hardware.hits(), 1u);
    }
    EXPECT_EQ(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, 28, nullptr), E_INVALIDARG);
    EXPECT_EQ(LiveObjectCount(), before);

    ComPtr<ID3D10Device> device;
    ASSERT_EQ(
        D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION, device.put()),
        S_OK);
    long withDevice = LiveObjectCount();
    {
        // The second buffer creation fails; the first and third succeed.
        ScopedFault fault("ID3D10Device::CreateBuffer", E_OUTOFMEMORY, 1, 1);
        D3D10_BUFFER_DESC d{64, D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0};
        ComPtr<ID3D10Buffer> a, b, c;
        EXPECT_EQ(device->CreateBuffer(&d, nullptr, a.put()), S_OK);
        EXPECT_EQ(device->CreateBuffer(&d, nullptr, b.put()), E_OUTOFMEMORY);
        EXPECT_EQ(b.get(), nullptr);
        EXPECT_EQ(device->CreateBuffer(&d, nullptr, c.put()), S_OK);
        EXPECT_EQ(LiveObjectCount(), withDevice + 2);
    }
    EXPECT_EQ(LiveObjectCount(), withDevice);
}

LRESULT CALLBACK testWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

class SwapChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = testWindowProc;
        wc.lpszClassName = L"unfold swap chain test";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"test", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        desc.BufferDesc = {0,
                           0,
                           {60, 1},
                           DXGI_FORMAT_R8G8B8A8_UNORM,
                           DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                           DXGI_MODE_SCALING_CENTERED};
        desc.SampleDesc = {1, 0};
        desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
        desc.BufferCount = 1;
        desc.OutputWindow = window;
        desc.Windowed = TRUE;
        desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
        desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
    }
    void TearDown() override {
        DestroyWindow(window);
        UnregisterClassW(L"unfold swap chain test", nullptr);
    }
    HWND window = nullptr;
    DXGI_SWAP_CHAIN_DESC desc{};
};

TEST_F(SwapChainTest, BackBufferFollowsTheWindowAndResizes) {
    long before = LiveObjectCount();
    {
        ComPtr<IDXGISwapChain> chain;
        ComPtr<ID3D10Device> device;
        ASSERT_EQ(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                                D3D10_SDK_VERSION, &desc, chain.put(), device.put()),
                  S_OK);
        ComPtr<ID3D10Texture2D> back;
        ASSERT_EQ(chain->GetBuffer(0, IID_ID3D10Texture2D, back.putVoid()), S_OK);
        D3D10_TEXTURE2D_DESC t;
        back->GetDesc(&t);
        EXPECT_EQ(t.Width, 320u); // zero sizes take the window's client area
        EXPECT_EQ(t.Height, 200u);
        ComPtr<ID3D10RenderTargetView> rtv;
        ASSERT_EQ(device->CreateRenderTargetView(back.get(), nullptr, rtv.put()), S_OK);
        // Resizing while the old buffer is referenced is refused, as DXGI does.
        EXPECT_EQ(chain->ResizeBuffers(1, 640, 360, DXGI_FORMAT_R8G8B8A8_UNORM, 0), DXGI_ERROR_INVALID_CALL);
        back.reset();
        rtv.reset();
        EXPECT_EQ(chain->ResizeBuffers(1, 640, 360, DXGI_FORMAT_R8G8B8A8_UNORM, 0), S_OK);
        ASSERT_EQ(chain->GetBuffer(0, IID_ID3D10Texture2D, back.putVoid()), S_OK);
        back->GetDesc(&t);
        EXPECT_EQ(t.Width, 640u);
        EXPECT_EQ(t.Height, 360u);
        EXPECT_EQ(chain->Present(0, 0), S_OK);
        EXPECT_EQ(chain->Present(0, DXGI_PRESENT_TEST), S_OK);
        UINT presents = 0;
        EXPECT_EQ(chain->GetLastPresentCount(&presents), S_OK);
        EXPECT_EQ(presents, 1u);
        // A window size the user changes is what a zero-size resize takes.
        back.reset();
        platform::SetWindowClientSize(window, 100, 50);
        EXPECT_EQ(chain->ResizeBuffers(0, 0, 0, DXGI_FORMAT_UNKNOWN, 0), S_OK);
        ASSERT_EQ(chain->GetBuffer(0, IID_ID3D10Texture2D, back.putVoid()), S_OK);
        back->GetDesc(&t);
        EXPECT_EQ(t.Width, 100u);
        EXPECT_EQ(chain->GetBuffer(1, IID_ID3D10Texture2D, back.putVoid()), DXGI_ERROR_INVALID_CALL);
    }
    EXPECT_EQ(LiveObjectCount(), before);
}

TEST_F(SwapChainTest, FailuresLeaveNoDeviceBehind) {
    long before = LiveObjectCount();
    IDXGISwapChain* chain = nullptr;
    ID3D10Device* device = nullptr;
    DXGI_SWAP_CHAIN_DESC bad = desc;
    bad.OutputWindow = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                            D3D10_SDK_VERSION, &bad, &chain, &device),
              DXGI_ERROR_INVALID_CALL);
    EXPECT_EQ(chain, nullptr);
    EXPECT_EQ(device, nullptr);
    {
        ScopedFault fault("ID3D10Device::CreateTexture2D", E_OUTOFMEMORY);
        EXPECT_EQ(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                                D3D10_SDK_VERSION, &desc, &chain, &device),
                  E_OUTOFMEMORY);
    }
    {
        ScopedFault fault("D3D10CreateDevice.Hardware", DXGI_ERROR_UNSUPPORTED);
        EXPECT_EQ(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                                D3D10_SDK_VERSION, &desc, &chain, &device),
                  DXGI_ERROR_UNSUPPORTED);
    }
    EXPECT_EQ(chain, nullptr);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(LiveObjectCount(), before);
}

// There is no display, so no frame statistics; the answer says so and leaves no stale values.
TEST_F(SwapChainTest, HasNoFrameStatistics) {
    ComPtr<IDXGISwapChain> chain;
    ComPtr<ID3D10Device> device;
    ASSERT_EQ(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0,
                                            D3D10_SDK_VERSION, &desc, chain.put(), device.put()),
              S_OK);
    DXGI_FRAME_STATISTICS stats;
    std::memset(&stats, 0x7F, sizeof stats);
    EXPECT_EQ(chain->GetFrameStatistics(&stats), E_NOTIMPL);
    EXPECT_EQ(stats.PresentCount, 0u);
    EXPECT_EQ(stats.SyncQPCTime.QuadPart, 0);
}

} // namespace
} // namespace platform::d3d10::testing
