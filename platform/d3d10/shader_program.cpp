#include "platform/d3d10/shader_program.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d10 {

namespace {

const char* const kOpcodeNames[] = {
    "mov",  "add",  "mul",  "mad",   "div",  "min",      "max", "dp2",  "dp3",    "dp4",  "rcp",
    "rsq",  "sqrt", "frc",  "floor", "ceil", "round_ne", "exp", "log",  "sin",    "cos",  "lt",
    "ge",   "eq",   "ne",   "and",   "or",   "xor",      "not", "movc", "itof",   "utof", "ftoi",
    "ftou", "iadd", "imul", "ineg",  "ilt",  "ige",      "ieq", "ine",  "sample", "ret"};
static_assert(sizeof kOpcodeNames / sizeof kOpcodeNames[0] == static_cast<size_t>(isa::Opcode::Count));

struct Reader {
    const uint32_t* words;
    size_t count;
    size_t pos = 0;
    bool take(void* out, size_t bytes) {
        size_t n = bytes / 4;
        if (count - pos < n) return false;
        std::memcpy(out, words + pos, bytes);
        pos += n;
        return true;
    }
};

HRESULT fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return E_INVALIDARG;
}

bool validSignature(const isa::SignatureElement& e) {
    if (std::memchr(e.semanticName, 0, sizeof e.semanticName) == nullptr) return false;
    if (e.semanticName[0] == 0) return false;
    if (e.reg >= isa::kMaxIoRegisters || e.mask == 0 || e.mask > 0xF) return false;
    auto sv = static_cast<isa::SystemValue>(e.systemValue);
    return sv == isa::SystemValue::None || sv == isa::SystemValue::Position || sv == isa::SystemValue::Target;
}

} // namespace

const char* OpcodeName(isa::Opcode op) {
    auto i = static_cast<size_t>(op);
    return i < static_cast<size_t>(isa::Opcode::Count) ? kOpcodeNames[i] : "?";
}

const isa::SignatureElement* ShaderProgram::findOutput(isa::SystemValue sv) const {
    for (auto& e : outputs)
        if (e.systemValue == static_cast<uint32_t>(sv)) return &e;
    return nullptr;
}

HRESULT DecodeShader(const void* bytecode, size_t bytes, ShaderProgram& p, std::string* error) {
    if (!bytecode || bytes < sizeof(isa::Header) || bytes % 4 != 0) return fail(error, "truncated header");
    Reader r{static_cast<const uint32_t*>(bytecode), bytes / 4};
    isa::Header h;
    r.take(&h, sizeof h);
    if (h.magic != isa::kMagic || h.version != isa::kVersion) return fail(error, "not shader VM bytecode");
    if (h.stage > 1) return fail(error, "unknown stage");
    if (h.tempCount > isa::kMaxTemps || h.inputCount > isa::kMaxIoRegisters ||
        h.outputCount > isa::kMaxIoRegisters)
        return fail(error, "register counts out of range");
    size_t expected = sizeof h / 4 + (h.inputCount + h.outputCount) * (sizeof(isa::SignatureElement) / 4) +
                      size_t(h.literalCount) * 4 + h.instructionWords;
    if (expected != r.count) return fail(error, "length does not match the header");

    p = ShaderProgram{};
    p.stage = static_cast<isa::Stage>(h.stage);
    p.tempCount = h.tempCount;
    p.bytecode.assign(r.words, r.words + r.count);
    p.inputs.resize(h.inputCount);
    p.outputs.resize(h.outputCount);
    for (auto& e : p.inputs) {
        r.take(&e, sizeof e);
        if (!validSignature(e)) return fail(error, "bad input signature element");
        p.inputRegisterCount = std::max(p.inputRegisterCount, e.reg + 1);
    }
    for (auto& e : p.outputs) {
        r.take(&e, sizeof e);
        if (!validSignature(e)) return fail(error, "bad output signature element");
        p.outputRegisterCount = std::max(p.outputRegisterCount, e.reg + 1);
    }
    p.literals.resize(h.literalCount);
    for (auto& l : p.literals) r.take(l.data(), sizeof l);

    bool ended = false;
    while (r.pos < r.count) {
        uint32_t word = r.words[r.pos++];
        auto op = static_cast<isa::Opcode>(word & 0xFF);
        if (op >= isa::Opcode::Count) return fail(error, "unknown opcode");
        unsigned n = (word >> 8) & 0xF;
        if (n != isa::OperandCount(op))
            return fail(error, std::string("wrong operand count for ") + OpcodeName(op));
        if ((word & ~(0xFFFu | isa::kSaturateBit)) != 0) return fail(error, "reserved instruction bits set");
        DecodedInstruction ins;
        ins.op = op;
        ins.saturate = (word & isa::kSaturateBit) != 0;
        ins.operandCount = static_cast<uint8_t>(n);
        for (unsigned i = 0; i < n; ++i) {
            if (r.count - r.pos < 2) return fail(error, "truncated operand");
            uint32_t w0 = r.words[r.pos++], w1 = r.words[r.pos++];
            DecodedOperand& o = ins.operands[i];
            o.file = static_cast<isa::RegFile>(w0 & 0xF);
            o.neg = (w0 & isa::kNegBit) != 0;
            o.abs = (w0 & isa::kAbsBit) != 0;
            o.index = w0 >> 16;
            o.slot = w1;
            if (w0 & 0xC0) return fail(error, "reserved operand bits set");
            bool destination = i == 0;
            if (destination) {
                o.mask = static_cast<uint8_t>((w0 >> 8) & 0xFF);
                if (o.mask > 0xF || (o.mask == 0 && o.file != isa::RegFile::Null))
                    return fail(error, "bad write mask");
                if (o.neg || o.abs) return fail(error, "modifier on a destination");
            } else {
                o.swizzle = static_cast<uint8_t>((w0 >> 8) & 0xFF);
            }
            bool objectOperand = op == isa::Opcode::Sample && i >= 2;
            switch (o.file) {
            case isa::RegFile::Null:
                if (!destination) return fail(error, "null source");
                break;
            case isa::RegFile::Temp:
                if (objectOperand || o.index >= p.tempCount) return fail(error, "temp register out of range");
                break;
            case isa::RegFile::Input:
                if (destination || objectOperand || o.index >= p.inputRegisterCount)
                    return fail(error, "input register out of range");
                break;
            case isa::RegFile::Output:
                if (!destination || o.index >= p.outputRegisterCount)
                    return fail(error, "output register out of range");
                break;
            case isa::RegFile::Const:
                if (destination || objectOperand || o.slot >= isa::kConstantBufferSlots ||
                    o.index >= isa::kMaxConstantElements)
                    return fail(error, "constant out of range");
                p.constantElements[o.slot] = std::max(p.constantElements[o.slot], o.index + 1);
                break;
            case isa::RegFile::Literal:
                if (destination || objectOperand || o.index >= p.literals.size())
                    return fail(error, "literal out of range");
                break;
            case isa::RegFile::Resource:
                if (op != isa::Opcode::Sample || i != 2 || o.index >= isa::kResourceSlots)
                    return fail(error, "misplaced resource operand");
                if (std::find(p.resourceSlots.begin(), p.resourceSlots.end(), o.index) ==
                    p.resourceSlots.end())
                    p.resourceSlots.push_back(o.index);
                break;
            case isa::RegFile::Sampler:
                if (op != isa::Opcode::Sample || i != 3 || o.index >= isa::kSamplerSlots)
                    return fail(error, "misplaced sampler operand");
                if (std::find(p.samplerSlots.begin(), p.samplerSlots.end(), o.index) == p.samplerSlots.end())
                    p.samplerSlots.push_back(o.index);
                break;
            default:
                return fail(error, "unknown register file");
            }
        }
        if (op == isa::Opcode::Sample &&
            (ins.operands[2].file != isa::RegFile::Resource || ins.operands[3].file != isa::RegFile::Sampler))
            return fail(error, "sample needs a resource and a sampler");
        if (op == isa::Opcode::Ret) {
            ended = true;
            break;
        }
        p.code.push_back(ins);
    }
    if (!ended) return fail(error, "program does not end with ret");
    if (p.stage == isa::Stage::Vertex && !p.findOutput(isa::SystemValue::Position))
        return fail(error, "vertex program writes no SV_Position");
    return S_OK;
}

} // namespace platform::d3d10
