// Runs one compiled shader on the VM's lanes without a device: inputs by semantic, constant
// buffers as bytes, textures and samplers by slot; outputs read back by semantic.
#pragma once

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/sampler.h"
#include "platform/d3d10/shader_program.h"
#include "platform/d3d10/shader_vm.h"

namespace platform::d3d10::testing {

using Float4 = std::array<float, 4>;

class ShaderRunner {
public:
    explicit ShaderRunner(const std::vector<uint32_t>& bytecode) {
        std::string error;
        EXPECT_EQ(DecodeShader(bytecode.data(), bytecode.size() * 4, program_, &error), S_OK) << error;
        plan_ = std::make_shared<ExecutionPlan>(program_);
        vm_ = std::make_unique<ShaderVM>(plan_);
    }

    const ShaderProgram& program() const { return program_; }

    // Every lane gets the same value, or lane i gets values[i].
    void input(const char* semantic, const Float4& value) {
        const isa::SignatureElement* e = find(program_.inputs, semantic);
        ASSERT_NE(e, nullptr) << "no input " << semantic;
        for (unsigned c = 0; c < 4; ++c) std::fill_n(vm_->input(e->reg, c), kLanes, value[c]);
    }
    void input(const char* semantic, int lane, const Float4& value) {
        const isa::SignatureElement* e = find(program_.inputs, semantic);
        ASSERT_NE(e, nullptr) << "no input " << semantic;
        for (unsigned c = 0; c < 4; ++c) vm_->input(e->reg, c)[lane] = value[c];
    }
    void constants(uint32_t slot, std::vector<uint8_t> bytes) { constants_[slot] = std::move(bytes); }
    void texture(uint32_t slot, const SampledTexture& t) { vm_->bindTexture(slot, t); }
    void sampler(uint32_t slot, const D3D10_SAMPLER_DESC& d) {
        vm_->bindSampler(slot, SamplerSettings::From(d));
    }

    void run(int lanes = kLanes) {
        ConstantData data[isa::kConstantBufferSlots];
        for (uint32_t s = 0; s < isa::kConstantBufferSlots; ++s)
            data[s] = {constants_[s].data(), constants_[s].size()};
        vm_->bindConstants(data);
        vm_->run(lanes);
    }

    Float4 output(const char* semantic, int lane = 0) {
        const isa::SignatureElement* e = find(program_.outputs, semantic);
        EXPECT_NE(e, nullptr) << "no output " << semantic;
        if (!e) return {};
        Float4 v{};
        for (unsigned c = 0; c < 4; ++c) v[c] = vm_->output(e->reg, c)[lane];
        return v;
    }

private:
    // "TEXCOORD1" or "COLOR" (index 0), not case-sensitive.
    static const isa::SignatureElement* find(const std::vector<isa::SignatureElement>& list,
                                             const char* semantic) {
        std::string s = semantic;
        size_t end = s.find_last_not_of("0123456789") + 1;
        uint32_t index = end < s.size() ? static_cast<uint32_t>(std::stoul(s.substr(end))) : 0;
        std::string name = s.substr(0, end);
        for (const auto& e : list)
            if (strcasecmp(e.semanticName, name.c_str()) == 0 && e.semanticIndex == index) return &e;
        return nullptr;
    }

    ShaderProgram program_;
    std::shared_ptr<ExecutionPlan> plan_;
    std::unique_ptr<ShaderVM> vm_;
    std::vector<uint8_t> constants_[isa::kConstantBufferSlots];
};

} // namespace platform::d3d10::testing
