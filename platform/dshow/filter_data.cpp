#include "platform/dshow/filter_data.h"

#include <cstring>

namespace platform::dshow {
namespace {

constexpr DWORD kMagic = 0x32444655; // "UFD2"

void put(std::vector<BYTE>& out, const void* p, size_t n) {
    size_t at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, p, n);
}

struct Reader {
    const BYTE* p;
    size_t left;
    template <class T>
    bool get(T& value) {
        if (left < sizeof(T)) return false;
        std::memcpy(&value, p, sizeof(T));
        p += sizeof(T);
        left -= sizeof(T);
        return true;
    }
};

} // namespace

bool FromRegFilter2(const REGFILTER2& rf2, RegisteredFilter& out) {
    out = RegisteredFilter{};
    out.merit = rf2.dwMerit;
    if (rf2.dwVersion == 1) {
        if (rf2.cPins && !rf2.rgPins) return false;
        for (ULONG i = 0; i < rf2.cPins; ++i) {
            const REGFILTERPINS& p = rf2.rgPins[i];
            RegisteredPin pin;
            pin.flags = (p.bZero ? REG_PINFLAG_B_ZERO : 0) | (p.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
                        (p.bMany ? REG_PINFLAG_B_MANY : 0) | (p.bOutput ? REG_PINFLAG_B_OUTPUT : 0);
            if (p.nMediaTypes && !p.lpMediaType) return false;
            for (UINT t = 0; t < p.nMediaTypes; ++t)
                pin.types.emplace_back(
                    p.lpMediaType[t].clsMajorType ? *p.lpMediaType[t].clsMajorType : GUID_NULL,
                    p.lpMediaType[t].clsMinorType ? *p.lpMediaType[t].clsMinorType : GUID_NULL);
            out.pins.push_back(std::move(pin));
        }
        return true;
    }
    if (rf2.dwVersion == 2) {
        if (rf2.cPins2 && !rf2.rgPins2) return false;
        for (ULONG i = 0; i < rf2.cPins2; ++i) {
            const REGFILTERPINS2& p = rf2.rgPins2[i];
            RegisteredPin pin;
            pin.flags = p.dwFlags;
            pin.instances = p.cInstances;
            if ((p.nMediaTypes && !p.lpMediaType) || (p.nMediums && !p.lpMedium)) return false;
            for (UINT t = 0; t < p.nMediaTypes; ++t)
                pin.types.emplace_back(
                    p.lpMediaType[t].clsMajorType ? *p.lpMediaType[t].clsMajorType : GUID_NULL,
                    p.lpMediaType[t].clsMinorType ? *p.lpMediaType[t].clsMinorType : GUID_NULL);
            for (UINT m = 0; m < p.nMediums; ++m) pin.mediums.push_back(p.lpMedium[m]);
            if (p.clsPinCategory) pin.category = *p.clsPinCategory;
            out.pins.push_back(std::move(pin));
        }
        return true;
    }
    return false;
}

std::vector<BYTE> EncodeFilterData(const RegisteredFilter& filter) {
    std::vector<BYTE> out;
    DWORD count = static_cast<DWORD>(filter.pins.size());
    put(out, &kMagic, 4);
    put(out, &filter.merit, 4);
    put(out, &count, 4);
    for (const auto& pin : filter.pins) {
        DWORD types = static_cast<DWORD>(pin.types.size()), mediums = static_cast<DWORD>(pin.mediums.size());
        DWORD instances = pin.instances;
        put(out, &pin.flags, 4);
        put(out, &instances, 4);
        put(out, &types, 4);
        put(out, &mediums, 4);
        put(out, &pin.category, sizeof(GUID));
        for (auto& [major, minor] : pin.types) {
            put(out, &major, sizeof(GUID));
            put(out, &minor, sizeof(GUID));
        }
        for (auto& m : pin.mediums) put(out, &m, sizeof m);
    }
    return out;
}

bool DecodeFilterData(const BYTE* data, size_t size, RegisteredFilter& out) {
    out = RegisteredFilter{};
    Reader r{data, size};
    DWORD magic, count;
    if (!r.get(magic) || magic != kMagic || !r.get(out.merit) || !r.get(count)) return false;
    for (DWORD i = 0; i < count; ++i) {
        RegisteredPin pin;
        DWORD instances, types, mediums;
        if (!r.get(pin.flags) || !r.get(instances) || !r.get(types) || !r.get(mediums) ||
            !r.get(pin.category))
            return false;
        pin.instances = instances;
        if (types > r.left / (2 * sizeof(GUID))) return false;
        for (DWORD t = 0; t < types; ++t) {
            GUID major, minor;
            if (!r.get(major) || !r.get(minor)) return false;
            pin.types.emplace_back(major, minor);
        }
        if (mediums > r.left / sizeof(REGPINMEDIUM)) return false;
        for (DWORD m = 0; m < mediums; ++m) {
            REGPINMEDIUM medium;
            if (!r.get(medium)) return false;
            pin.mediums.push_back(medium);
        }
        out.pins.push_back(std::move(pin));
    }
    return r.left == 0;
}

} // namespace platform::dshow
