// Code points of a script's UTF-8 text; a byte that starts no valid sequence stands for itself.
#pragma once

#include <cstdint>
#include <string>

namespace unfold::rc {

inline std::u32string DecodeUtf8(const std::string& s) {
    std::u32string out;
    auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(s[i])); };
    for (size_t i = 0; i < s.size();) {
        uint32_t b = byte(i), c = b;
        size_t n = 1;
        if (b >= 0xF0 && i + 3 < s.size()) {
            c = ((b & 0x07u) << 18) | ((byte(i + 1) & 0x3Fu) << 12) | ((byte(i + 2) & 0x3Fu) << 6) |
                (byte(i + 3) & 0x3Fu);
            n = 4;
        } else if (b >= 0xE0 && i + 2 < s.size()) {
            c = ((b & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
            n = 3;
        } else if (b >= 0xC0 && i + 1 < s.size()) {
            c = ((b & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
            n = 2;
        }
        i += n;
        out += char32_t(c);
    }
    return out;
}

} // namespace unfold::rc
