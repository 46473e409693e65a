#include "platform/d3d10/shader_builder.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace platform::d3d10 {

bool ParseComponents(const char* text, unsigned out[4], unsigned& count) {
    count = 0;
    for (const char* p = text; *p; ++p) {
        if (count == 4) return false;
        switch (*p) {
        case 'x':
        case 'r':
            out[count++] = 0;
            break;
        case 'y':
        case 'g':
            out[count++] = 1;
            break;
        case 'z':
        case 'b':
            out[count++] = 2;
            break;
        case 'w':
        case 'a':
            out[count++] = 3;
            break;
        default:
            return false;
        }
    }
    return count > 0;
}

Operand Operand::swizzled(const char* components) const {
    unsigned c[4], n;
    Operand o = *this;
    if (!ParseComponents(components, c, n)) return o;
    for (unsigned i = n; i < 4; ++i) c[i] = c[n - 1];
    // Compose with the existing swizzle so that r.zw.x reads r.z.
    o.swizzle = isa::Swizzle(component(c[0]), component(c[1]), component(c[2]), component(c[3]));
    return o;
}

Operand Operand::masked(const char* components) const {
    unsigned c[4], n;
    Operand o = *this;
    if (!ParseComponents(components, c, n)) return o;
    o.mask = 0;
    for (unsigned i = 0; i < n; ++i) o.mask |= 1u << c[i];
    return o;
}

namespace {

isa::SignatureElement makeElement(const std::string& semantic, uint32_t semanticIndex, uint32_t reg,
                                  uint32_t mask, isa::SystemValue sv) {
    isa::SignatureElement e{};
    std::strncpy(e.semanticName, semantic.c_str(), isa::kSemanticNameLength - 1);
    e.semanticIndex = semanticIndex;
    e.reg = reg;
    e.mask = mask & 0xF;
    e.systemValue = static_cast<uint32_t>(sv);
    return e;
}

// Copies bytes into the word stream at `at`, advancing it.
void putWords(std::vector<uint32_t>& out, size_t& at, const void* data, size_t bytes) {
    if (bytes) std::memcpy(out.data() + at, data, bytes);
    at += bytes / 4;
}

} // namespace

void ShaderBuilder::input(const std::string& semantic, uint32_t semanticIndex, uint32_t reg, uint32_t mask,
                          isa::SystemValue sv) {
    inputs_.push_back(makeElement(semantic, semanticIndex, reg, mask, sv));
}

void ShaderBuilder::output(const std::string& semantic, uint32_t semanticIndex, uint32_t reg, uint32_t mask,
                           isa::SystemValue sv) {
    outputs_.push_back(makeElement(semantic, semanticIndex, reg, mask, sv));
}

Operand ShaderBuilder::literalBits(uint32_t x, uint32_t y, uint32_t z, uint32_t w) {
    const uint32_t v[4] = {x, y, z, w};
    for (size_t i = 0; i + 4 <= literals_.size(); i += 4) {
        if (std::equal(v, v + 4, literals_.begin() + static_cast<std::ptrdiff_t>(i)))
            return {isa::RegFile::Literal, static_cast<uint32_t>(i / 4)};
    }
    literals_.insert(literals_.end(), v, v + 4);
    return {isa::RegFile::Literal, static_cast<uint32_t>(literals_.size() / 4 - 1)};
}

Operand ShaderBuilder::literal(float x, float y, float z, float w) {
    return literalBits(std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y), std::bit_cast<uint32_t>(z),
                       std::bit_cast<uint32_t>(w));
}

void ShaderBuilder::noteTemp(const Operand& o) {
    if (o.file == isa::RegFile::Temp) tempCount_ = std::max(tempCount_, o.index + 1);
}

void ShaderBuilder::operand(const Operand& o, bool destination) {
    noteTemp(o);
    code_.push_back(isa::EncodeOperandWord(o.file, o.index, destination ? o.mask : o.swizzle, o.neg, o.abs));
    code_.push_back(o.file == isa::RegFile::Const ? o.slot : 0);
}

void ShaderBuilder::emit(isa::Opcode op, const Operand& dst, const Operand& a, const Operand& b,
                         const Operand& c, bool saturate) {
    code_.push_back(isa::EncodeInstruction(op, saturate));
    unsigned n = isa::OperandCount(op);
    const Operand* ops[4] = {&dst, &a, &b, &c};
    for (unsigned i = 0; i < n; ++i) operand(*ops[i], i == 0);
}

void ShaderBuilder::sample(const Operand& dst, const Operand& coordinate, uint32_t resourceSlot,
                           uint32_t samplerSlot, bool saturate) {
    emit(isa::Opcode::Sample, dst, coordinate, Operand{isa::RegFile::Resource, resourceSlot},
         Operand{isa::RegFile::Sampler, samplerSlot}, saturate);
}

std::vector<uint32_t> ShaderBuilder::finish() {
    std::vector<uint32_t> code = code_;
    code.push_back(isa::EncodeInstruction(isa::Opcode::Ret));
    isa::Header h{};
    h.magic = isa::kMagic;
    h.version = isa::kVersion;
    h.stage = static_cast<uint32_t>(stage_);
    h.tempCount = tempCount_;
    h.inputCount = static_cast<uint32_t>(inputs_.size());
    h.outputCount = static_cast<uint32_t>(outputs_.size());
    h.literalCount = static_cast<uint32_t>(literals_.size() / 4);
    h.instructionWords = static_cast<uint32_t>(code.size());
    size_t elementWords = sizeof(isa::SignatureElement) / 4;
    std::vector<uint32_t> out(sizeof h / 4 + (inputs_.size() + outputs_.size()) * elementWords +
                              literals_.size() + code.size());
    size_t at = 0;
    putWords(out, at, &h, sizeof h);
    for (auto& e : inputs_) putWords(out, at, &e, sizeof e);
    for (auto& e : outputs_) putWords(out, at, &e, sizeof e);
    putWords(out, at, literals_.data(), literals_.size() * 4);
    putWords(out, at, code.data(), code.size() * 4);
    return out;
}

} // namespace platform::d3d10
