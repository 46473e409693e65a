// The system module (libquartz.so): the DirectShow system objects, created by their class identifiers
// through the COM library's built-in class table. It needs no registration.
#include <qedit.h>
#include <uuids.h>

#include "platform/dshow/capture_filter.h"
#include "platform/dshow/factory_template.h"
#include "platform/dshow/system_classes.h"

using namespace platform::dshow;

const CFactoryTemplate g_Templates[] = {
    {L"Filter Graph", &CLSID_FilterGraph, CreateFilterGraph, nullptr, nullptr},
    {L"Filter Graph (no thread)", &CLSID_FilterGraphNoThread, CreateFilterGraph, nullptr, nullptr},
    {L"System Clock", &CLSID_SystemClock, CreateSystemClock, nullptr, nullptr},
    {L"Filter Mapper2", &CLSID_FilterMapper2, CreateFilterMapper2, nullptr, nullptr},
    {L"System Device Enum", &CLSID_SystemDeviceEnum, CreateSystemDeviceEnum, nullptr, nullptr},
    {L"SampleGrabber", &CLSID_SampleGrabber, CreateSampleGrabber, nullptr, nullptr},
    {L"Null Renderer", &CLSID_NullRenderer, CreateNullRenderer, nullptr, nullptr},
    {L"Capture Graph Builder 2", &CLSID_CaptureGraphBuilder2, CreateCaptureGraphBuilder2, nullptr, nullptr},
    {L"MJPEG Decompressor", &CLSID_MjpegDec, CreateMjpegDecompressor, nullptr, nullptr},
    {L"Video Capture", &CLSID_Proxy, CCaptureFilter::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    return S_OK;
}
STDAPI DllUnregisterServer() {
    return S_OK;
}
