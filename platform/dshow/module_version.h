// The product version in the version block of the module a page or filter lives in, as the pages
// show it beside their controls.
#pragma once

#include <windows.h>

// VS_FIXEDFILEINFO's dwProductVersionMS and dwProductVersionLS of `module`'s version resource; false
// when the module has none or it is damaged.
bool GetModuleProductVersion(HMODULE module, DWORD& ms, DWORD& ls);
