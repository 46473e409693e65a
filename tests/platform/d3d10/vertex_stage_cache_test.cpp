// The vertex stage's output is reused by a draw that changes nothing it depends on, and never after a
// change of the vertex buffer's contents, the constants the program reads, the input layout, the
// buffer offset or the vertex range: each changed frame equals the frame drawn with every cache
// cleared.
#include <functional>

#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

// Scales the position by cb0[0].xy, so that the constants move the picture.
constexpr const char* kScalingVs = R"(vs
input POSITION0 v0
input COLOR0 v1
input TEXCOORD0 v2.xy
output SV_Position0 o0 sv_position
output COLOR0 o1
output TEXCOORD0 o2.xy
mul o0.xy, v0.xyxx, cb0[0].xyxx
mov o0.zw, v0.zzzw
mov o1, v1
mov o2.xy, v2.xy
)";

class VertexStageCacheTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        auto vs = Assemble(kScalingVs);
        ASSERT_EQ(device->CreateVertexShader(vs.data(), vs.size() * 4, vertexShader.put()), S_OK);
        device->VSSetShader(vertexShader.get());
        D3D10_BUFFER_DESC cb{16, D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0};
        const float scale[4] = {1, 1, 0, 0};
        D3D10_SUBRESOURCE_DATA init{scale, 0, 0};
        ASSERT_EQ(device->CreateBuffer(&cb, &init, constants.put()), S_OK);
        ID3D10Buffer* c = constants.get();
        device->VSSetConstantBuffers(0, 1, &c);
        layout = inputLayout;
        device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        restore();
    }

    void TearDown() override {
        buffer = nullptr;
        constants = nullptr;
        layout = nullptr;
        DeviceTest::TearDown();
    }

    // The first state: a dynamic buffer of the unshifted strip, unit scale, the fixture's layout.
    void restore() {
        vertices = strip(0.0f);
        D3D10_BUFFER_DESC vb{UINT(vertices.size() * sizeof(Vertex)), D3D10_USAGE_DYNAMIC,
                             D3D10_BIND_VERTEX_BUFFER, D3D10_CPU_ACCESS_WRITE, 0};
        D3D10_SUBRESOURCE_DATA data{vertices.data(), 0, 0};
        ASSERT_EQ(device->CreateBuffer(&vb, &data, buffer.put()), S_OK);
        bindBuffer(0);
        setScale(1, 1);
        inputLayout = layout;
        device->IASetInputLayout(inputLayout.get());
        count = 8, start = 0;
    }

    // A strip of eight vertices in four colours, shifted right by dx.
    static std::vector<Vertex> strip(float dx) {
        std::vector<Vertex> v;
        const std::array<float, 4> colours[] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            float x = -0.9f + 0.45f * float(i) + dx;
            v.push_back(V(x, -0.8f, 0.5f, 1.0f, colours[i]));
            v.push_back(V(x + 0.1f, 0.7f, 0.5f, 1.0f, colours[i]));
        }
        return v;
    }

    void bindBuffer(UINT offset) {
        ID3D10Buffer* b = buffer.get();
        UINT stride = sizeof(Vertex);
        device->IASetVertexBuffers(0, 1, &b, &stride, &offset);
    }

    std::vector<uint32_t> frame(bool fresh = false) {
        if (fresh) ClearCoverageCache(device.get());
        clear();
        device->Draw(count, start);
        return readBack();
    }

    void setScale(float x, float y) {
        const float scale[4] = {x, y, 0, 0};
        device->UpdateSubresource(constants.get(), 0, nullptr, scale, 0, 0);
    }

    ComPtr<ID3D10Buffer> buffer, constants;
    ComPtr<ID3D10InputLayout> layout;
    std::vector<Vertex> vertices;
    UINT count = 8, start = 0;
};

TEST_F(VertexStageCacheTest, UnchangedDrawsReuseTheVertexStage) {
    frame();
    auto before = GetCoverageCacheStats(device.get());
    auto first = frame();
    // The constants rewritten with the same values, as an effect does every frame.
    setScale(1, 1);
    EXPECT_EQ(frame(), first);
    auto after = GetCoverageCacheStats(device.get());
    EXPECT_EQ(after.vertexHits - before.vertexHits, 2u);
    EXPECT_EQ(after.vertexMisses, before.vertexMisses);
}

TEST_F(VertexStageCacheTest, NoStaleVerticesAfterAChange) {
    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"buffer contents (UpdateSubresource)",
         [&] {
             // Default usage is needed for UpdateSubresource: a second buffer of the shifted strip.
             auto shifted = strip(0.2f);
             D3D10_BUFFER_DESC d{UINT(shifted.size() * sizeof(Vertex)), D3D10_USAGE_DEFAULT,
                                 D3D10_BIND_VERTEX_BUFFER, 0, 0};
             D3D10_SUBRESOURCE_DATA init{vertices.data(), 0, 0};
             ASSERT_EQ(device->CreateBuffer(&d, &init, buffer.put()), S_OK);
             bindBuffer(0);
             frame();
             device->UpdateSubresource(buffer.get(), 0, nullptr, shifted.data(), 0, 0);
         }},
        {"buffer contents (Map)",
         [&] {
             void* p = nullptr;
             ASSERT_EQ(buffer->Map(D3D10_MAP_WRITE_DISCARD, 0, &p), S_OK);
             auto shifted = strip(-0.15f);
             std::memcpy(p, shifted.data(), shifted.size() * sizeof(Vertex));
             buffer->Unmap();
         }},
        {"constants", [&] { setScale(0.5f, 1.2f); }},
        {"buffer offset", [&] { bindBuffer(2 * sizeof(Vertex)), count = 6; }},
        {"first vertex", [&] { start = 2, count = 6; }},
        {"vertex count", [&] { count = 6; }},
        {"input layout",
         [&] {
             // The colour read from the texture coordinate's place and beyond.
             D3D10_INPUT_ELEMENT_DESC layout[] = {
                 {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
                 {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 4, D3D10_INPUT_PER_VERTEX_DATA, 0},
                 {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 32, D3D10_INPUT_PER_VERTEX_DATA, 0},
             };
             auto vs = Assemble(kScalingVs);
             ASSERT_EQ(device->CreateInputLayout(layout, 3, vs.data(), vs.size() * 4, inputLayout.put()),
                       S_OK);
             device->IASetInputLayout(inputLayout.get());
         }},
    };
    for (const Change& c : changes) {
        restore();
        for (int i = 0; i < 2; ++i) frame();
        auto before = frame();
        c.apply();
        auto changed = frame();
        EXPECT_NE(changed, before) << c.what << ": the change shows";
        EXPECT_EQ(changed, frame(true)) << c.what;
        EXPECT_EQ(frame(), changed) << c.what << " (replayed)";
        if (HasFatalFailure()) return;
    }
}

} // namespace
} // namespace platform::d3d10::testing
