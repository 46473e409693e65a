// A software device and the compiled effect of unfoldfilter, loaded as the engine loads it: raw-data
// resource 104 of the module (this test executable carries resources/unfoldfilter.rc).
#pragma once

#include <cstring>
#include <vector>

#include <d3d10.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/d3d10/software_device.h"
#include "platform/win32/com_ptr.h"

namespace platform::d3d10::testing {

// The container bytes of resource 104.
inline std::vector<uint8_t> EffectResource() {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(104), RT_RCDATA);
    EXPECT_NE(info, nullptr) << "resource 104 is missing";
    if (!info) return {};
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, info)));
    return std::vector<uint8_t>(data, data + SizeofResource(nullptr, info));
}

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        liveBefore_ = LiveObjectCount();
        ASSERT_EQ(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                    device.put()),
                  S_OK);
        container = EffectResource();
        ASSERT_FALSE(container.empty());
        ASSERT_EQ(D3D10CreateEffectFromMemory(container.data(), container.size(), 0, device.get(), nullptr,
                                              effect.put()),
                  S_OK);
        technique = effect->GetTechniqueByName("MyShader");
    }

    void TearDown() override {
        if (effect) {
            EXPECT_EQ(effect.detach()->Release(), 0u);
        }
        if (device) {
            EXPECT_EQ(device.detach()->Release(), 0u);
        }
        EXPECT_EQ(LiveObjectCount(), liveBefore_) << "device objects leaked";
    }

    ID3D10EffectVariable* var(const char* name) { return effect->GetVariableByName(name); }

    // The bytes of $Globals as the effect holds them.
    std::vector<uint8_t> globals() {
        std::vector<uint8_t> bytes(240);
        EXPECT_EQ(effect->GetConstantBufferByName("$Globals")->GetRawValue(bytes.data(), 0, 240), S_OK);
        return bytes;
    }
    float floatAt(size_t offset) {
        float f;
        std::memcpy(&f, globals().data() + offset, 4);
        return f;
    }
    uint32_t wordAt(size_t offset) {
        uint32_t u;
        std::memcpy(&u, globals().data() + offset, 4);
        return u;
    }

    ComPtr<ID3D10Device> device;
    ComPtr<ID3D10Effect> effect;
    ID3D10EffectTechnique* technique = nullptr;
    std::vector<uint8_t> container;

private:
    long liveBefore_ = 0;
};

} // namespace platform::d3d10::testing
