// FindResourceW, LoadResource, SizeofResource, LockResource and the module handles they take.
#include "platform/win32/resources.h"

#include <cwctype>
#include <dlfcn.h>
#include <link.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace platform {
namespace {

struct Table {
    HMODULE module;
    const ResourceEntry* entries;
    size_t count;
};

struct Registry {
    std::mutex mutex;
    std::vector<Table> tables;
};

// Never destroyed: modules unregister from their own static destructors, which may run after this
// file's would.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

// The load address of a loaded object: the start of its first mapped segment, as dladdr reports it.
uintptr_t baseOf(const dl_phdr_info* info) {
    uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD)
            lowest = std::min<uintptr_t>(lowest, info->dlpi_phdr[i].p_vaddr);
    if (lowest == UINTPTR_MAX) lowest = 0;
    uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    return (info->dlpi_addr + lowest) & ~(page - 1);
}

HMODULE executableModule() {
    uintptr_t base = 0;
    // The first object dl_iterate_phdr visits is the executable.
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            *static_cast<uintptr_t*>(out) = baseOf(info);
            return 1;
        },
        &base);
    return reinterpret_cast<HMODULE>(base);
}

DWORD faultError(HRESULT hr) {
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(hr))
                                                  : ERROR_RESOURCE_DATA_NOT_FOUND;
}

bool sameText(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        if (std::towupper(*a) != std::towupper(*b)) return false;
        if (!*a) return true;
    }
}

// Whether an entry's type or name matches what the caller asked for: an integer, "#123", or a string.
bool matches(const wchar_t* entryName, uint16_t entryId, LPCWSTR wanted) {
    if (IS_INTRESOURCE(wanted))
        return !entryName && entryId == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    if (wanted[0] == L'#') {
        unsigned long id = 0;
        const wchar_t* p = wanted + 1;
        if (!*p) return false;
        for (; *p; ++p) {
            if (*p < L'0' || *p > L'9') return false;
            id = id * 10 + static_cast<unsigned long>(*p - L'0');
            if (id > 0xFFFF) return false;
        }
        return !entryName && entryId == id;
    }
    return entryName && sameText(entryName, wanted);
}

// The entry behind a handle, when the handle is one of a registered table. Caller holds the lock.
const ResourceEntry* registeredEntry(const Registry& r, HRSRC handle) {
    auto p = reinterpret_cast<uintptr_t>(handle);
    for (const Table& t : r.tables) {
        auto first = reinterpret_cast<uintptr_t>(t.entries);
        if (p >= first && p < first + t.count * sizeof(ResourceEntry) &&
            (p - first) % sizeof(ResourceEntry) == 0)
            return reinterpret_cast<const ResourceEntry*>(handle);
    }
    return nullptr;
}

} // namespace

HMODULE ModuleFromAddress(const void* address) noexcept {
    Dl_info info;
    if (!address || !dladdr(address, &info) || !info.dli_fbase) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE RegisterModuleResources(const ResourceEntry* entries, size_t count) noexcept {
    HMODULE module = ModuleFromAddress(entries);
    if (!module) return nullptr;
    try {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        r.tables.push_back({module, entries, count});
    } catch (...) {
        ERR("win32", "cannot register the resources of module %p", static_cast<void*>(module));
        return nullptr;
    }
    TRACE("win32", "module %p: %zu resources", static_cast<void*>(module), count);
    return module;
}

void UnregisterModuleResources(const ResourceEntry* entries) noexcept {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.tables.begin(); it != r.tables.end(); ++it)
        if (it->entries == entries) {
            r.tables.erase(it);
            return;
        }
}

} // namespace platform

using platform::Registry;
using platform::ResourceEntry;

HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (HRESULT hr = platform::InjectedFault("FindResourceW"); FAILED(hr)) {
        SetLastError(platform::faultError(hr));
        return nullptr;
    }
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!module) module = platform::executableModule();
    Registry& r = platform::registry();
    std::lock_guard lock(r.mutex);
    bool anyTable = false, anyOfType = false;
    for (const auto& t : r.tables) {
        if (t.module != module) continue;
        anyTable = true;
        for (size_t i = 0; i < t.count; ++i) {
            const ResourceEntry& e = t.entries[i];
            if (!platform::matches(e.typeName, e.typeId, type)) continue;
            anyOfType = true;
            if (platform::matches(e.name, e.id, name))
                return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&e));
        }
    }
    SetLastError(!anyTable    ? ERROR_RESOURCE_DATA_NOT_FOUND
                 : !anyOfType ? ERROR_RESOURCE_TYPE_NOT_FOUND
                              : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    if (HRESULT hr = platform::InjectedFault("LoadResource"); FAILED(hr)) {
        SetLastError(platform::faultError(hr));
        return nullptr;
    }
    Registry& r = platform::registry();
    std::lock_guard lock(r.mutex);
    const ResourceEntry* e = resource ? platform::registeredEntry(r, resource) : nullptr;
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<unsigned char*>(e->data);
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    if (HRESULT hr = platform::InjectedFault("SizeofResource"); FAILED(hr)) {
        SetLastError(platform::faultError(hr));
        return 0;
    }
    Registry& r = platform::registry();
    std::lock_guard lock(r.mutex);
    const ResourceEntry* e = resource ? platform::registeredEntry(r, resource) : nullptr;
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return e->size;
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    if (HRESULT hr = platform::InjectedFault("LockResource"); FAILED(hr)) {
        SetLastError(platform::faultError(hr));
        return nullptr;
    }
    return data;
}

BOOL WINAPI FreeResource(HGLOBAL) {
    return FALSE;
}

BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? platform::ModuleFromAddress(moduleName)
                                                               : GetModuleHandleW(moduleName);
    if (!*module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}
