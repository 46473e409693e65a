// Classes built into the platform: the module beside libcom.so that serves each, looked up before the
// registry, so that a fresh registry still has the DirectShow system objects.
#pragma once

#include <guiddef.h>

namespace platform::com {

// The file name of the system module serving clsid (in libcom.so's folder), or null.
const char* SystemClassModule(REFCLSID clsid);

} // namespace platform::com
