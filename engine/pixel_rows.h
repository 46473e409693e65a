// Row copies of the engine's frame path: a frame into the input texture, and the read-back's 32-bit
// texels into the 24-bit pixels the caller's buffer takes. Each works on a range of rows, so that the
// rows can be shared out between threads (CFrameWorker); parts with different rows never write the
// same byte.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies rows [begin, end), `bytes` bytes each, from src (srcPitch bytes apart) to dst (dstPitch apart).
void CopyRows(uint8_t* dst, size_t dstPitch, const uint8_t* src, size_t srcPitch, size_t bytes,
              uint32_t begin, uint32_t end);

// Bytes 0, 1 and 2 of every texel of rows [begin, end) (width texels each, `pitch` bytes apart from
// `texels`, the start of row 0), into `output` as rows of width * 3 bytes packed one after another
// from row 0's place: row y starts at output + y * width * 3. Nothing outside those rows' pixels is
// written.
void PackRows24(uint8_t* output, const uint8_t* texels, size_t pitch, uint32_t width, uint32_t begin,
                uint32_t end);

namespace detail {
// PackRows24 without vector shuffles, and with SSSE3 ones (only where the processor has them; the two
// give the same bytes). PackRows24 picks the second where it can.
void PackRows24Portable(uint8_t* output, const uint8_t* texels, size_t pitch, uint32_t width, uint32_t begin,
                        uint32_t end);
void PackRows24Ssse3(uint8_t* output, const uint8_t* texels, size_t pitch, uint32_t width, uint32_t begin,
                     uint32_t end);
bool HasSsse3();
} // namespace detail
