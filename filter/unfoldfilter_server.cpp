// The COM server of unfoldfilter: its factory templates, the filter's registration data, and the
// registration entry points.
#include "filter/expansion_filter.h"
#include "filter/orbe_general_prop.h"

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32}};

const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kPinTypes},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kPinTypes},
};

// The merit the filter is registered with (the value of MERIT_DO_NOT_USE): intelligent connect never
// picks it on its own; the virtual camera adds it to its graph by name.
constexpr DWORD kMerit = 0x200000;

const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_ExpansionFilter, L"ZK900 4K Expander", kMerit, 2, kPins};

} // namespace

const CFactoryTemplate g_Templates[] = {
    {L"ZK900 4K Expander", &CLSID_ExpansionFilter, CExpansionFilter::CreateInstance, nullptr, &kFilterSetup},
    {L"General Props", &CLSID_ORBE_GeneralProp, CORBE_GeneralProp::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    return AMovieDllRegisterServer2(TRUE);
}
STDAPI DllUnregisterServer() {
    return AMovieDllRegisterServer2(FALSE);
}
