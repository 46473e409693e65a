// GetFileVersionInfoSizeW, GetFileVersionInfoW and VerQueryValueW.
//
// The caller's buffer holds the module's VS_VERSIONINFO block as stored (UTF-16 text), then a copy of
// every text value as wide characters, so that VerQueryValueW can hand out pointers into the buffer
// as Windows does. The copy of the value at block offset o lies at the area's start + 2o: wide
// characters are at most twice the size of UTF-16 units, so copies never overlap.
#include <cstring>
#include <filesystem>
#include <string>

#include <dlfcn.h>

#include <windows.h>

#include "platform/win32/debug.h"
#include "platform/win32/utf16.h"
#include "platform/win32/version_block.h"

namespace {

constexpr uint32_t kWideMark = 0x57324546; // "FE2W": the wide copies follow

size_t align8(size_t v) {
    return (v + 7) & ~size_t(7);
}

// Where the wide copies start, for a block of `length` bytes: after the block and an 8-byte mark.
size_t wideArea(size_t length) {
    return align8(length) + 8;
}

// The version block of the module at `path`: a module already loaded, or the file loaded for the
// duration of `read`.
template <class Read>
bool withVersionBlock(LPCWSTR path, Read read) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const std::string file = platform::ToUtf8(path);
    std::error_code ec;
    HMODULE module = nullptr;
    void* loaded = nullptr;
    if (std::filesystem::equivalent(file, "/proc/self/exe", ec)) {
        module = GetModuleHandleW(nullptr);
    } else if (!(module = GetModuleHandleW(path))) {
        const std::string canonical = std::filesystem::canonical(file, ec).string();
        if (ec) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        if (!(module = GetModuleHandleW(platform::ToWide(canonical).c_str()))) {
            loaded = dlopen(canonical.c_str(), RTLD_LAZY | RTLD_LOCAL);
            if (!loaded) {
                TRACE("win32", "cannot load %s: %s", canonical.c_str(), dlerror());
                SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
                return false;
            }
            module = GetModuleHandleW(platform::ToWide(canonical).c_str());
        }
    }
    bool ok = false;
    if (HRSRC found =
            module ? FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION) : nullptr) {
        const auto* block = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
        const DWORD size = SizeofResource(module, found);
        platform::VersionNode root;
        if (block && platform::ReadVersionNode(block, size, 0, size, root)) {
            ok = read(block, root.end);
        } else {
            SetLastError(ERROR_INVALID_DATA);
        }
    } else if (module) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    if (loaded) dlclose(loaded);
    return ok;
}

} // namespace

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle) {
    if (handle) *handle = 0;
    DWORD size = 0;
    withVersionBlock(path, [&](const uint8_t*, size_t length) {
        size = static_cast<DWORD>(wideArea(length) + 2 * length);
        return true;
    });
    return size;
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR path, DWORD, DWORD length, LPVOID data) {
    if (!data || length == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* out = static_cast<uint8_t*>(data);
    return withVersionBlock(path,
                            [&](const uint8_t* block, size_t size) {
                                if (length < wideArea(size) + 2 * size) {
                                    SetLastError(ERROR_INSUFFICIENT_BUFFER);
                                    return false;
                                }
                                std::memcpy(out, block, size);
                                const uint32_t mark[2] = {kWideMark, static_cast<uint32_t>(2 * size)};
                                std::memcpy(out + wideArea(size) - 8, mark, sizeof mark);
                                for (const platform::VersionNode& v :
                                     platform::VersionTextValues(block, size)) {
                                    const size_t units = v.valueBytes / 2;
                                    std::wstring text = platform::FromUtf16(block + v.valueOffset, units);
                                    text.resize(std::min(text.find(L'\0'),
                                                         units - 1)); // room stays for the terminating zero
                                    std::memcpy(out + wideArea(size) + 2 * v.valueOffset, text.c_str(),
                                                (text.size() + 1) * sizeof(wchar_t));
                                }
                                return true;
                            })
               ? TRUE
               : FALSE;
}

BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    if (!block || !subBlock || !buffer || !length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto* bytes = static_cast<const uint8_t*>(block);
    const size_t size = platform::ReadUnit(bytes); // the root's wLength bounds the block
    platform::VersionNode node;
    if (!platform::FindVersionNode(bytes, size, subBlock, node) || node.valueBytes == 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    if (!node.isText) {
        *buffer = const_cast<uint8_t*>(bytes + node.valueOffset);
        *length = static_cast<UINT>(node.valueLength);
        return TRUE;
    }
    uint32_t mark;
    std::memcpy(&mark, bytes + wideArea(size) - 8, sizeof mark);
    if (mark != kWideMark) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    auto* text =
        reinterpret_cast<wchar_t*>(const_cast<uint8_t*>(bytes) + wideArea(size) + 2 * node.valueOffset);
    *buffer = text;
    *length = static_cast<UINT>(std::wcslen(text) + 1);
    return TRUE;
}
