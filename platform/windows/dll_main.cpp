// The module entry of a COM server DLL: records the module's handle for registration (its full path
// goes into InprocServer32) and asks for no thread notifications.
#include <windows.h>

#include "platform/dshow/factory_template.h"

HINSTANCE g_hInst = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_hInst = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
