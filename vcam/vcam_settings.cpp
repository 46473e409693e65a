#include "vcam/vcam_settings.h"

#include <windows.h>

namespace {

constexpr wchar_t kKey[] = L"Software\\Halvern\\TELMAR_ZK900_4K_UVC";

void readDword(HKEY key, const wchar_t* name, int32_t& value) {
    DWORD type = 0, stored = 0, size = sizeof stored;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof stored)
        value = int32_t(stored);
}

void writeDword(HKEY key, const wchar_t* name, int32_t value) {
    const DWORD stored = DWORD(value);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
}

} // namespace

VCamSettings VCamSettings::Read() {
    VCamSettings s;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        readDword(key, L"Width", s.width);
        readDword(key, L"Height", s.height);
        readDword(key, L"fps", s.frameRate);
        readDword(key, L"Horizontal", s.horizontal);
        readDword(key, L"Vertical", s.vertical);
        readDword(key, L"Zoom", s.zoom);
        readDword(key, L"UnfoldMode", s.unfoldMode);
        // Any stored non-zero value means upward; a missing one keeps the default like the others.
        int32_t lens = s.lensDir;
        readDword(key, L"LensDir", lens);
        s.lensDir = lens != 0 ? 1 : 0;
        RegCloseKey(key);
    }
    if (s.width == 1440 && s.frameRate == 5) s.frameRate = 15;
    return s;
}

void VCamSettings::Save() const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    writeDword(key, L"Width", width);
    writeDword(key, L"Height", height);
    writeDword(key, L"fps", frameRate);
    writeDword(key, L"Horizontal", horizontal);
    writeDword(key, L"Vertical", vertical);
    writeDword(key, L"Zoom", zoom);
    writeDword(key, L"UnfoldMode", unfoldMode);
    writeDword(key, L"LensDir", lensDir != 0 ? 1 : 0);
    RegCloseKey(key);
}
