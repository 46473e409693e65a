// The Reg* entry points over the hive files. An open key is a hive and a path, looked up again on every
// call, so keys another process created or deleted are seen at once; a handle whose key was deleted
// answers ERROR_KEY_DELETED.
#include "platform/win32/registry.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include <unistd.h>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "platform/win32/registry_hive.h"

namespace {

using platform::registry::Hive;
using platform::registry::Key;
using platform::registry::Value;

struct OpenKey {
    int hive;
    std::vector<std::wstring> path;
};

struct Registry {
    std::recursive_mutex mutex;
    Hive hives[3] = {Hive(L"HKEY_CLASSES_ROOT"), Hive(L"HKEY_CURRENT_USER"), Hive(L"HKEY_LOCAL_MACHINE")};
    std::map<uintptr_t, OpenKey> handles;
    uintptr_t nextHandle = 0x1000;
};

Registry& state() {
    static Registry r;
    return r;
}

int rootIndex(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return 0;
    if (key == HKEY_CURRENT_USER) return 1;
    if (key == HKEY_LOCAL_MACHINE) return 2;
    return -1;
}

LSTATUS injected(const char* call) {
    HRESULT hr = platform::InjectedFault(call);
    if (SUCCEEDED(hr)) return ERROR_SUCCESS;
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_GEN_FAILURE;
}

std::vector<std::wstring> splitPath(LPCWSTR subKey) {
    std::vector<std::wstring> parts;
    if (!subKey) return parts;
    std::wstring path = subKey;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Resolves a handle (root or opened) to its hive and path.
bool resolve(HKEY key, OpenKey& out) {
    int root = rootIndex(key);
    if (root >= 0) {
        out = OpenKey{root, {}};
        return true;
    }
    auto& handles = state().handles;
    auto it = handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == handles.end()) return false;
    out = it->second;
    return true;
}

HKEY newHandle(OpenKey key) {
    Registry& r = state();
    uintptr_t h = r.nextHandle;
    r.nextHandle += 4;
    r.handles[h] = std::move(key);
    return reinterpret_cast<HKEY>(h);
}

// Finds the key a handle names in an up-to-date tree. ERROR_KEY_DELETED when it no longer exists.
LSTATUS lookup(HKEY hKey, Key*& key, OpenKey* where = nullptr) {
    OpenKey open;
    if (!resolve(hKey, open)) return ERROR_INVALID_HANDLE;
    Key* root = nullptr;
    if (LSTATUS status = state().hives[open.hive].read(root)) return status;
    key = platform::registry::FindKey(*root, open.path);
    if (where) *where = open;
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// String data must be whole WCHARs, each a Unicode scalar value, or the hive file could not hold it.
bool validStringData(const BYTE* data, DWORD bytes) {
    if (bytes % sizeof(WCHAR)) return false;
    for (DWORD i = 0; i < bytes; i += sizeof(WCHAR)) {
        uint32_t c;
        std::memcpy(&c, data + i, sizeof c);
        if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) return false;
    }
    return true;
}

bool validKeyPath(const std::vector<std::wstring>& parts) {
    for (auto& part : parts)
        if (!platform::registry::ValidKeyName(part)) return false;
    return true;
}

LSTATUS copyName(const std::wstring& name, LPWSTR out, LPDWORD chars) {
    if (!out || !chars) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *chars) return ERROR_MORE_DATA;
    std::wmemcpy(out, name.c_str(), name.size() + 1);
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LSTATUS copyData(const Value& v, LPDWORD type, LPBYTE data, LPDWORD bytes) {
    if (data && !bytes) return ERROR_INVALID_PARAMETER;
    if (type) *type = v.type;
    DWORD size = static_cast<DWORD>(v.data.size());
    if (data) {
        if (*bytes < size) {
            *bytes = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(data, v.data.data(), size);
    }
    if (bytes) *bytes = size;
    return ERROR_SUCCESS;
}

} // namespace

namespace platform {

std::string RegistryFolder() {
    return platform::registry::ChooseFolder().path;
}

std::string RegistryHivePath(HKEY root) {
    int index = rootIndex(root);
    if (index < 0) return {};
    std::lock_guard lock(state().mutex);
    return state().hives[index].path();
}

} // namespace platform

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM,
                               const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    TRACE("win32", "%p %s", static_cast<void*>(hKey), platform::ToUtf8(lpSubKey).c_str());
    if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
    if (LSTATUS fault = injected("RegCreateKeyExW")) return fault;
    Registry& r = state();
    std::lock_guard lock(r.mutex);
    Key* base;
    OpenKey where;
    if (LSTATUS status = lookup(hKey, base, &where)) return status;
    auto parts = splitPath(lpSubKey);
    if (!validKeyPath(parts)) return ERROR_INVALID_PARAMETER;
    OpenKey target = where;
    target.path.insert(target.path.end(), parts.begin(), parts.end());
    if (target.path.size() > platform::registry::kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!platform::registry::FindKey(*base, parts)) {
        disposition = REG_CREATED_NEW_KEY;
        LSTATUS status = r.hives[where.hive].modify([&](Key& root) -> LSTATUS {
            Key* key = platform::registry::FindKey(root, where.path);
            if (!key) return ERROR_KEY_DELETED;
            for (auto& part : parts) key = key->addChild(part);
            return ERROR_SUCCESS;
        });
        if (status) return status;
    }
    *phkResult = newHandle(target);
    if (lpdwDisposition) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    TRACE("win32", "%p %s", static_cast<void*>(hKey), platform::ToUtf8(lpSubKey).c_str());
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (LSTATUS fault = injected("RegOpenKeyExW")) return fault;
    std::lock_guard lock(state().mutex);
    Key* base;
    OpenKey where;
    if (LSTATUS status = lookup(hKey, base, &where)) return status;
    auto parts = splitPath(lpSubKey);
    if (!platform::registry::FindKey(*base, parts)) return ERROR_FILE_NOT_FOUND;
    where.path.insert(where.path.end(), parts.begin(), parts.end());
    *phkResult = newHandle(where);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (rootIndex(hKey) >= 0) return ERROR_SUCCESS;
    std::lock_guard lock(state().mutex);
    return state().handles.erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
    TRACE("win32", "%p %s", static_cast<void*>(hKey), platform::ToUtf8(lpValueName).c_str());
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    if (LSTATUS fault = injected("RegQueryValueExW")) return fault;
    std::lock_guard lock(state().mutex);
    Key* key;
    if (LSTATUS status = lookup(hKey, key)) return status;
    Value* v = key->value(lpValueName ? lpValueName : L"");
    if (!v) return ERROR_FILE_NOT_FOUND;
    return copyData(*v, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
    TRACE("win32", "%p %s type %u, %u bytes", static_cast<void*>(hKey), platform::ToUtf8(lpValueName).c_str(),
          dwType, cbData);
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    if (LSTATUS fault = injected("RegSetValueExW")) return fault;
    Value v;
    v.name = lpValueName ? lpValueName : L"";
    if (!platform::registry::ValidValueName(v.name)) return ERROR_INVALID_PARAMETER;
    if (isStringType(dwType) && !validStringData(lpData, cbData)) return ERROR_INVALID_PARAMETER;
    v.type = dwType;
    v.data.assign(lpData, lpData + cbData);
    Registry& r = state();
    std::lock_guard lock(r.mutex);
    OpenKey where;
    if (!resolve(hKey, where)) return ERROR_INVALID_HANDLE;
    return r.hives[where.hive].modify([&](Key& root) -> LSTATUS {
        Key* key = platform::registry::FindKey(root, where.path);
        if (!key) return ERROR_KEY_DELETED;
        key->setValue(std::move(v));
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD,
                             LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (LSTATUS fault = injected("RegEnumKeyExW")) return fault;
    std::lock_guard lock(state().mutex);
    Key* key;
    if (LSTATUS status = lookup(hKey, key)) return status;
    Key* child = key->childAt(dwIndex);
    if (!child) return ERROR_NO_MORE_ITEMS;
    if (LSTATUS status = copyName(child->name, lpName, lpcchName)) return status;
    if (lpClass && lpcchClass && *lpcchClass) {
        lpClass[0] = L'\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (LSTATUS fault = injected("RegEnumValueW")) return fault;
    std::lock_guard lock(state().mutex);
    Key* key;
    if (LSTATUS status = lookup(hKey, key)) return status;
    if (dwIndex >= key->valueCount()) return ERROR_NO_MORE_ITEMS;
    const Value& v = key->values()[dwIndex];
    if (LSTATUS status = copyName(v.name, lpValueName, lpcchValueName)) return status;
    return copyData(v, lpType, lpData, lpcbData);
}

// Deletes one key that has no subkeys; an empty or null name deletes the key the handle names.
LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    TRACE("win32", "%p %s", static_cast<void*>(hKey), platform::ToUtf8(lpSubKey).c_str());
    if (LSTATUS fault = injected("RegDeleteKeyW")) return fault;
    Registry& r = state();
    std::lock_guard lock(r.mutex);
    OpenKey where;
    if (!resolve(hKey, where)) return ERROR_INVALID_HANDLE;
    auto parts = splitPath(lpSubKey);
    std::vector<std::wstring> path = where.path;
    path.insert(path.end(), parts.begin(), parts.end());
    if (path.empty()) return ERROR_ACCESS_DENIED; // a hive's root cannot be deleted
    return r.hives[where.hive].modify([&](Key& root) -> LSTATUS {
        if (!platform::registry::FindKey(root, where.path)) return ERROR_KEY_DELETED;
        Key* parent = platform::registry::FindKey(root, {path.begin(), path.end() - 1});
        Key* key = parent ? parent->child(path.back()) : nullptr;
        if (!key) return ERROR_FILE_NOT_FOUND;
        if (key->childCount()) return ERROR_ACCESS_DENIED;
        parent->removeChild(path.back());
        return ERROR_SUCCESS;
    });
}

// Deletes a key with everything below it; a null name empties the key the handle names instead.
LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    TRACE("win32", "%p %s", static_cast<void*>(hKey), platform::ToUtf8(lpSubKey).c_str());
    if (LSTATUS fault = injected("RegDeleteTreeW")) return fault;
    Registry& r = state();
    std::lock_guard lock(r.mutex);
    OpenKey where;
    if (!resolve(hKey, where)) return ERROR_INVALID_HANDLE;
    auto parts = splitPath(lpSubKey);
    return r.hives[where.hive].modify([&](Key& root) -> LSTATUS {
        Key* base = platform::registry::FindKey(root, where.path);
        if (!base) return ERROR_KEY_DELETED;
        if (parts.empty()) {
            if (lpSubKey && *lpSubKey) return ERROR_FILE_NOT_FOUND;
            base->clear();
            return ERROR_SUCCESS;
        }
        Key* parent = platform::registry::FindKey(*base, {parts.begin(), parts.end() - 1});
        if (!parent || !parent->removeChild(parts.back())) return ERROR_FILE_NOT_FOUND;
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    if (LSTATUS fault = injected("RegDeleteValueW")) return fault;
    Registry& r = state();
    std::lock_guard lock(r.mutex);
    OpenKey where;
    if (!resolve(hKey, where)) return ERROR_INVALID_HANDLE;
    std::wstring name = lpValueName ? lpValueName : L"";
    return r.hives[where.hive].modify([&](Key& root) -> LSTATUS {
        Key* key = platform::registry::FindKey(root, where.path);
        if (!key) return ERROR_KEY_DELETED;
        return key->removeValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}
