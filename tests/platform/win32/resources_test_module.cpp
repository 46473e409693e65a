// A shared library with resources of its own, for the resource tests.
#include <windows.h>

extern "C" __attribute__((visibility("default"))) HMODULE ResourcesTestModuleHandle() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ResourcesTestModuleHandle), &module);
    return module;
}
