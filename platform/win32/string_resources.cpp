// LoadStringW over the RT_STRING blocks of a module: block n + 1 holds strings 16n to 16n + 15, each a
// 16-bit length in UTF-16 units followed by the units.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include <windows.h>

#include "platform/win32/utf16.h"

namespace {

// The wide copies handed out for cchBufferMax == 0, which promises a pointer that stays valid: one
// per string, kept for the life of the process.
const wchar_t* persistentCopy(const uint8_t* block, UINT index, std::wstring text) {
    static std::mutex mutex;
    static auto* copies = new std::map<std::pair<const uint8_t*, UINT>, std::wstring>;
    std::lock_guard lock(mutex);
    auto [it, inserted] = copies->try_emplace({block, index}, std::move(text));
    return it->second.c_str();
}

} // namespace

int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int cchBufferMax) {
    if (!buffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cchBufferMax > 0) buffer[0] = L'\0';
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW((id >> 4) + 1), RT_STRING);
    if (!found) return 0;
    const auto* block = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
    const DWORD size = SizeofResource(instance, found);
    if (!block) return 0;
    size_t at = 0;
    for (UINT i = 0; i < (id & 15); ++i) {
        if (at + 2 > size) break;
        at += 2 + 2 * size_t(platform::ReadUnit(block + at));
    }
    if (at + 2 > size) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const size_t units = platform::ReadUnit(block + at);
    if (units == 0 || at + 2 + 2 * units > size) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::wstring text = platform::FromUtf16(block + at + 2, units);
    const int length = static_cast<int>(text.size());
    if (cchBufferMax == 0) {
        // The caller receives a read-only pointer to the string, which is not terminated on Windows;
        // the copy here happens to be.
        *reinterpret_cast<const wchar_t**>(buffer) = persistentCopy(block, id & 15, std::move(text));
        return length;
    }
    const int copied = std::min(length, cchBufferMax - 1);
    text.copy(buffer, size_t(copied));
    buffer[copied] = L'\0';
    return copied;
}
