#include "tools/unfold/com_objects.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

namespace tools::unfold {

HRESULT RegisterModule(const std::string& module, std::ostream& out) {
    if (module.empty() || access(module.c_str(), R_OK) != 0) return REGDB_E_CLASSNOTREG;
    void* library = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return REGDB_E_CLASSNOTREG;
    auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
    const HRESULT registered = reg ? reg() : E_NOINTERFACE;
    dlclose(library);
    if (SUCCEEDED(registered)) out << "registered " << module << "\n";
    return registered;
}

HRESULT CreateRegistered(REFCLSID clsid, const std::string& module, REFIID iid, void** object,
                         std::ostream& out) {
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
    if (hr != REGDB_E_CLASSNOTREG) return hr;
    if (const HRESULT registered = RegisterModule(module, out); FAILED(registered))
        return registered == REGDB_E_CLASSNOTREG ? hr : registered;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

platform::ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
    platform::ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.put()))) return {};
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        auto held = platform::ComPtr<IPin>::adopt(pin);
        PIN_DIRECTION d;
        if (SUCCEEDED(held->QueryDirection(&d)) && d == direction) return held;
    }
    return {};
}

std::string HResultText(HRESULT hr) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    std::string s = text;
    if (hr == REGDB_E_CLASSNOTREG) s += " (class not registered)";
    if (hr == E_NOINTERFACE) s += " (no such interface)";
    return s;
}

} // namespace tools::unfold
