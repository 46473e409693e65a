#include "platform/dshow/camera/clip_camera_registry.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <sstream>

#include "platform/win32/debug.h"

namespace platform::camera {
namespace {

constexpr wchar_t kFormatsValue[] = L"Formats";
constexpr wchar_t kClipPrefix[] = L"Clip ";

bool sameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

std::wstring cameraKey(const std::wstring& name) {
    return std::wstring(kCamerasKey) + L"\\" + name;
}

bool readString(HKEY key, const wchar_t* name, std::wstring& out) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    std::wstring text(size / sizeof(WCHAR) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(WCHAR));
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    out = text.c_str();
    return true;
}

LSTATUS writeString(HKEY key, const std::wstring& name, const std::wstring& value) {
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

bool parseSide(const std::string& text, uint32_t& side) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    side = static_cast<uint32_t>(std::stoul(text));
    return side >= 1 && side <= 16384;
}

// Reads the camera under an open key; false when its values do not describe a camera.
bool readDefinition(HKEY key, const std::wstring& name, ClipCameraDefinition& out, std::string& problem) {
    out = {};
    out.name = name;
    std::wstring formats;
    if (!readString(key, kFormatsValue, formats)) return problem = "no Formats value", false;
    std::istringstream list(ToUtf8(formats));
    std::string item;
    while (list >> item) {
        ClipFormat f;
        if (!ParseClipFormat(item, f)) return problem = "a format '" + item + "' that is not WxH@FPS", false;
        out.formats.push_back(f);
    }
    if (out.formats.empty()) return problem = "no formats", false;
    WCHAR valueName[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        if (RegEnumValueW(key, i, valueName, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring value = valueName;
        if (value.rfind(kClipPrefix, 0) != 0) continue;
        std::wstring path;
        if (readString(key, value.c_str(), path))
            out.clips.emplace_back(ToUtf8(value.substr(std::wcslen(kClipPrefix))), ToUtf8(path));
    }
    return true;
}

} // namespace

bool ParseClipFormat(const std::string& text, ClipFormat& format) {
    size_t x = text.find('x'), at = text.find('@');
    if (x == std::string::npos || at == std::string::npos || at < x) return false;
    ClipFormat f;
    if (!parseSide(text.substr(0, x), f.width) || !parseSide(text.substr(x + 1, at - x - 1), f.height))
        return false;
    std::string rate = text.substr(at + 1);
    if (rate.empty() || rate.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    f.fps = std::strtod(rate.c_str(), &end);
    if (*end != '\0' || !(f.fps > 0.0) || f.fps > 1000.0) return false;
    format = f;
    return true;
}

std::string ClipFormatText(const ClipFormat& format) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.3f", format.fps);
    std::string fps = rate;
    fps.erase(fps.find_last_not_of('0') + 1);
    if (fps.back() == '.') fps.pop_back();
    return SizeText(format.width, format.height) + "@" + fps;
}

std::string SizeText(uint32_t width, uint32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string ClipCameraDefinition::ClipFor(uint32_t width, uint32_t height) const {
    std::string size = SizeText(width, height);
    for (const auto& [clipSize, path] : clips)
        if (clipSize == size) return path;
    return {};
}

bool IsValidCameraName(const std::wstring& name) {
    return !name.empty() && name.size() < 240 && name.find(L'\\') == std::wstring::npos;
}

std::wstring ExactCameraName(const std::wstring& name) {
    HKEY root;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kCamerasKey, 0, KEY_READ, &root) != ERROR_SUCCESS) return {};
    std::wstring found;
    WCHAR stored[256];
    for (DWORD i = 0; found.empty(); ++i) {
        DWORD chars = 256;
        if (RegEnumKeyExW(root, i, stored, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (sameIgnoringCase(stored, name)) found = stored;
    }
    RegCloseKey(root);
    return found;
}

std::vector<ClipCameraDefinition> ReadClipCameras() {
    std::vector<ClipCameraDefinition> cameras;
    HKEY root;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kCamerasKey, 0, KEY_READ, &root) != ERROR_SUCCESS) return cameras;
    WCHAR name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        if (RegEnumKeyExW(root, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY key;
        if (RegOpenKeyExW(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        ClipCameraDefinition definition;
        std::string problem;
        if (readDefinition(key, name, definition, problem))
            cameras.push_back(std::move(definition));
        else
            WARN("dshow", "clip camera \"%s\" left out: %s", ToUtf8(name).c_str(), problem.c_str());
        RegCloseKey(key);
    }
    RegCloseKey(root);
    return cameras;
}

HRESULT ReadClipCamera(const std::wstring& name, ClipCameraDefinition& definition) {
    if (!IsValidCameraName(name)) return S_FALSE;
    // Registry keys match without regard to case; camera names match exactly.
    if (ExactCameraName(name) != name) return S_FALSE;
    HKEY key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, cameraKey(name).c_str(), 0, KEY_READ, &key);
    if (status == ERROR_FILE_NOT_FOUND) return S_FALSE;
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    std::string problem;
    bool ok = readDefinition(key, name, definition, problem);
    RegCloseKey(key);
    if (!ok) {
        WARN("dshow", "clip camera \"%s\": %s", ToUtf8(name).c_str(), problem.c_str());
        return HRESULT_FROM_WIN32(ERROR_BADKEY);
    }
    return S_OK;
}

HRESULT WriteClipCamera(const ClipCameraDefinition& definition) {
    if (!IsValidCameraName(definition.name) || definition.formats.empty()) return E_INVALIDARG;
    const std::wstring path = cameraKey(definition.name);
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(status);
    HKEY key;
    status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                             nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    std::string formats;
    for (const ClipFormat& f : definition.formats)
        formats += (formats.empty() ? "" : " ") + ClipFormatText(f);
    status = writeString(key, kFormatsValue, ToWide(formats));
    for (const auto& [size, clip] : definition.clips) {
        if (status != ERROR_SUCCESS) break;
        status = writeString(key, kClipPrefix + ToWide(size), ToWide(clip));
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT RemoveClipCamera(const std::wstring& name) {
    // Registry keys ignore case; camera names do not.
    if (!IsValidCameraName(name) || ExactCameraName(name) != name) return S_FALSE;
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, cameraKey(name).c_str());
    if (status == ERROR_FILE_NOT_FOUND) return S_FALSE;
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

} // namespace platform::camera
