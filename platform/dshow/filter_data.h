// The "FilterData" value the filter mapper writes for each registered filter: its merit and pins with
// their media types, read back by intelligent connect and EnumMatchingFilters.
//
// Windows keeps this value in a private binary layout; ours is our own, little-endian:
//   u32 magic 'UFD2', u32 merit, u32 pin count, then per pin:
//   u32 flags (REG_PINFLAG_*), u32 instances, u32 type count, u32 medium count, GUID category,
//   type count x (GUID major, GUID minor), medium count x (GUID medium, u32, u32).
#pragma once

#include <vector>

#include <strmif.h>

namespace platform::dshow {

struct RegisteredPin {
    DWORD flags = 0;
    UINT instances = 0;
    std::vector<std::pair<GUID, GUID>> types; // major, minor (GUID_NULL: any)
    std::vector<REGPINMEDIUM> mediums;
    GUID category = GUID_NULL;
    bool output() const { return flags & REG_PINFLAG_B_OUTPUT; }
};

struct RegisteredFilter {
    DWORD merit = 0;
    std::vector<RegisteredPin> pins;
};

// From a version 1 or 2 REGFILTER2; false for a malformed one.
bool FromRegFilter2(const REGFILTER2& rf2, RegisteredFilter& out);
std::vector<BYTE> EncodeFilterData(const RegisteredFilter& filter);
bool DecodeFilterData(const BYTE* data, size_t size, RegisteredFilter& out);

} // namespace platform::dshow
