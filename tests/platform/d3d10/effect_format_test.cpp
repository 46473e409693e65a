// The effect container refuses what is malformed, truncated or damaged, and never reads outside it.
#include <random>

#include "platform/d3d10/effect_format.h"
#include "tests/platform/d3d10/effect_fixture.h"

namespace platform::d3d10::testing {
namespace {

class EffectContainerTest : public EffectTest {
protected:
    HRESULT create(std::vector<uint8_t> bytes, bool exercise = false) {
        ComPtr<ID3D10Effect> e;
        HRESULT hr =
            D3D10CreateEffectFromMemory(bytes.data(), bytes.size(), 0, device.get(), nullptr, e.put());
        if (FAILED(hr)) {
            EXPECT_EQ(e.get(), nullptr);
            return hr;
        }
        if (exercise) use(e.get());
        return hr;
    }

    // Touches everything an accepted container made, as a user of the effect would.
    void use(ID3D10Effect* e) {
        D3D10_EFFECT_DESC d;
        e->GetDesc(&d);
        std::vector<uint8_t> scratch(64 * 1024, 0x5A);
        for (UINT i = 0; i < d.GlobalVariables; ++i) {
            ID3D10EffectVariable* v = e->GetVariableByIndex(i);
            D3D10_EFFECT_VARIABLE_DESC vd;
            v->GetDesc(&vd);
            D3D10_EFFECT_TYPE_DESC td{};
            v->GetType()->GetDesc(&td);
            v->SetRawValue(scratch.data(), 0, td.UnpackedSize);
            v->AsScalar()->SetFloatArray(reinterpret_cast<float*>(scratch.data()), 0,
                                         td.Elements ? td.Elements : 1);
            v->AsVector()->SetFloatVectorArray(reinterpret_cast<float*>(scratch.data()), 0,
                                               td.Elements ? td.Elements : 1);
            v->AsMatrix()->SetMatrixArray(reinterpret_cast<float*>(scratch.data()), 0,
                                          td.Elements ? td.Elements : 1);
            v->AsShaderResource()->SetResource(nullptr);
            D3D10_SAMPLER_DESC sd;
            v->AsSampler()->GetBackingStore(0, &sd);
            for (UINT k = 0; k < td.Elements; ++k) v->GetElement(k)->SetRawValue(scratch.data(), 0, 4);
        }
        for (UINT t = 0; t < d.Techniques; ++t) {
            ID3D10EffectTechnique* tech = e->GetTechniqueByIndex(t);
            D3D10_TECHNIQUE_DESC td;
            tech->GetDesc(&td);
            for (UINT p = 0; p < td.Passes; ++p) {
                D3D10_PASS_DESC pd;
                tech->GetPassByIndex(p)->GetDesc(&pd);
                tech->GetPassByIndex(p)->Apply(0);
            }
        }
        device->ClearState();
    }

    // The real container, changed through its plain-data form.
    std::vector<uint8_t> edited(const std::function<void(EffectLayout&)>& edit) {
        EffectLayout layout;
        EXPECT_EQ(ReadEffect(container.data(), container.size(), layout), S_OK);
        edit(layout);
        return WriteEffect(layout);
    }

    void patchWord(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
        std::memcpy(bytes.data() + offset, &value, 4);
    }
};

TEST_F(EffectContainerTest, EveryTruncationIsRefused) {
    for (size_t cut = 0; cut < container.size(); ++cut) {
        std::vector<uint8_t> part(container.begin(), container.begin() + cut);
        ASSERT_EQ(create(part), E_INVALIDARG) << cut;
        // With the header's size claiming the cut length, the tables themselves must be checked.
        if (cut >= sizeof(format::Header)) {
            patchWord(part, offsetof(format::Header, fileSize), uint32_t(cut));
            ASSERT_EQ(create(part), E_INVALIDARG) << cut;
        }
    }
    EXPECT_EQ(create(container), S_OK);
}

TEST_F(EffectContainerTest, RandomDamageIsRefusedOrHarmless) {
    constexpr int kRounds = 3000;
    std::mt19937 random(20240607);
    int accepted = 0;
    const uint32_t interesting[] = {0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 16, 240, 0xFFFF};
    for (int round = 0; round < kRounds; ++round) {
        std::vector<uint8_t> bytes = container;
        int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c) {
            size_t at = (random() % (bytes.size() / 4)) * 4;
            uint32_t value;
            switch (random() % 3) {
            case 0:
                value = interesting[random() % std::size(interesting)];
                break;
            case 1: {
                std::memcpy(&value, bytes.data() + at, 4);
                value ^= 1u << (random() % 32);
                break;
            }
            default:
                value = uint32_t(random());
            }
            patchWord(bytes, at, value);
        }
        HRESULT hr = create(bytes, true);
        ASSERT_TRUE(hr == S_OK || hr == E_INVALIDARG) << std::hex << hr;
        accepted += hr == S_OK;
    }
    // Damage to literal values and names is harmless; damage to the structure is refused.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, kRounds);
}

TEST_F(EffectContainerTest, StructuralErrorsAreRefused) {
    auto bytes = container;
    patchWord(bytes, 0, 0x31584656);
    EXPECT_EQ(create(bytes), E_INVALIDARG) << "magic";
    bytes = container;
    patchWord(bytes, 4, kEffectVersion + 1);
    EXPECT_EQ(create(bytes), E_INVALIDARG) << "version";
    bytes = container;
    patchWord(bytes, 12, 1);
    EXPECT_EQ(create(bytes), E_INVALIDARG) << "reserved";
    bytes = container;
    format::Header h;
    std::memcpy(&h, container.data(), sizeof h);
    patchWord(bytes, h.samplers.offset + offsetof(format::SamplerRecord, addressU), 240);
    EXPECT_EQ(create(bytes), E_INVALIDARG) << "address mode";
    bytes = container;
    patchWord(bytes, h.samplers.offset + offsetof(format::SamplerRecord, filter), 0x16);
    EXPECT_EQ(create(bytes), E_INVALIDARG) << "filter";
    bytes = container;
    bytes.push_back(0);
    EXPECT_EQ(create(bytes), E_INVALIDARG) << "trailing byte";

    EXPECT_EQ(create(edited([](EffectLayout& l) { l.variables[1].offset = 240; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.variables[4].size = 144; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.variables[4].offset = 84; })), E_INVALIDARG)
        << "array mid-register";
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.variables[0].buffer = 1; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.variables[0].rows = 5; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.variables[12].firstSampler = 1; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.buffers[0].size = 232; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.buffers[0].variableCount = 14; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.shaders[1].bindings[0].slot = 14; })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) {
                  for (auto& b : l.shaders[1].bindings)
                      if (b.kind == BindingKind::Texture) b.index = 0; // matWVP is no texture
              })),
              E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.techniques[0].passes[0].vertexShader = 1; })),
              E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.techniques[0].passes[0].pixelShader = 10; })),
              E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.techniques[0].passes[0].geometryShader = 0; })),
              E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.shaders[0].bytecode.pop_back(); })), E_INVALIDARG);
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.shaders[0].stage = isa::Stage::Pixel; })), E_INVALIDARG);
    // A pass may leave a stage empty; that is well formed.
    EXPECT_EQ(create(edited([](EffectLayout& l) { l.techniques[0].passes[4].pixelShader = kNone; }), true),
              S_OK);
}

} // namespace
} // namespace platform::d3d10::testing
