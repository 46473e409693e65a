#include "platform/d3d10/x86_emitter.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::d3d10::x86 {

void Emitter::dword(uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(uint8_t(v >> (8 * i)));
}

// ModRM with mod 11 for a register, or mod 10 (a 32-bit displacement) for memory; a base of rsp needs
// a SIB byte.
void Emitter::modrm(int reg, Operand rm) {
    if (!rm.memory) {
        byte(uint8_t(0xC0 | ((reg & 7) << 3) | (rm.reg & 7)));
        return;
    }
    byte(uint8_t(0x80 | ((reg & 7) << 3) | rm.base));
    if (rm.base == kRsp) byte(0x24);
    dword(uint32_t(rm.displacement));
}

void Emitter::vex(VexOpcode op, int reg, int vvvv, Operand rm, int imm) {
    vexEncoded(op, reg, vvvv, rm, imm, true);
}

// Three-byte VEX: inverted R, X, B and the map; W0, inverted vvvv, L (256 or 128 bits), pp.
void Emitter::vexEncoded(VexOpcode op, int reg, int vvvv, Operand rm, int imm, bool bits256) {
    const int b = rm.memory ? 0 : (rm.reg >> 3) & 1;
    const int r = (reg >> 3) & 1;
    byte(0xC4);
    byte(uint8_t(((r ^ 1) << 7) | (1 << 6) | ((b ^ 1) << 5) | op.map));
    byte(uint8_t(((~(vvvv < 0 ? 0 : vvvv) & 15) << 3) | (bits256 ? 1 << 2 : 0) | op.pp));
    byte(op.opcode);
    modrm(reg, rm);
    if (imm >= 0) byte(uint8_t(imm));
}

void Emitter::evex(VexOpcode op, int reg, int vvvv, Operand rm, int imm, int mask, bool zeroing) {
    // 62, then inverted R X B R' and the map; W0, inverted vvvv, 1, pp; z, L'L = 10 (512 bits), b0,
    // inverted V', aaa. A register operand takes its bit 3 from B and its bit 4 from X.
    const int r = (reg >> 3) & 1, rHigh = (reg >> 4) & 1;
    const int b = rm.memory ? 0 : (rm.reg >> 3) & 1, x = rm.memory ? 0 : (rm.reg >> 4) & 1;
    const int v = vvvv < 0 ? 0 : vvvv;
    byte(0x62);
    byte(uint8_t(((r ^ 1) << 7) | ((x ^ 1) << 6) | ((b ^ 1) << 5) | ((rHigh ^ 1) << 4) | op.map));
    byte(uint8_t(((~v & 15) << 3) | (1 << 2) | op.pp));
    byte(uint8_t((zeroing ? 0x80 : 0) | (2 << 5) | ((((v >> 4) & 1) ^ 1) << 3) | (mask & 7)));
    byte(op.opcode);
    modrm(reg, rm);
    if (imm >= 0) byte(uint8_t(imm));
}

void Emitter::movupsXmm(bool store, int reg, Operand memory) {
    vexEncoded(store ? op::kMovupsStore : op::kMovupsLoad, reg, -1, memory, -1, false);
}

void Emitter::pushRdiRsi() {
    byte(0x57);
    byte(0x56);
}

void Emitter::popRsiRdi() {
    byte(0x5E);
    byte(0x5F);
}

void Emitter::movRdiRcxRsiRdx() {
    for (uint8_t b : {0x48, 0x89, 0xCF, 0x48, 0x89, 0xD6}) byte(b);
}

void Emitter::append(const Emitter& other) {
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
}

void Emitter::subRsp(int32_t bytes) {
    for (uint8_t b : {0x48, 0x81, 0xEC}) byte(b);
    dword(uint32_t(bytes));
}

void Emitter::addRsp(int32_t bytes) {
    for (uint8_t b : {0x48, 0x81, 0xC4}) byte(b);
    dword(uint32_t(bytes));
}

void Emitter::leaRaxRdi(int32_t displacement) {
    for (uint8_t b : {0x48, 0x8D, 0x87}) byte(b);
    dword(uint32_t(displacement));
}

void Emitter::addRdi(int8_t bytes) {
    for (uint8_t b : {0x48, 0x83, 0xC7}) byte(b);
    byte(uint8_t(bytes));
}

void Emitter::cmpRdiRax() {
    for (uint8_t b : {0x48, 0x39, 0xC7}) byte(b);
}

void Emitter::jneBack(size_t target) {
    byte(0x0F);
    byte(0x85);
    dword(uint32_t(int32_t(target) - int32_t(bytes_.size() + 4)));
}

void Emitter::vzeroupperRet() {
    for (uint8_t b : {0xC5, 0xF8, 0x77, 0xC3}) byte(b);
}

namespace {

#ifdef _WIN32
size_t pageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}
void* mapWritable(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}
bool makeExecutable(void* memory, size_t size) {
    DWORD old;
    return VirtualProtect(memory, size, PAGE_EXECUTE_READ, &old) &&
           FlushInstructionCache(GetCurrentProcess(), memory, size);
}
void unmap(void* memory, size_t) {
    VirtualFree(memory, 0, MEM_RELEASE);
}
#else
size_t pageSize() {
    return size_t(sysconf(_SC_PAGESIZE));
}
void* mapWritable(size_t size) {
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}
bool makeExecutable(void* memory, size_t size) {
    return mprotect(memory, size, PROT_READ | PROT_EXEC) == 0;
}
void unmap(void* memory, size_t size) {
    munmap(memory, size);
}
#endif

} // namespace

ExecutableCode::~ExecutableCode() {
    if (memory_) unmap(memory_, size_);
}

ExecutableCode::ExecutableCode(ExecutableCode&& o) noexcept
    : memory_(std::exchange(o.memory_, nullptr)), size_(std::exchange(o.size_, 0)) {}

ExecutableCode& ExecutableCode::operator=(ExecutableCode&& o) noexcept {
    std::swap(memory_, o.memory_);
    std::swap(size_, o.size_);
    return *this;
}

bool ExecutableCode::load(const std::vector<uint8_t>& bytes) {
    const size_t page = pageSize();
    const size_t size = std::max((bytes.size() + page - 1) / page * page, page);
    void* memory = mapWritable(size);
    if (!memory) return false;
    std::memcpy(memory, bytes.data(), bytes.size());
    if (!makeExecutable(memory, size)) {
        unmap(memory, size);
        return false;
    }
    if (memory_) unmap(memory_, size_);
    memory_ = memory;
    size_ = size;
    return true;
}

} // namespace platform::d3d10::x86
