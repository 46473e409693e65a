// Apartments and activation.
//
// CoGetClassObject finds a class among the platform's system classes, else under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32, loads that module once per process (dlopen, local
// symbols) and asks its DllGetClassObject. Choices where Windows leaves room:
// - Only in-process servers exist; other contexts answer REGDB_E_CLASSNOTREG.
// - Activation needs COM initialised on the calling thread or a multithreaded apartment anywhere in
//   the process (the implicit MTA), else CO_E_NOTINITIALIZED.
// - CoFreeUnusedLibraries unloads at once every module whose DllCanUnloadNow answers S_OK (no delay);
//   the last CoUninitialize of the process does the same. System modules stay loaded.
// Fault injection: "CoInitializeEx", "CoGetClassObject", and "CoCreateInstance:{CLSID}" to make one
// class unavailable (for CoCreateInstance and CoGetClassObject alike).
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <objbase.h>
#include <windows.h>

#include "platform/com/system_classes.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace {

struct Apartment {
    ULONG count = 0;
    bool multithreaded = false;
};
thread_local Apartment apartment;
std::atomic<long> multithreadedApartments{0};
std::atomic<long> initialisedThreads{0};

struct ServerModule {
    void* handle = nullptr;
    LPFNGETCLASSOBJECT getClassObject = nullptr;
    LPFNCANUNLOADNOW canUnloadNow = nullptr;
    bool system = false;
};

struct Modules {
    std::recursive_mutex mutex;
    std::map<std::string, ServerModule> loaded; // by real path
};

Modules& modules() {
    static Modules* m = new Modules; // never destroyed: modules may still run code at exit
    return *m;
}

std::string guidText(REFGUID guid) {
    WCHAR text[40];
    StringFromGUID2(guid, text, 40);
    return platform::ToUtf8(text);
}

std::string systemFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&CoCreateInstance), &info) || !info.dli_fname) return ".";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The module's path from the class's InprocServer32 key.
HRESULT registeredServer(REFCLSID clsid, std::string& path) {
    std::wstring key = L"CLSID\\" + platform::ToWide(guidText(clsid)) + L"\\InprocServer32";
    HKEY server;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &server) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    WCHAR value[4096] = {};
    DWORD size = sizeof value - sizeof(WCHAR), type = 0;
    LSTATUS status = RegQueryValueExW(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(server);
    if (status == ERROR_FILE_NOT_FOUND) return REGDB_E_CLASSNOTREG;
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return REGDB_E_READREGDB;
    path = platform::ToUtf8(value);
    return path.empty() ? REGDB_E_CLASSNOTREG : S_OK;
}

HRESULT loadModule(const std::string& path, bool system, ServerModule& out) {
    char real[PATH_MAX];
    std::string key = ::realpath(path.c_str(), real) ? std::string(real) : path;
    Modules& m = modules();
    std::lock_guard lock(m.mutex);
    auto it = m.loaded.find(key);
    if (it != m.loaded.end()) {
        out = it->second;
        return S_OK;
    }
    struct stat st;
    if (path.find('/') != std::string::npos && ::stat(key.c_str(), &st) != 0) {
        WARN("com", "server module %s does not exist", key.c_str());
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    ServerModule module;
    module.handle = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module.handle) {
        WARN("com", "cannot load %s: %s", key.c_str(), dlerror());
        return CO_E_ERRORINDLL;
    }
    module.getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(module.handle, "DllGetClassObject"));
    module.canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(module.handle, "DllCanUnloadNow"));
    if (!module.getClassObject) {
        WARN("com", "%s has no DllGetClassObject", key.c_str());
        dlclose(module.handle);
        return CO_E_ERRORINDLL;
    }
    module.system = system;
    m.loaded[key] = module;
    out = module;
    TRACE("com", "loaded %s", key.c_str());
    return S_OK;
}

bool comReady() {
    return apartment.count > 0 || multithreadedApartments.load() > 0;
}

} // namespace

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved) return E_INVALIDARG;
    if (HRESULT hr = platform::InjectedFault("CoInitializeEx"); FAILED(hr)) return hr;
    bool multithreaded = (dwCoInit & COINIT_APARTMENTTHREADED) == 0;
    if (apartment.count > 0) {
        if (apartment.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
        ++apartment.count;
        return S_FALSE;
    }
    apartment.count = 1;
    apartment.multithreaded = multithreaded;
    if (multithreaded) ++multithreadedApartments;
    ++initialisedThreads;
    return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize() {
    if (apartment.count == 0) return;
    if (--apartment.count > 0) return;
    if (apartment.multithreaded) --multithreadedApartments;
    if (--initialisedThreads == 0) CoFreeUnusedLibraries();
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    std::string clsid = guidText(rclsid);
    TRACE("com", "%s context %#x", clsid.c_str(), dwClsContext);
    if (!comReady()) return CO_E_NOTINITIALIZED;
    if (HRESULT hr = platform::InjectedFault("CoGetClassObject"); FAILED(hr)) return hr;
    if (HRESULT hr = platform::InjectedFault(("CoCreateInstance:" + clsid).c_str()); FAILED(hr)) return hr;
    if (!(dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) return REGDB_E_CLASSNOTREG;

    std::string path;
    bool system = false;
    if (const char* module = platform::com::SystemClassModule(rclsid)) {
        path = systemFolder() + "/" + module;
        system = true;
    } else if (HRESULT hr = registeredServer(rclsid, path); FAILED(hr)) {
        WARN("com", "class %s is not registered", clsid.c_str());
        return hr;
    }
    ServerModule module;
    if (HRESULT hr = loadModule(path, system, module); FAILED(hr)) return hr;
    return module.getClassObject(rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

void WINAPI CoFreeUnusedLibraries() {
    Modules& m = modules();
    std::lock_guard lock(m.mutex);
    for (auto it = m.loaded.begin(); it != m.loaded.end();) {
        ServerModule& module = it->second;
        if (!module.system && module.canUnloadNow && module.canUnloadNow() == S_OK) {
            TRACE("com", "unloading %s", it->first.c_str());
            dlclose(module.handle);
            it = m.loaded.erase(it);
        } else {
            ++it;
        }
    }
}

void WINAPI CoFreeUnusedLibrariesEx(DWORD, DWORD) {
    CoFreeUnusedLibraries();
}
