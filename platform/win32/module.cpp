// Module handles and file names over the dynamic loader. An HMODULE is a shared object's load base, the
// address dladdr reports as dli_fbase for any address inside it.
#include <cctype>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <windows.h>

#include "platform/win32/debug.h"

namespace {

struct Module {
    void* base = nullptr;
    std::string path;
};

// Load base and path of every loaded object, the executable first.
template <class Visit>
void forEachModule(Visit visit) {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            ElfW(Addr) lowest = ~ElfW(Addr)(0);
            for (int i = 0; i < info->dlpi_phnum; ++i)
                if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest)
                    lowest = info->dlpi_phdr[i].p_vaddr;
            if (lowest == ~ElfW(Addr)(0)) return 0;
            Dl_info where{};
            void* address = reinterpret_cast<void*>(info->dlpi_addr + lowest);
            Module m;
            m.base = dladdr(address, &where) && where.dli_fbase ? where.dli_fbase : address;
            m.path = info->dlpi_name ? info->dlpi_name : "";
            return (*static_cast<Visit*>(data))(m) ? 1 : 0;
        },
        &visit);
}

std::string executablePath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string baseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// The executable's handle is null's meaning; a module is found by its base address.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path;
    bool found = false;
    void* executableBase = nullptr;
    forEachModule([&](const Module& m) {
        if (!executableBase) executableBase = m.base;
        if (hModule && m.base == static_cast<void*>(hModule)) {
            path = m.path.empty() ? executablePath() : m.path;
            found = true;
            return true;
        }
        return false;
    });
    if (!hModule || static_cast<void*>(hModule) == executableBase) {
        path = executablePath();
        found = true;
    }
    if (!found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::wstring wide = platform::ToWide(path);
    if (wide.size() + 1 > nSize) {
        // Truncated and terminated, as Windows does since XP.
        std::wmemcpy(lpFilename, wide.data(), nSize - 1);
        lpFilename[nSize - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::wmemcpy(lpFilename, wide.c_str(), wide.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(wide.size());
}

// A name matches a loaded object's full path, its file name, or its file name without "lib" and ".so"
// (so "quartz" finds libquartz.so, as "quartz" finds quartz.dll on Windows), ignoring case as Windows
// does.
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    HMODULE result = nullptr;
    auto lower = [](std::string t) {
        for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    std::string wanted = lpModuleName ? lower(platform::ToUtf8(lpModuleName)) : std::string();
    bool first = true;
    forEachModule([&](const Module& m) {
        bool isExecutable = std::exchange(first, false);
        std::string name = lower(baseName(m.path));
        bool match = !lpModuleName
                         ? isExecutable
                         : (!m.path.empty() && (lower(m.path) == wanted || name == wanted ||
                                                name == wanted + ".so" || name == "lib" + wanted + ".so"));
        if (match) result = static_cast<HMODULE>(m.base);
        return match;
    });
    if (!result) SetLastError(ERROR_MOD_NOT_FOUND);
    return result;
}
