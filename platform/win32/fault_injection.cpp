#include "platform/win32/fault_injection.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

namespace platform {
namespace {

struct ArmedFault {
    FaultSpec fault;
    unsigned seen = 0;
    unsigned hits = 0;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, ArmedFault, std::less<>> faults;
    std::atomic<bool> any{false};

    Registry() { loadEnvironment(); }

    void loadEnvironment() {
        const char* text = std::getenv("UNFOLD_FAULTS");
        if (!text) return;
        std::stringstream all(text);
        std::string item;
        while (std::getline(all, item, ';')) {
            auto eq = item.find('=');
            if (eq == std::string::npos) continue;
            FaultSpec fault;
            fault.call = item.substr(0, eq);
            std::stringstream rest(item.substr(eq + 1));
            std::string field;
            if (std::getline(rest, field, ':'))
                fault.code = static_cast<HRESULT>(std::stoul(field, nullptr, 0));
            if (std::getline(rest, field, ':')) fault.skip = static_cast<unsigned>(std::stoul(field));
            if (std::getline(rest, field, ':')) fault.count = static_cast<unsigned>(std::stoul(field));
            faults[fault.call] = ArmedFault{fault};
        }
        any = !faults.empty();
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

void ArmFault(const FaultSpec& fault) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.faults[fault.call] = ArmedFault{fault};
    r.any = true;
}

void ClearFault(const std::string& call) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.faults.erase(call);
    r.any = !r.faults.empty();
}

void ClearFaults() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.faults.clear();
    r.any = false;
}

HRESULT InjectedFault(const char* call) {
    Registry& r = registry();
    if (!r.any.load(std::memory_order_relaxed)) return S_OK;
    std::lock_guard lock(r.mutex);
    auto it = r.faults.find(std::string_view(call));
    if (it == r.faults.end()) return S_OK;
    ArmedFault& f = it->second;
    unsigned index = f.seen++;
    if (index < f.fault.skip) return S_OK;
    if (f.fault.count != 0 && index - f.fault.skip >= f.fault.count) return S_OK;
    ++f.hits;
    return f.fault.code;
}

unsigned FaultHits(const std::string& call) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.faults.find(call);
    return it == r.faults.end() ? 0 : it->second.hits;
}

} // namespace platform
