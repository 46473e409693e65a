#include "platform/dshow/system_filters.h"

#include <qedit.h>
#include <uuids.h>

namespace platform::dshow {
namespace {

RegisteredFilter anyInOut(DWORD merit, bool output) {
    RegisteredFilter f;
    f.merit = merit;
    RegisteredPin in;
    in.types.emplace_back(GUID_NULL, GUID_NULL);
    f.pins.push_back(in);
    if (output) {
        RegisteredPin out = in;
        out.flags = REG_PINFLAG_B_OUTPUT;
        f.pins.push_back(out);
    }
    return f;
}

// MJPG video in, any video out: intelligent connect inserts it between a camera and an RGB sink.
RegisteredFilter mjpegDecompressor() {
    RegisteredFilter f;
    f.merit = MERIT_NORMAL;
    RegisteredPin in;
    in.types.emplace_back(MEDIATYPE_Video, MEDIASUBTYPE_MJPG);
    RegisteredPin out;
    out.flags = REG_PINFLAG_B_OUTPUT;
    out.types.emplace_back(MEDIATYPE_Video, GUID_NULL);
    f.pins = {in, out};
    return f;
}

} // namespace

// The grabber and the null renderer are listed with MERIT_DO_NOT_USE, as on Windows: intelligent
// connect never inserts them.
const std::vector<SystemFilter>& SystemFilters() {
    static const std::vector<SystemFilter> filters = {
        {&CLSID_MjpegDec, L"MJPEG Decompressor", &CLSID_LegacyAmFilterCategory, mjpegDecompressor()},
        {&CLSID_SampleGrabber, L"SampleGrabber", &CLSID_LegacyAmFilterCategory,
         anyInOut(MERIT_DO_NOT_USE, true)},
        {&CLSID_NullRenderer, L"Null Renderer", &CLSID_LegacyAmFilterCategory,
         anyInOut(MERIT_DO_NOT_USE, false)},
    };
    return filters;
}

} // namespace platform::dshow
