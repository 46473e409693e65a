#include "platform/com/system_classes.h"

#include <qedit.h>
#include <uuids.h>

namespace platform::com {
namespace {

struct SystemClass {
    const CLSID* clsid;
    const char* module;
};

// libquartz.so holds every DirectShow system object of the platform.
const SystemClass kClasses[] = {
    {&CLSID_FilterGraph, "libquartz.so"},      {&CLSID_FilterGraphNoThread, "libquartz.so"},
    {&CLSID_SystemClock, "libquartz.so"},      {&CLSID_FilterMapper2, "libquartz.so"},
    {&CLSID_SystemDeviceEnum, "libquartz.so"}, {&CLSID_SampleGrabber, "libquartz.so"},
    {&CLSID_NullRenderer, "libquartz.so"},     {&CLSID_CaptureGraphBuilder2, "libquartz.so"},
    {&CLSID_MjpegDec, "libquartz.so"},         {&CLSID_Proxy, "libquartz.so"},
};

} // namespace

const char* SystemClassModule(REFCLSID clsid) {
    for (const auto& c : kClasses)
        if (*c.clsid == clsid) return c.module;
    return nullptr;
}

} // namespace platform::com
