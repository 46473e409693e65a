// Makes chosen platform calls fail on purpose, so that tests reach the system's failure paths.
//
// A platform call site asks InjectedFault with its call name ("ID3D10Device::CreateBuffer",
// "D3D10CreateDevice.Hardware", ...) and returns the code it gets when that is a failure. A fault lets
// `skip` matching calls pass, then fails the next `count` of them (0 = every later call). Faults can
// also be armed for a whole process from the environment:
//   UNFOLD_FAULTS="ID3D10Device::CreateBuffer=0x8007000E;D3D10CreateDevice.Hardware=0x887A0004:0:0"
// (call=code[:skip[:count]], separated by semicolons).
#pragma once

#include <string>

#include <windows.h>

namespace platform {

struct FaultSpec {
    std::string call;
    HRESULT code = E_FAIL;
    unsigned skip = 0;
    unsigned count = 1;
};

void ArmFault(const FaultSpec& fault);
void ClearFault(const std::string& call);
void ClearFaults();

// S_OK when no armed fault fires for this call, else the armed code. Costs one relaxed atomic load
// while no fault is armed.
HRESULT InjectedFault(const char* call);

// Number of times a fault for this call has fired since it was armed.
unsigned FaultHits(const std::string& call);

// Arms a fault for the lifetime of the object.
class ScopedFault {
public:
    explicit ScopedFault(FaultSpec fault) : call_(fault.call) { ArmFault(fault); }
    ScopedFault(std::string call, HRESULT code, unsigned skip = 0, unsigned count = 1)
        : ScopedFault(FaultSpec{std::move(call), code, skip, count}) {}
    ~ScopedFault() { ClearFault(call_); }
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;
    unsigned hits() const { return FaultHits(call_); }

private:
    std::string call_;
};

} // namespace platform
