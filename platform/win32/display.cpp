#include "platform/win32/display.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <dlfcn.h>

#include "platform/win32/debug.h"

namespace platform {
namespace {

std::atomic<DisplayBackend*> g_display{nullptr};
std::thread::id g_displayThread;

// The backend module sits beside this library.
std::string backendPath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OpenDisplay), &info) || !info.dli_fname) return "libwin32_gtk.so";
    std::string self = info.dli_fname;
    const size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + "libwin32_gtk.so";
}

} // namespace

bool OpenDisplay(std::string& reason) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (g_display.load()) {
        if (std::this_thread::get_id() == g_displayThread) return true;
        reason = "the display is open on another thread";
        return false;
    }
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wayland || !*wayland)) {
        reason = "no display (DISPLAY is not set)";
        return false;
    }
    // Kept loaded for the life of the process: windows shown through it may outlive any caller.
    void* module = dlopen(backendPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        reason = std::string("cannot load the display backend: ") + dlerror();
        return false;
    }
    using Create = DisplayBackend* (*)(std::string&);
    auto create = reinterpret_cast<Create>(dlsym(module, "CreateDisplayBackend"));
    if (!create) {
        reason = "the display backend has no CreateDisplayBackend";
        return false;
    }
    DisplayBackend* backend = create(reason);
    if (!backend) return false;
    g_displayThread = std::this_thread::get_id();
    g_display.store(backend);
    TRACE("win32", "display open");
    return true;
}

DisplayBackend* ActiveDisplay() {
    return g_display.load();
}

bool IsDisplayThread() {
    return g_display.load() && std::this_thread::get_id() == g_displayThread;
}

void NotifyWindowChanged(HWND window, WindowChange change) {
    if (DisplayBackend* d = g_display.load()) d->windowChanged(window, change);
}

} // namespace platform
