// COM objects of the two deliverables as the host opens them: by class identifier through the
// registry, registering the module built with the host first when its class is not registered yet.
#pragma once

#include <ostream>
#include <string>

#include <objbase.h>
#include <strmif.h>

#include "platform/win32/com_ptr.h"

namespace tools::unfold {

// Loads `module` and calls its DllRegisterServer, saying so on `out`; REGDB_E_CLASSNOTREG when the
// module cannot be loaded.
HRESULT RegisterModule(const std::string& module, std::ostream& out);

// CoCreateInstance of `clsid`; when the class is not registered and `module` exists, calls the
// module's DllRegisterServer (saying so on `out`) and tries once more.
HRESULT CreateRegistered(REFCLSID clsid, const std::string& module, REFIID iid, void** object,
                         std::ostream& out);

// The filter's first pin of a direction, or null.
platform::ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);

// "0x80040154" and, where known, what it means.
std::string HResultText(HRESULT hr);

} // namespace tools::unfold
