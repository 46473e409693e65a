// The parts of the Direct3D 10 interfaces beyond what the system draws with: the getters of state the
// device keeps, and the methods of stages it does not build, which must refuse cleanly (E_NOTIMPL and
// emptied out parameters) and change nothing.
#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

using DeviceInterfaceTest = DeviceTest;

ComPtr<ID3D10ShaderResourceView> TextureView(ID3D10Device* device) {
    D3D10_TEXTURE2D_DESC t{
        4, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE,
        0, 0};
    ComPtr<ID3D10Texture2D> texture;
    EXPECT_EQ(device->CreateTexture2D(&t, nullptr, texture.put()), S_OK);
    ComPtr<ID3D10ShaderResourceView> view;
    EXPECT_EQ(device->CreateShaderResourceView(texture.get(), nullptr, view.put()), S_OK);
    return view;
}

ComPtr<ID3D10SamplerState> Sampler(ID3D10Device* device) {
    D3D10_SAMPLER_DESC s{D3D10_FILTER_MIN_MAG_MIP_LINEAR,
                         D3D10_TEXTURE_ADDRESS_CLAMP,
                         D3D10_TEXTURE_ADDRESS_CLAMP,
                         D3D10_TEXTURE_ADDRESS_CLAMP,
                         0,
                         1,
                         D3D10_COMPARISON_NEVER,
                         {0, 0, 0, 0},
                         0,
                         0};
    ComPtr<ID3D10SamplerState> sampler;
    EXPECT_EQ(device->CreateSamplerState(&s, sampler.put()), S_OK);
    return sampler;
}

TEST_F(DeviceInterfaceTest, VertexStageResourcesSamplersAndScissorsReadBackAsSet) {
    ComPtr<ID3D10ShaderResourceView> view = TextureView(device.get());
    ComPtr<ID3D10SamplerState> sampler = Sampler(device.get());
    ID3D10ShaderResourceView* views[] = {view.get()};
    ID3D10SamplerState* samplers[] = {sampler.get()};
    device->VSSetShaderResources(2, 1, views);
    device->VSSetSamplers(3, 1, samplers);

    ID3D10ShaderResourceView* gotViews[3] = {};
    device->VSGetShaderResources(1, 3, gotViews);
    EXPECT_EQ(gotViews[0], nullptr);
    EXPECT_EQ(gotViews[1], view.get());
    EXPECT_EQ(gotViews[2], nullptr);
    ID3D10SamplerState* gotSamplers[2] = {};
    device->VSGetSamplers(3, 2, gotSamplers);
    EXPECT_EQ(gotSamplers[0], sampler.get());
    EXPECT_EQ(gotSamplers[1], nullptr);
    // Each getter hands out a reference.
    gotViews[1]->Release();
    gotSamplers[0]->Release();
    // Slots past the last one read as empty instead of past the end.
    ID3D10ShaderResourceView* past = view.get();
    device->VSGetShaderResources(D3D10_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT, 1, &past);
    EXPECT_EQ(past, nullptr);

    const D3D10_RECT rects[2] = {{1, 2, 30, 40}, {5, 6, 7, 8}};
    device->RSSetScissorRects(2, rects);
    UINT count = 0;
    device->RSGetScissorRects(&count, nullptr);
    EXPECT_EQ(count, 2u);
    D3D10_RECT got[3];
    std::memset(got, 0x7F, sizeof got);
    count = 3;
    device->RSGetScissorRects(&count, got);
    EXPECT_EQ(got[0].right, 30);
    EXPECT_EQ(got[1].bottom, 8);
    EXPECT_EQ(got[2].left, 0) << "a slot past the rectangles set is emptied";
    device->ClearState();
    device->RSGetScissorRects(&count, nullptr);
    EXPECT_EQ(count, 0u);
}

TEST_F(DeviceInterfaceTest, UnbuiltCreationMethodsRefuseAndEmptyTheirResults) {
    auto* junk = reinterpret_cast<void*>(uintptr_t(0x1234));
    ID3D10Texture1D* texture1D = static_cast<ID3D10Texture1D*>(junk);
    D3D10_TEXTURE1D_DESC d1{
        16, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0, 0};
    EXPECT_EQ(device->CreateTexture1D(&d1, nullptr, &texture1D), E_NOTIMPL);
    EXPECT_EQ(texture1D, nullptr);
    ID3D10Texture3D* texture3D = static_cast<ID3D10Texture3D*>(junk);
    D3D10_TEXTURE3D_DESC d3{
        4, 4, 4, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0, 0};
    EXPECT_EQ(device->CreateTexture3D(&d3, nullptr, &texture3D), E_NOTIMPL);
    EXPECT_EQ(texture3D, nullptr);
    ID3D10GeometryShader* gs = static_cast<ID3D10GeometryShader*>(junk);
    EXPECT_EQ(device->CreateGeometryShader("", 0, &gs), E_NOTIMPL);
    EXPECT_EQ(gs, nullptr);
    gs = static_cast<ID3D10GeometryShader*>(junk);
    EXPECT_EQ(device->CreateGeometryShaderWithStreamOutput("", 0, nullptr, 0, 0, &gs), E_NOTIMPL);
    EXPECT_EQ(gs, nullptr);
    D3D10_QUERY_DESC q{D3D10_QUERY_EVENT, 0};
    ID3D10Query* query = static_cast<ID3D10Query*>(junk);
    EXPECT_EQ(device->CreateQuery(&q, &query), E_NOTIMPL);
    EXPECT_EQ(query, nullptr);
    q.Query = D3D10_QUERY_OCCLUSION_PREDICATE;
    ID3D10Predicate* predicate = static_cast<ID3D10Predicate*>(junk);
    EXPECT_EQ(device->CreatePredicate(&q, &predicate), E_NOTIMPL);
    EXPECT_EQ(predicate, nullptr);
    D3D10_COUNTER_DESC c{D3D10_COUNTER_GPU_IDLE, 0};
    ID3D10Counter* counter = static_cast<ID3D10Counter*>(junk);
    EXPECT_EQ(device->CreateCounter(&c, &counter), E_NOTIMPL);
    EXPECT_EQ(counter, nullptr);
    void* shared = junk;
    EXPECT_EQ(device->OpenSharedResource(nullptr, IID_ID3D10Texture2D, &shared), E_NOTIMPL);
    EXPECT_EQ(shared, nullptr);

    UINT support = 0xFFFFFFFF, levels = 0xFFFFFFFF;
    EXPECT_EQ(device->CheckFormatSupport(DXGI_FORMAT_R8G8B8A8_UNORM, &support), E_NOTIMPL);
    EXPECT_EQ(support, 0u);
    EXPECT_EQ(device->CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, 4, &levels), E_NOTIMPL);
    EXPECT_EQ(levels, 0u);
    D3D10_COUNTER_INFO info;
    std::memset(&info, 0x7F, sizeof info);
    device->CheckCounterInfo(&info);
    EXPECT_EQ(info.NumSimultaneousCounters, 0u);
    UINT nameLength = 99;
    EXPECT_EQ(
        device->CheckCounter(&c, nullptr, nullptr, nullptr, &nameLength, nullptr, nullptr, nullptr, nullptr),
        E_NOTIMPL);
    EXPECT_EQ(nameLength, 0u);
}

// Draws and bindings of stages the device does not build leave the picture and the bound state alone.
TEST_F(DeviceInterfaceTest, UnbuiltDrawsAndStagesChangeNothing) {
    const std::vector<Vertex> quad = {V(-1, -1), V(-1, 1), V(1, -1), V(1, 1)};
    draw(quad, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    ASSERT_EQ(readBack()[0], 0xFFFFFFFFu) << "the plain draw covers the target";
    clear();
    const std::vector<uint32_t> cleared = readBack();

    device->DrawInstanced(4, 2, 0, 0);
    device->DrawIndexed(4, 0, 0);
    device->DrawIndexedInstanced(4, 2, 0, 0, 0);
    device->DrawAuto();
    EXPECT_EQ(readBack(), cleared);

    ComPtr<ID3D10ShaderResourceView> view = TextureView(device.get());
    ID3D10ShaderResourceView* views[] = {view.get()};
    device->GSSetShaderResources(0, 1, views);
    ID3D10ShaderResourceView* got = view.get();
    device->GSGetShaderResources(0, 1, &got);
    EXPECT_EQ(got, nullptr);
    ID3D10Buffer* buffer = reinterpret_cast<ID3D10Buffer*>(uintptr_t(0x1234));
    DXGI_FORMAT format = DXGI_FORMAT_R32_UINT;
    UINT offset = 7;
    device->IAGetIndexBuffer(&buffer, &format, &offset);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(format, DXGI_FORMAT_UNKNOWN);
    EXPECT_EQ(offset, 0u);
    UINT width = 5, height = 5;
    device->GetTextFilterSize(&width, &height);
    EXPECT_EQ(width + height, 0u);
}

} // namespace
} // namespace platform::d3d10::testing
