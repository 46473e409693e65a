// A host process for the virtual camera tests that need processes of their own (the host's file
// name, construction across processes, a kill while the settings are saved). It reports what it saw
// on standard error, one line, for the test to judge:
//   vcam_probe pages        "pages <reference count change>" after asking for ISpecifyPropertyPages
//   vcam_probe construct    "constructed <instances>" once a camera exists (it lives 300 ms)
//   vcam_probe save-loop    makes and destroys cameras with view (k, k) until killed; says "saved"
//                           on standard error after the first
#include <cstdio>
#include <cstring>

#include <objbase.h>

#include "vcam/vcam.h"

namespace {

CVCam* NewCamera() {
    HRESULT hr = S_OK;
    auto* camera = static_cast<CVCam*>(CVCam::CreateInstance(nullptr, &hr));
    if (!camera || FAILED(hr)) {
        std::fprintf(stderr, "failed 0x%08X\n", unsigned(hr));
        std::exit(1);
    }
    camera->AddRef();
    return camera;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (std::strcmp(argv[1], "pages") == 0) {
        CVCam* camera = NewCamera();
        camera->AddRef();
        const ULONG before = camera->Release();
        ISpecifyPropertyPages* pages = nullptr;
        camera->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages));
        camera->AddRef();
        const ULONG after = camera->Release();
        std::fprintf(stderr, "pages %d\n", int(after) - int(before));
        // The host keeps its page list without a reference of its own in that case: give back only
        // what it took.
        if (after > before) pages->Release();
        camera->Release();
    } else if (std::strcmp(argv[1], "construct") == 0) {
        CVCam* camera = NewCamera();
        std::fprintf(stderr, "constructed %d\n", CVCam::InstanceCount());
        Sleep(300);
        camera->Release();
    } else if (std::strcmp(argv[1], "save-loop") == 0) {
        for (int k = 1;; ++k) {
            CVCam* camera = NewCamera();
            IORBE_SrcGen* control = nullptr;
            camera->QueryInterface(IID_IORBE_SrcGen, reinterpret_cast<void**>(&control));
            control->SetViewPos(k, k);
            control->Release();
            camera->Release();
            if (k == 1) std::fprintf(stderr, "saved\n"); // the registry now holds the settings
        }
    } else {
        return 2;
    }
    CoUninitialize();
    return 0;
}
