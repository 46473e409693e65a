// The effect framework over the software device: creation, variable views and IsValid, setters and
// getters with the constant-buffer packing, techniques and passes, Apply, failures.
#include "tests/platform/d3d10/effect_fixture.h"

#include "platform/win32/fault_injection.h"

namespace platform::d3d10::testing {
namespace {

ULONG refs(IUnknown* o) {
    o->AddRef();
    return o->Release();
}

TEST_F(EffectTest, DescribesTheEffectOfResource104) {
    D3D10_EFFECT_DESC d;
    ASSERT_EQ(effect->GetDesc(&d), S_OK);
    EXPECT_EQ(d.ConstantBuffers, 1u);
    EXPECT_EQ(d.GlobalVariables, 13u);
    EXPECT_EQ(d.Techniques, 1u);
    EXPECT_FALSE(d.IsChildEffect);
    EXPECT_TRUE(effect->IsValid());
    EXPECT_FALSE(effect->IsPool());
    ComPtr<ID3D10Device> same;
    ASSERT_EQ(effect->GetDevice(same.put()), S_OK);
    EXPECT_EQ(same.get(), device.get());
    ComPtr<ID3D10Effect> again;
    EXPECT_EQ(effect->QueryInterface(IID_ID3D10Effect, again.putVoid()), S_OK);
    ComPtr<IUnknown> notADevice;
    EXPECT_EQ(effect->QueryInterface(IID_ID3D10Device, notADevice.putVoid()), E_NOINTERFACE);

    D3D10_TECHNIQUE_DESC t;
    ASSERT_EQ(technique->GetDesc(&t), S_OK);
    EXPECT_STREQ(t.Name, "MyShader");
    EXPECT_EQ(t.Passes, 5u);
    for (UINT i = 0; i < 5; ++i) {
        D3D10_PASS_DESC p;
        ASSERT_EQ(technique->GetPassByIndex(i)->GetDesc(&p), S_OK);
        EXPECT_EQ(std::string(p.Name), "P" + std::to_string(i));
        EXPECT_NE(p.pIAInputSignature, nullptr);
        EXPECT_EQ(technique->GetPassByName(p.Name), technique->GetPassByIndex(i));
    }
}

TEST_F(EffectTest, TypedViewsAreValidOnlyForTheirClass) {
    for (const char* name :
         {"contrast", "brightness", "saturation", "filter", "alpha", "texWidth", "texHeight", "inversed"}) {
        ID3D10EffectVariable* v = var(name);
        EXPECT_TRUE(v->IsValid()) << name;
        EXPECT_TRUE(v->AsScalar()->IsValid()) << name;
        EXPECT_FALSE(v->AsMatrix()->IsValid()) << name;
        EXPECT_FALSE(v->AsVector()->IsValid()) << name;
        EXPECT_FALSE(v->AsShaderResource()->IsValid()) << name;
        EXPECT_EQ(v->AsMatrix()->SetMatrix(nullptr), E_FAIL) << name;
    }
    EXPECT_TRUE(var("matWVP")->AsMatrix()->IsValid());
    EXPECT_FALSE(var("matWVP")->AsScalar()->IsValid());
    for (const char* name : {"tex0", "tex1", "tex2"}) {
        EXPECT_TRUE(var(name)->AsShaderResource()->IsValid()) << name;
        EXPECT_FALSE(var(name)->AsScalar()->IsValid()) << name;
        EXPECT_EQ(var(name)->AsScalar()->SetFloat(1), E_FAIL);
    }
    EXPECT_TRUE(var("inputSampler")->AsSampler()->IsValid());
    EXPECT_FALSE(var("inputSampler")->AsShaderResource()->IsValid());

    // Unknown names, such as the engine's "imgWidth", give the invalid variable: every view of it is
    // invalid and every setter fails.
    ID3D10EffectVariable* unknown = var("imgWidth");
    ASSERT_NE(unknown, nullptr);
    EXPECT_FALSE(unknown->IsValid());
    EXPECT_FALSE(unknown->AsScalar()->IsValid());
    EXPECT_EQ(unknown->AsScalar()->SetInt(640), E_FAIL);
    EXPECT_EQ(unknown->AsShaderResource()->SetResource(nullptr), E_FAIL);
    D3D10_EFFECT_VARIABLE_DESC d;
    EXPECT_EQ(unknown->GetDesc(&d), E_FAIL);
    EXPECT_FALSE(unknown->GetType()->IsValid());
    EXPECT_FALSE(effect->GetVariableByIndex(13)->IsValid());
    EXPECT_FALSE(var(nullptr)->IsValid());
    EXPECT_FALSE(effect->GetConstantBufferByName("nope")->IsValid());
    EXPECT_FALSE(effect->GetTechniqueByName("nope")->IsValid());
    EXPECT_FALSE(effect->GetTechniqueByName("nope")->GetPassByIndex(0)->IsValid());
    EXPECT_EQ(effect->GetTechniqueByName("nope")->GetPassByIndex(0)->Apply(0), E_FAIL);
    EXPECT_FALSE(technique->GetPassByIndex(5)->IsValid());
    EXPECT_FALSE(technique->GetPassByName("P5")->IsValid());
}

TEST_F(EffectTest, DescriptionsGiveOffsetsTypesAndTheParentBuffer) {
    D3D10_EFFECT_VARIABLE_DESC d;
    ASSERT_EQ(var("alpha")->GetDesc(&d), S_OK);
    EXPECT_STREQ(d.Name, "alpha");
    EXPECT_EQ(d.BufferOffset, 212u);
    D3D10_EFFECT_TYPE_DESC t;
    ASSERT_EQ(var("filter")->GetType()->GetDesc(&t), S_OK);
    EXPECT_STREQ(t.TypeName, "float");
    EXPECT_EQ(t.Class, D3D10_SVC_SCALAR);
    EXPECT_EQ(t.Elements, 9u);
    EXPECT_EQ(t.Stride, 16u);
    EXPECT_EQ(t.UnpackedSize, 132u);
    ASSERT_EQ(var("matWVP")->GetType()->GetDesc(&t), S_OK);
    EXPECT_EQ(t.Class, D3D10_SVC_MATRIX_COLUMNS);
    EXPECT_EQ(t.Rows, 4u);
    ASSERT_EQ(var("filter")->GetElement(3)->GetDesc(&d), S_OK);
    EXPECT_EQ(d.BufferOffset, 80u + 48u);
    EXPECT_FALSE(var("filter")->GetElement(9)->IsValid());
    EXPECT_FALSE(var("alpha")->GetElement(0)->IsValid());

    ID3D10EffectConstantBuffer* globalsBuffer = effect->GetConstantBufferByName("$Globals");
    EXPECT_TRUE(globalsBuffer->IsValid());
    EXPECT_EQ(effect->GetConstantBufferByIndex(0), globalsBuffer);
    EXPECT_EQ(var("contrast")->GetParentConstantBuffer(), globalsBuffer);
    ASSERT_EQ(globalsBuffer->GetMemberByIndex(4)->GetDesc(&d), S_OK);
    EXPECT_STREQ(d.Name, "filter");
    EXPECT_EQ(globalsBuffer->GetMemberByName("inversed")->GetDesc(&d), S_OK);
    EXPECT_EQ(d.BufferOffset, 224u);
    EXPECT_FALSE(var("tex0")->GetParentConstantBuffer()->IsValid());
}

TEST_F(EffectTest, ScalarSettersStoreAtTheirOffsetsAndConvert) {
    ASSERT_EQ(var("contrast")->AsScalar()->SetFloat(0.25f), S_OK);
    ASSERT_EQ(var("brightness")->AsScalar()->SetFloat(1.5f), S_OK);
    ASSERT_EQ(var("texWidth")->AsScalar()->SetInt(1920), S_OK);
    ASSERT_EQ(var("texHeight")->AsScalar()->SetInt(1080), S_OK);
    ASSERT_EQ(var("inversed")->AsScalar()->SetBool(TRUE), S_OK);
    EXPECT_EQ(floatAt(64), 0.25f);
    EXPECT_EQ(floatAt(68), 1.5f);
    EXPECT_EQ(wordAt(216), 1920u);
    EXPECT_EQ(wordAt(220), 1080u);
    EXPECT_EQ(wordAt(224), 1u);
    BOOL b = FALSE;
    EXPECT_EQ(var("inversed")->AsScalar()->GetBool(&b), S_OK);
    EXPECT_TRUE(b);
    // Between types, values convert: to int by truncation, to bool by "not zero".
    ASSERT_EQ(var("texWidth")->AsScalar()->SetFloat(3.7f), S_OK);
    int i = 0;
    EXPECT_EQ(var("texWidth")->AsScalar()->GetInt(&i), S_OK);
    EXPECT_EQ(i, 3);
    ASSERT_EQ(var("alpha")->AsScalar()->SetInt(2), S_OK);
    float f = 0;
    EXPECT_EQ(var("alpha")->AsScalar()->GetFloat(&f), S_OK);
    EXPECT_EQ(f, 2.0f);
    EXPECT_EQ(var("alpha")->AsScalar()->GetBool(&b), S_OK);
    EXPECT_TRUE(b);
    ASSERT_EQ(var("inversed")->AsScalar()->SetFloat(0.0f), S_OK);
    EXPECT_EQ(wordAt(224), 0u);
    EXPECT_EQ(var("alpha")->AsScalar()->GetFloat(nullptr), E_INVALIDARG);
}

TEST_F(EffectTest, FilterArrayTakesOffsetAndCountAtOneElementPerRegister) {
    ID3D10EffectScalarVariable* filter = var("filter")->AsScalar();
    float kernel[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(filter->SetFloatArray(kernel, 0, 9), S_OK);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(floatAt(80 + 16 * i), kernel[i]) << i;
    EXPECT_EQ(floatAt(84), 0.0f); // the padding between elements is untouched
    float two[2] = {-1, -2};
    ASSERT_EQ(filter->SetFloatArray(two, 3, 2), S_OK);
    EXPECT_EQ(floatAt(80 + 16 * 2), 3.0f);
    EXPECT_EQ(floatAt(80 + 16 * 3), -1.0f);
    EXPECT_EQ(floatAt(80 + 16 * 4), -2.0f);
    EXPECT_EQ(floatAt(80 + 16 * 5), 6.0f);
    // Out of range or without data: refused, nothing written.
    EXPECT_EQ(filter->SetFloatArray(two, 8, 2), E_INVALIDARG);
    EXPECT_EQ(filter->SetFloatArray(nullptr, 0, 9), E_INVALIDARG);
    EXPECT_EQ(filter->SetFloatArray(two, 0xFFFFFFFFu, 2), E_INVALIDARG);
    EXPECT_EQ(floatAt(80 + 16 * 8), 9.0f);
    float back[9];
    ASSERT_EQ(filter->GetFloatArray(back, 0, 9), S_OK);
    EXPECT_EQ(back[4], -2.0f);
    // One element, through its own view.
    ASSERT_EQ(var("filter")->GetElement(7)->AsScalar()->SetFloat(0.5f), S_OK);
    EXPECT_EQ(floatAt(80 + 16 * 7), 0.5f);
}

TEST_F(EffectTest, MatricesGoInRowMajorAndAreStoredByColumn) {
    float m[16];
    for (int i = 0; i < 16; ++i) m[i] = float(i + 1); // row r, column c = 4r + c + 1
    ID3D10EffectMatrixVariable* wvp = var("matWVP")->AsMatrix();
    ASSERT_EQ(wvp->SetMatrix(m), S_OK);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(floatAt(16 * c + 4 * r), m[4 * r + c]) << r << "," << c;
    float back[16];
    ASSERT_EQ(wvp->GetMatrix(back), S_OK);
    EXPECT_EQ(std::vector<float>(back, back + 16), std::vector<float>(m, m + 16));
    ASSERT_EQ(wvp->SetMatrixTranspose(m), S_OK); // m read as columns
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(floatAt(16 * c + 4 * r), m[4 * c + r]);
    ASSERT_EQ(wvp->GetMatrixTranspose(back), S_OK);
    EXPECT_EQ(std::vector<float>(back, back + 16), std::vector<float>(m, m + 16));
    EXPECT_EQ(wvp->SetMatrix(nullptr), E_INVALIDARG);
}

TEST_F(EffectTest, RawValuesAreBoundedByTheVariable) {
    uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(var("alpha")->SetRawValue(bytes, 0, 4), S_OK);
    EXPECT_EQ(wordAt(212), 0x04030201u);
    EXPECT_EQ(var("alpha")->SetRawValue(bytes, 0, 8), E_INVALIDARG);
    EXPECT_EQ(var("alpha")->SetRawValue(bytes, 2, 4), E_INVALIDARG);
    EXPECT_EQ(var("filter")->SetRawValue(bytes, 128, 4), S_OK); // the last element's register
    EXPECT_EQ(var("filter")->SetRawValue(bytes, 129, 4), E_INVALIDARG);
    EXPECT_EQ(effect->GetConstantBufferByIndex(0)->SetRawValue(bytes, 236, 4), S_OK);
    EXPECT_EQ(effect->GetConstantBufferByIndex(0)->SetRawValue(bytes, 237, 4), E_INVALIDARG);
    EXPECT_EQ(var("tex0")->SetRawValue(bytes, 0, 4), E_FAIL);
}

TEST_F(EffectTest, ResourcesAreHeldWithAReference) {
    D3D10_TEXTURE2D_DESC t{
        4, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE,
        0, 0};
    ComPtr<ID3D10Texture2D> texture;
    ASSERT_EQ(device->CreateTexture2D(&t, nullptr, texture.put()), S_OK);
    ComPtr<ID3D10ShaderResourceView> view;
    ASSERT_EQ(device->CreateShaderResourceView(texture.get(), nullptr, view.put()), S_OK);
    ULONG before = refs(view.get());
    ID3D10EffectShaderResourceVariable* tex0 = var("tex0")->AsShaderResource();
    ASSERT_EQ(tex0->SetResource(view.get()), S_OK);
    EXPECT_EQ(refs(view.get()), before + 1);
    ComPtr<ID3D10ShaderResourceView> back;
    ASSERT_EQ(tex0->GetResource(back.put()), S_OK);
    EXPECT_EQ(back.get(), view.get());
    back = nullptr;
    ASSERT_EQ(tex0->SetResource(nullptr), S_OK);
    EXPECT_EQ(refs(view.get()), before);
    ASSERT_EQ(tex0->GetResource(back.put()), S_OK);
    EXPECT_EQ(back.get(), nullptr);
    // The effect lets go of what it still holds when it goes.
    ASSERT_EQ(tex0->SetResource(view.get()), S_OK);
    EXPECT_EQ(effect.detach()->Release(), 0u);
    EXPECT_EQ(refs(view.get()), before);
}

TEST_F(EffectTest, SamplerCarriesTheStateOfTheSource) {
    D3D10_SAMPLER_DESC d;
    ASSERT_EQ(var("inputSampler")->AsSampler()->GetBackingStore(0, &d), S_OK);
    EXPECT_EQ(d.Filter, D3D10_FILTER_MIN_MAG_MIP_LINEAR);
    EXPECT_EQ(d.AddressU, D3D10_TEXTURE_ADDRESS_CLAMP);
    EXPECT_EQ(d.AddressV, D3D10_TEXTURE_ADDRESS_CLAMP);
    ComPtr<ID3D10SamplerState> state;
    ASSERT_EQ(var("inputSampler")->AsSampler()->GetSampler(0, state.put()), S_OK);
    D3D10_SAMPLER_DESC made;
    state->GetDesc(&made);
    EXPECT_EQ(made.Filter, d.Filter);
    EXPECT_EQ(var("inputSampler")->AsSampler()->GetSampler(1, state.put()), E_INVALIDARG);
}

TEST_F(EffectTest, ApplyBindsShadersBufferTexturesAndSampler) {
    D3D10_TEXTURE2D_DESC t{
        4, 4, 1, 1, DXGI_FORMAT_R8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0, 0};
    ComPtr<ID3D10ShaderResourceView> views[3];
    for (int i = 0; i < 3; ++i) {
        ComPtr<ID3D10Texture2D> plane;
        ASSERT_EQ(device->CreateTexture2D(&t, nullptr, plane.put()), S_OK);
        ASSERT_EQ(device->CreateShaderResourceView(plane.get(), nullptr, views[i].put()), S_OK);
        ASSERT_EQ(var(("tex" + std::to_string(i)).c_str())->AsShaderResource()->SetResource(views[i].get()),
                  S_OK);
    }
    ASSERT_EQ(technique->GetPassByIndex(0)->Apply(0), S_OK);
    ComPtr<ID3D10VertexShader> vs;
    ComPtr<ID3D10PixelShader> ps;
    ComPtr<ID3D10GeometryShader> gs;
    device->VSGetShader(vs.put());
    device->PSGetShader(ps.put());
    device->GSGetShader(gs.put());
    EXPECT_NE(vs.get(), nullptr);
    EXPECT_NE(ps.get(), nullptr);
    EXPECT_EQ(gs.get(), nullptr);
    ComPtr<ID3D10Buffer> own, vsBuffer, psBuffer;
    ASSERT_EQ(effect->GetConstantBufferByName("$Globals")->GetConstantBuffer(own.put()), S_OK);
    device->VSGetConstantBuffers(0, 1, vsBuffer.put());
    device->PSGetConstantBuffers(0, 1, psBuffer.put());
    EXPECT_EQ(vsBuffer.get(), own.get());
    EXPECT_EQ(psBuffer.get(), own.get());
    D3D10_BUFFER_DESC bd;
    own->GetDesc(&bd);
    EXPECT_EQ(bd.ByteWidth, 240u);
    EXPECT_EQ(bd.Usage, D3D10_USAGE_DEFAULT);
    EXPECT_EQ(bd.BindFlags, UINT(D3D10_BIND_CONSTANT_BUFFER));
    ID3D10ShaderResourceView* bound[3] = {};
    device->PSGetShaderResources(0, 3, bound);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bound[i], views[i].get()) << i;
        if (bound[i]) bound[i]->Release();
    }
    ComPtr<ID3D10SamplerState> sampler, own0;
    device->PSGetSamplers(0, 1, sampler.put());
    ASSERT_EQ(var("inputSampler")->AsSampler()->GetSampler(0, own0.put()), S_OK);
    EXPECT_EQ(sampler.get(), own0.get());

    // Another pass binds its own pixel shader.
    ASSERT_EQ(technique->GetPassByIndex(4)->Apply(0), S_OK);
    ComPtr<ID3D10PixelShader> ps4;
    device->PSGetShader(ps4.put());
    EXPECT_NE(ps4.get(), ps.get());
    device->ClearState();
}

TEST_F(EffectTest, PassSignatureMakesTheEngineInputLayout) {
    D3D10_PASS_DESC p;
    ASSERT_EQ(technique->GetPassByIndex(0)->GetDesc(&p), S_OK);
    D3D10_INPUT_ELEMENT_DESC layout[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 28, D3D10_INPUT_PER_VERTEX_DATA, 0},
    };
    ComPtr<ID3D10InputLayout> inputLayout;
    EXPECT_EQ(
        device->CreateInputLayout(layout, 3, p.pIAInputSignature, p.IAInputSignatureSize, inputLayout.put()),
        S_OK);
    layout[2].SemanticName = "NORMAL";
    EXPECT_NE(
        device->CreateInputLayout(layout, 3, p.pIAInputSignature, p.IAInputSignatureSize, inputLayout.put()),
        S_OK);
}

TEST(EffectCreation, CallerMistakesAndFailuresLeaveNoEffect) {
    long live = LiveObjectCount();
    ComPtr<ID3D10Device> device;
    ASSERT_EQ(
        D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION, device.put()),
        S_OK);
    std::vector<uint8_t> data = EffectResource();
    ID3D10Effect* e = reinterpret_cast<ID3D10Effect*>(1);
    EXPECT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0, device.get(), nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(D3D10CreateEffectFromMemory(nullptr, data.size(), 0, device.get(), nullptr, &e), E_INVALIDARG);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0, nullptr, nullptr, &e), E_INVALIDARG);
    EXPECT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0, device.get(),
                                          reinterpret_cast<ID3D10EffectPool*>(device.get()), &e),
              E_NOTIMPL);
    EXPECT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0x100, device.get(), nullptr, &e),
              E_INVALIDARG);
    for (const char* call :
         {"D3D10CreateEffectFromMemory", "ID3D10Device::CreateBuffer", "ID3D10Device::CreateSamplerState",
          "ID3D10Device::CreateVertexShader", "ID3D10Device::CreatePixelShader"}) {
        ScopedFault fault(call, E_OUTOFMEMORY);
        e = reinterpret_cast<ID3D10Effect*>(1);
        EXPECT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0, device.get(), nullptr, &e),
                  E_OUTOFMEMORY)
            << call;
        EXPECT_EQ(e, nullptr) << call;
        EXPECT_EQ(fault.hits(), 1u) << call;
    }
    // The ninth shader failing leaves nothing of the first eight behind either.
    {
        ScopedFault fault("ID3D10Device::CreatePixelShader", E_FAIL, 4, 1);
        EXPECT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0, device.get(), nullptr, &e),
                  E_FAIL);
    }
    ASSERT_EQ(D3D10CreateEffectFromMemory(data.data(), data.size(), 0, device.get(), nullptr, &e), S_OK);
    EXPECT_EQ(e->Release(), 0u);
    EXPECT_EQ(device.detach()->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), live);
}

} // namespace
} // namespace platform::d3d10::testing
