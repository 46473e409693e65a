// Modules. An HMODULE is the load base of a shared object (the executable's for a null handle), as
// dladdr reports it in dli_fbase; a module's file name is its full path.
#pragma once

#include "windef.h"

WINBASEAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
WINBASEAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);

#define GetModuleFileName GetModuleFileNameW
#define GetModuleHandle GetModuleHandleW
