// Whole-file reads and atomic whole-file writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/status.h"

namespace tools::image {

// Files larger than this are refused rather than read into memory.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

Status ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes);
// Writes through an AtomicFile: the target holds either its old contents or all of the new.
Status WriteFileAtomically(const std::string& path, const void* data, size_t size);

} // namespace tools::image
