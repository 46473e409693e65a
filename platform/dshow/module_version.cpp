#include "platform/dshow/module_version.h"

#include <vector>

bool GetModuleProductVersion(HMODULE module, DWORD& ms, DWORD& ls) {
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(module, path, MAX_PATH)) return false;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, handle, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    ms = fixed->dwProductVersionMS;
    ls = fixed->dwProductVersionLS;
    return true;
}
