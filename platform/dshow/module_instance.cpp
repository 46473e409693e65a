// g_hInst, this module's handle, in a file of its own so that code needing only the handle (a
// property page loading its dialog) does not bring in the server entry points. Here it is the load
// base, found from an address inside the module at load time; a Windows build sets it in DllMain
// instead (platform/windows/dll_main.cpp).
#include <dlfcn.h>

#include "platform/dshow/factory_template.h"

namespace {

// The load base of the module this code is linked into.
HINSTANCE thisModule() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&thisModule), &info)) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

} // namespace

HINSTANCE g_hInst = thisModule();
