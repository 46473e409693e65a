// Little-endian writing of the binary resource formats, with DWORD alignment relative to the start of
// the resource and back-patching of length fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/resource_compiler/rc_cursor.h"

namespace unfold::rc {

class ByteWriter {
public:
    void byte(uint8_t v) { bytes_.push_back(v); }
    void word(uint16_t v) {
        byte(static_cast<uint8_t>(v));
        byte(static_cast<uint8_t>(v >> 8));
    }
    void dword(uint32_t v) {
        word(static_cast<uint16_t>(v));
        word(static_cast<uint16_t>(v >> 16));
    }
    // UTF-16 text with its terminating zero.
    void text(const std::string& utf8) {
        for (uint16_t u : Utf16(utf8)) word(u);
        word(0);
    }
    void bytes(const std::vector<uint8_t>& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
    void align4() {
        while (bytes_.size() % 4) byte(0);
    }
    size_t size() const { return bytes_.size(); }
    void patchWord(size_t at, uint16_t v) {
        bytes_[at] = static_cast<uint8_t>(v);
        bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace unfold::rc
