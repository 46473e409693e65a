// A COM server module for the DirectShow tests: the RGB24 to RGB32 converter, registered in the general
// filter category with MERIT_NORMAL so that intelligent connect can use it.
#include "tests/platform/dshow/test_filters.h"

using namespace testfilters;

namespace {

const AMOVIESETUP_MEDIATYPE kInTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const AMOVIESETUP_MEDIATYPE kOutTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kInTypes},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kOutTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_TestConverter, kConverterName, MERIT_NORMAL, 2, kPins};

} // namespace

const CFactoryTemplate g_Templates[] = {
    {kConverterName, &CLSID_TestConverter, Converter::CreateInstance, nullptr, &kSetup}};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    return AMovieDllRegisterServer2(TRUE);
}
STDAPI DllUnregisterServer() {
    return AMovieDllRegisterServer2(FALSE);
}
