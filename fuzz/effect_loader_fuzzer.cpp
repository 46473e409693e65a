// The effect container loader: D3D10CreateEffectFromMemory on the software device, then every
// technique's passes applied, which plans each shader for the VM.
#include <cstdint>
#include <vector>

#include <d3d10.h>
#include <d3d10effect.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ID3D10Device* device = [] {
        ID3D10Device* d = nullptr;
        D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION, &d);
        return d;
    }();
    if (!device) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    ID3D10Effect* effect = nullptr;
    if (SUCCEEDED(D3D10CreateEffectFromMemory(bytes.data(), bytes.size(), 0, device, nullptr, &effect))) {
        D3D10_EFFECT_DESC desc{};
        effect->GetDesc(&desc);
        for (UINT t = 0; t < desc.Techniques && t < 16; ++t) {
            ID3D10EffectTechnique* technique = effect->GetTechniqueByIndex(t);
            D3D10_TECHNIQUE_DESC td{};
            if (!technique->IsValid() || FAILED(technique->GetDesc(&td))) continue;
            for (UINT p = 0; p < td.Passes && p < 16; ++p) technique->GetPassByIndex(p)->Apply(0);
        }
        effect->Release();
    }
    return 0;
}
