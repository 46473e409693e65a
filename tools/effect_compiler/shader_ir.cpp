#include "tools/effect_compiler/shader_ir.h"

#include <algorithm>

#include "tools/effect_compiler/compile_error.h"

namespace unfold::fxc {

using platform::d3d10::Operand;
namespace isa = platform::d3d10::isa;

namespace {

unsigned sourceCount(isa::Opcode op) {
    return isa::OperandCount(op) - 1;
}

bool sameRegister(const Operand& a, const Operand& b) {
    return a.file == b.file && a.index == b.index;
}

// Whether the VM reads source `s` of `op` position by position (component i of the destination
// takes swizzle position i). Dot products read whole vectors, and Sample's coordinate is always .xy.
bool positionalSource(isa::Opcode op, unsigned s) {
    switch (op) {
    case isa::Opcode::Dp2:
    case isa::Opcode::Dp3:
    case isa::Opcode::Dp4:
        return false;
    case isa::Opcode::Sample:
        return s == 1; // the resource's swizzle picks the channel for each destination component
    default:
        return true;
    }
}

uint8_t remapSwizzle(uint8_t swizzle, const unsigned from[4], uint8_t mask) {
    unsigned c[4];
    for (unsigned p = 0; p < 4; ++p) c[p] = (swizzle >> (2 * ((mask >> p) & 1 ? from[p] : p))) & 3;
    return isa::Swizzle(c[0], c[1], c[2], c[3]);
}

// "op t.M, ...; mov d.m, t.s" becomes "op d.m, ..." when t is read only by that move: every
// component the move reads is written, each by one definition, and d is neither read nor written
// in between. Results then land where they are used instead of being copied there.
bool coalesce(std::vector<IrInstruction>& code, std::vector<bool>& removed, uint32_t temps) {
    std::vector<unsigned> uses(temps, 0);
    std::vector<std::vector<size_t>> defs(temps);
    for (size_t i = 0; i < code.size(); ++i) {
        if (removed[i]) continue;
        for (unsigned s = 0; s < sourceCount(code[i].op); ++s)
            if (code[i].src[s].file == isa::RegFile::Temp) ++uses[code[i].src[s].index];
        if (code[i].dst.file == isa::RegFile::Temp) defs[code[i].dst.index].push_back(i);
    }
    for (size_t i = 0; i < code.size(); ++i) {
        if (removed[i]) continue;
        IrInstruction& mov = code[i];
        const Operand& src = mov.src[0];
        if (mov.op != isa::Opcode::Mov || src.file != isa::RegFile::Temp || src.neg || src.abs) continue;
        uint32_t t = src.index;
        if (uses[t] != 1 || defs[t].empty() || defs[t].back() > i) continue;
        if (sameRegister(mov.dst, src)) continue;
        // Which position of the move reads each component of t.
        unsigned from[4];
        uint8_t readMask = 0, written = 0;
        int positionOf[4] = {-1, -1, -1, -1};
        bool ok = true;
        for (unsigned p = 0; p < 4; ++p) {
            from[p] = src.component(p);
            if (!(mov.dst.mask & (1u << p))) continue;
            if (positionOf[from[p]] >= 0) ok = false; // one component copied twice
            positionOf[from[p]] = static_cast<int>(p);
            readMask |= static_cast<uint8_t>(1u << from[p]);
        }
        for (size_t j : defs[t]) {
            if (code[j].dst.mask & written) ok = false; // components written twice
            written |= code[j].dst.mask;
        }
        if (!ok || written != readMask) continue;
        size_t first = defs[t].front();
        for (size_t k = first; k < i && ok; ++k) {
            if (removed[k]) continue;
            bool isDef = std::find(defs[t].begin(), defs[t].end(), k) != defs[t].end();
            for (unsigned s = 0; s < sourceCount(code[k].op); ++s)
                if (sameRegister(code[k].src[s], mov.dst)) ok = false;
            if (!isDef && sameRegister(code[k].dst, mov.dst) && (code[k].dst.mask & mov.dst.mask)) ok = false;
        }
        if (!ok) continue;
        for (size_t j : defs[t]) {
            IrInstruction& d = code[j];
            uint8_t mask = 0;
            unsigned inverse[4] = {0, 1, 2, 3}; // new position -> old component
            for (unsigned c = 0; c < 4; ++c)
                if (d.dst.mask & (1u << c)) {
                    mask |= static_cast<uint8_t>(1u << positionOf[c]);
                    inverse[positionOf[c]] = c;
                }
            for (unsigned s = 0; s < sourceCount(d.op); ++s)
                if (positionalSource(d.op, s))
                    d.src[s].swizzle = remapSwizzle(d.src[s].swizzle, inverse, mask);
            Operand dst = mov.dst;
            dst.mask = mask;
            d.dst = dst;
            d.saturate = d.saturate || mov.saturate;
        }
        removed[i] = true;
        return true; // the use and definition counts are stale now
    }
    return false;
}

} // namespace

SlotUse ShaderIr::finish(platform::d3d10::ShaderBuilder& builder, int line) {
    // Dead code: keep what reaches an output, walking backwards.
    std::vector<bool> live(nextTemp_, false);
    std::vector<IrInstruction> kept;
    for (size_t i = code_.size(); i-- > 0;) {
        const IrInstruction& ins = code_[i];
        bool needed = ins.dst.file == isa::RegFile::Output ||
                      (ins.dst.file == isa::RegFile::Temp && live[ins.dst.index]);
        if (!needed) continue;
        for (unsigned s = 0; s < sourceCount(ins.op); ++s)
            if (ins.src[s].file == isa::RegFile::Temp) live[ins.src[s].index] = true;
        kept.push_back(ins);
    }
    std::reverse(kept.begin(), kept.end());
    std::vector<bool> removed(kept.size(), false);
    while (coalesce(kept, removed, nextTemp_)) {}
    std::vector<IrInstruction> compact;
    for (size_t i = 0; i < kept.size(); ++i)
        if (!removed[i]) compact.push_back(kept[i]);
    kept.swap(compact);

    // Live ranges: from the first write to the last read.
    constexpr size_t kUnset = SIZE_MAX;
    std::vector<size_t> first(nextTemp_, kUnset), last(nextTemp_, 0);
    for (size_t i = 0; i < kept.size(); ++i) {
        const IrInstruction& ins = kept[i];
        for (unsigned s = 0; s < sourceCount(ins.op); ++s)
            if (ins.src[s].file == isa::RegFile::Temp) last[ins.src[s].index] = i;
        if (ins.dst.file == isa::RegFile::Temp) {
            uint32_t v = ins.dst.index;
            if (first[v] == kUnset) first[v] = i;
            last[v] = std::max(last[v], i);
        }
    }

    std::vector<uint32_t> physical(nextTemp_, 0);
    std::vector<bool> busy;
    uint32_t used = 0;
    auto allocate = [&]() -> uint32_t {
        for (uint32_t r = 0; r < busy.size(); ++r)
            if (!busy[r]) {
                busy[r] = true;
                return r;
            }
        busy.push_back(true);
        used = static_cast<uint32_t>(busy.size());
        return used - 1;
    };
    std::vector<std::vector<uint32_t>> dyingAt(kept.size());
    for (uint32_t v = 0; v < nextTemp_; ++v)
        if (first[v] != kUnset) dyingAt[last[v]].push_back(v);

    SlotUse slots;
    auto rename = [&](Operand o) {
        if (o.file == isa::RegFile::Temp) o.index = physical[o.index];
        return o;
    };
    for (size_t i = 0; i < kept.size(); ++i) {
        IrInstruction ins = kept[i];
        if (ins.dst.file == isa::RegFile::Temp && first[ins.dst.index] == i)
            physical[ins.dst.index] = allocate();
        if (used > isa::kMaxTemps)
            throw CompileError(line, "the shader needs more than " + std::to_string(isa::kMaxTemps) +
                                         " temporary registers");
        for (unsigned s = 0; s < sourceCount(ins.op); ++s) {
            const Operand& o = ins.src[s];
            if (o.file == isa::RegFile::Temp && (first[o.index] == kUnset || first[o.index] >= i))
                throw CompileError(line, "internal error: a register is read before it is written");
            if (o.file == isa::RegFile::Const) slots.constantBuffers.insert(o.slot);
            if (o.file == isa::RegFile::Resource) slots.textures.insert(o.index);
            if (o.file == isa::RegFile::Sampler) slots.samplers.insert(o.index);
        }
        if (ins.op == isa::Opcode::Sample)
            builder.sample(rename(ins.dst), rename(ins.src[0]), ins.src[1].index, ins.src[2].index,
                           ins.saturate);
        else
            builder.emit(ins.op, rename(ins.dst), rename(ins.src[0]), rename(ins.src[1]), rename(ins.src[2]),
                         ins.saturate);
        for (uint32_t v : dyingAt[i]) busy[physical[v]] = false;
    }
    return slots;
}

} // namespace unfold::fxc
