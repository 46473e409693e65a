// Text form of the shader VM bytecode: AssembleShader and DisassembleShader.
#include <bit>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/d3d10/shader_builder.h"
#include "platform/d3d10/shader_program.h"

namespace platform::d3d10 {

namespace {

struct AsmError {
    std::string what;
};

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// Splits at commas that are not inside parentheses.
std::vector<std::string> splitOperands(const std::string& s) {
    std::vector<std::string> out;
    int depth = 0;
    std::string cur;
    for (char c : s) {
        if (c == '(') depth++;
        if (c == ')') depth--;
        if (c == ',' && depth == 0) {
            out.push_back(trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!trim(cur).empty()) out.push_back(trim(cur));
    return out;
}

uint32_t parseIndex(const std::string& s, size_t& pos) {
    size_t start = pos;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) pos++;
    if (pos == start) throw AsmError{"expected a register number in '" + s + "'"};
    return static_cast<uint32_t>(std::strtoul(s.substr(start, pos - start).c_str(), nullptr, 10));
}

float parseFloat(const std::string& s) {
    std::string t = trim(s);
    char* end = nullptr;
    float v = std::strtof(t.c_str(), &end);
    if (t.empty() || (end && *end && !(end[0] == 'f' && end[1] == 0)))
        throw AsmError{"bad number '" + t + "'"};
    return v;
}

Operand parseOperand(ShaderBuilder& b, std::string text, bool destination) {
    text = trim(text);
    bool neg = false, abs = false;
    if (!text.empty() && text[0] == '-') {
        neg = true;
        text = trim(text.substr(1));
    }
    if (!text.empty() && text[0] == '|') {
        size_t close = text.rfind('|');
        if (close == 0) throw AsmError{"unclosed |"};
        abs = true;
        text = trim(text.substr(1, close - 1)) + text.substr(close + 1);
    }
    Operand o;
    size_t pos = 0;
    if (text.rfind("l(", 0) == 0) {
        size_t close = text.find(')');
        if (close == std::string::npos) throw AsmError{"unclosed literal"};
        auto parts = splitOperands(text.substr(2, close - 2));
        if (parts.size() != 1 && parts.size() != 4) throw AsmError{"a literal has 1 or 4 components"};
        float v[4];
        for (size_t i = 0; i < 4; ++i) v[i] = parseFloat(parts[parts.size() == 1 ? 0 : i]);
        o = b.literal(v[0], v[1], v[2], v[3]);
        pos = close + 1;
    } else if (text.rfind("cb", 0) == 0) {
        pos = 2;
        uint32_t slot = parseIndex(text, pos);
        if (pos >= text.size() || text[pos] != '[') throw AsmError{"expected cbN[element]"};
        pos++;
        uint32_t element = parseIndex(text, pos);
        if (pos >= text.size() || text[pos] != ']') throw AsmError{"expected ]"};
        pos++;
        o = Const(slot, element);
    } else if (text == "null") {
        return NullDst();
    } else {
        if (text.empty()) throw AsmError{"missing operand"};
        char f = text[0];
        pos = 1;
        uint32_t i = parseIndex(text, pos);
        switch (f) {
        case 'r':
            o = Temp(i);
            break;
        case 'v':
            o = In(i);
            break;
        case 'o':
            o = Out(i);
            break;
        case 't':
            o = Operand{isa::RegFile::Resource, i};
            break;
        case 's':
            o = Operand{isa::RegFile::Sampler, i};
            break;
        default:
            throw AsmError{"unknown register '" + text + "'"};
        }
    }
    if (pos < text.size()) {
        if (text[pos] != '.') throw AsmError{"unexpected '" + text.substr(pos) + "'"};
        std::string comps = text.substr(pos + 1);
        unsigned c[4], n;
        if (!ParseComponents(comps.c_str(), c, n)) throw AsmError{"bad components '" + comps + "'"};
        o = destination ? o.masked(comps.c_str()) : o.swizzled(comps.c_str());
    }
    if (destination && (neg || abs)) throw AsmError{"modifier on a destination"};
    if (abs) o = o.absolute();
    if (neg) o = o.negated();
    return o;
}

void parseSignature(ShaderBuilder& b, bool input, const std::vector<std::string>& words) {
    // input NAME[index] reg.mask [sv_position|sv_target]
    if (words.size() < 3 || words.size() > 4)
        throw AsmError{"expected: input|output SEMANTIC register [system value]"};
    std::string name = words[1];
    size_t digits = name.find_last_not_of("0123456789") + 1;
    uint32_t index = digits < name.size() ? static_cast<uint32_t>(std::stoul(name.substr(digits))) : 0;
    name = name.substr(0, digits);
    std::string reg = words[2];
    char f = reg.empty() ? 0 : reg[0];
    if (f != (input ? 'v' : 'o'))
        throw AsmError{"expected a " + std::string(input ? "v" : "o") + " register"};
    size_t pos = 1;
    uint32_t r = parseIndex(reg, pos);
    uint32_t mask = 0xF;
    if (pos < reg.size()) {
        if (reg[pos] != '.') throw AsmError{"bad register '" + reg + "'"};
        Operand o = Operand{}.masked(reg.substr(pos + 1).c_str());
        mask = o.mask;
    }
    auto sv = isa::SystemValue::None;
    if (words.size() == 4) {
        if (words[3] == "sv_position")
            sv = isa::SystemValue::Position;
        else if (words[3] == "sv_target")
            sv = isa::SystemValue::Target;
        else
            throw AsmError{"unknown system value '" + words[3] + "'"};
    }
    if (input)
        b.input(name, index, r, mask, sv);
    else
        b.output(name, index, r, mask, sv);
}

std::string components(uint8_t bits, bool mask) {
    static const char letters[] = "xyzw";
    std::string s;
    for (unsigned i = 0; i < 4; ++i) {
        if (mask) {
            if (bits & (1u << i)) s += letters[i];
        } else {
            s += letters[(bits >> (2 * i)) & 3];
        }
    }
    return s;
}

std::string formatFloat(uint32_t bits) {
    std::ostringstream o;
    o.precision(9);
    o << std::bit_cast<float>(bits);
    return o.str();
}

std::string formatOperand(const ShaderProgram& p, const DecodedOperand& o, bool destination) {
    std::string s;
    switch (o.file) {
    case isa::RegFile::Null:
        return "null";
    case isa::RegFile::Temp:
        s = "r" + std::to_string(o.index);
        break;
    case isa::RegFile::Input:
        s = "v" + std::to_string(o.index);
        break;
    case isa::RegFile::Output:
        s = "o" + std::to_string(o.index);
        break;
    case isa::RegFile::Const:
        s = "cb" + std::to_string(o.slot) + "[" + std::to_string(o.index) + "]";
        break;
    case isa::RegFile::Literal: {
        auto& l = p.literals[o.index];
        s = "l(" + formatFloat(l[0]) + ", " + formatFloat(l[1]) + ", " + formatFloat(l[2]) + ", " +
            formatFloat(l[3]) + ")";
        break;
    }
    case isa::RegFile::Resource:
        return "t" + std::to_string(o.index);
    case isa::RegFile::Sampler:
        return "s" + std::to_string(o.index);
    }
    if (destination) {
        if (o.mask != 0xF) s += "." + components(o.mask, true);
    } else if (o.swizzle != isa::kIdentitySwizzle) {
        s += "." + components(o.swizzle, false);
    }
    if (o.abs) s = "|" + s + "|";
    if (o.neg) s = "-" + s;
    return s;
}

std::string formatSignature(const char* keyword, const isa::SignatureElement& e, char file) {
    std::string s = std::string(keyword) + " " + e.semanticName + std::to_string(e.semanticIndex) + " " +
                    file + std::to_string(e.reg);
    if (e.mask != 0xF) s += "." + components(static_cast<uint8_t>(e.mask), true);
    if (e.systemValue == static_cast<uint32_t>(isa::SystemValue::Position)) s += " sv_position";
    if (e.systemValue == static_cast<uint32_t>(isa::SystemValue::Target)) s += " sv_target";
    return s;
}

} // namespace

bool AssembleShader(const std::string& text, std::vector<uint32_t>& code, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    ShaderBuilder* builder = nullptr;
    ShaderBuilder vs(isa::Stage::Vertex), ps(isa::Stage::Pixel);
    try {
        while (std::getline(in, line)) {
            number++;
            for (const char* c : {"//", ";"}) {
                size_t at = line.find(c);
                if (at != std::string::npos) line = line.substr(0, at);
            }
            line = trim(line);
            if (line.empty()) continue;
            size_t space = line.find_first_of(" \t");
            std::string op = line.substr(0, space);
            std::string rest = space == std::string::npos ? "" : trim(line.substr(space));
            if (!builder) {
                if (op == "vs")
                    builder = &vs;
                else if (op == "ps")
                    builder = &ps;
                else
                    throw AsmError{"a program starts with 'vs' or 'ps'"};
                continue;
            }
            if (op == "input" || op == "output") {
                std::istringstream words(line);
                std::vector<std::string> w;
                for (std::string x; words >> x;) w.push_back(x);
                parseSignature(*builder, op == "input", w);
                continue;
            }
            bool saturate = false;
            if (op.size() > 4 && op.compare(op.size() - 4, 4, "_sat") == 0) {
                saturate = true;
                op = op.substr(0, op.size() - 4);
            }
            int found = -1;
            for (int i = 0; i < static_cast<int>(isa::Opcode::Count); ++i)
                if (op == OpcodeName(static_cast<isa::Opcode>(i))) found = i;
            if (found < 0) throw AsmError{"unknown instruction '" + op + "'"};
            auto opcode = static_cast<isa::Opcode>(found);
            if (opcode == isa::Opcode::Ret) break;
            auto parts = splitOperands(rest);
            if (parts.size() != isa::OperandCount(opcode))
                throw AsmError{op + " takes " + std::to_string(isa::OperandCount(opcode)) + " operands"};
            Operand o[4];
            for (size_t i = 0; i < parts.size(); ++i) o[i] = parseOperand(*builder, parts[i], i == 0);
            builder->emit(opcode, o[0], o[1], o[2], o[3], saturate);
        }
        if (!builder) throw AsmError{"empty program"};
    } catch (const AsmError& e) {
        error = "line " + std::to_string(number) + ": " + e.what;
        return false;
    } catch (const std::exception& e) {
        error = "line " + std::to_string(number) + ": " + e.what();
        return false;
    }
    code = builder->finish();
    ShaderProgram check;
    if (FAILED(DecodeShader(code.data(), code.size() * 4, check, &error))) return false;
    return true;
}

std::string DisassembleShader(const uint32_t* code, size_t words) {
    ShaderProgram p;
    std::string error;
    if (FAILED(DecodeShader(code, words * 4, p, &error))) return "; invalid program: " + error + "\n";
    std::string out = p.stage == isa::Stage::Vertex ? "vs\n" : "ps\n";
    for (auto& e : p.inputs) out += formatSignature("input", e, 'v') + "\n";
    for (auto& e : p.outputs) out += formatSignature("output", e, 'o') + "\n";
    for (auto& ins : p.code) {
        out += OpcodeName(ins.op);
        if (ins.saturate) out += "_sat";
        for (unsigned i = 0; i < ins.operandCount; ++i)
            out += (i ? ", " : " ") + formatOperand(p, ins.operands[i], i == 0);
        out += "\n";
    }
    out += "ret\n";
    return out;
}

} // namespace platform::d3d10
