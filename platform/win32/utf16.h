// UTF-16 text as resources store it (little-endian 16-bit units, which need not be aligned), to the
// platform's wide strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

inline uint16_t ReadUnit(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// `units` code units from p; a lone surrogate stands for itself.
inline std::wstring FromUtf16(const uint8_t* p, size_t units) {
    std::wstring out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = ReadUnit(p + 2 * i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            const uint32_t low = ReadUnit(p + 2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

} // namespace platform
