// A COM server module for the tests: one class, CLSID_TestCounter, that can be aggregated.
#include <new>

#include <streams.h>

#include "tests/platform/com/test_server.h"

namespace {

class CTestCounter final : public CUnknown, public ITestCounter {
public:
    explicit CTestCounter(LPUNKNOWN pUnk) : CUnknown(L"Test counter", pUnk) {}
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
        auto* object = new (std::nothrow) CTestCounter(pUnk);
        if (!object) *phr = E_OUTOFMEMORY;
        return object;
    }
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ITestCounter) return GetInterface(static_cast<ITestCounter*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP Increment(LONG* pValue) override {
        if (!pValue) return E_POINTER;
        *pValue = ++value_;
        return S_OK;
    }

private:
    LONG value_ = 0;
};

} // namespace

const CFactoryTemplate g_Templates[] = {
    {L"Test Counter", &CLSID_TestCounter, CTestCounter::CreateInstance, nullptr, nullptr}};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    return AMovieDllRegisterServer2(TRUE);
}
STDAPI DllUnregisterServer() {
    return AMovieDllRegisterServer2(FALSE);
}
