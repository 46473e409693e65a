// g_hInst of a module on this platform: its load base, found from an address inside it at load time.
// (A Windows build sets it in DllMain instead.)
#include <dlfcn.h>

#include "platform/dshow/factory_template.h"

namespace {

HINSTANCE thisModule() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&thisModule), &info)) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

} // namespace

HINSTANCE g_hInst = thisModule();
