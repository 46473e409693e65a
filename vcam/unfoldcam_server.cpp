// The COM server of unfoldcam: its factory templates and the registration of the virtual camera among
// the video capture devices, where applications look for webcams.
#include <uuids.h>

#include "vcam/src_prop_page.h"
#include "vcam/vcam.h"
#include "vcam/vcam_exception.h"

namespace {

constexpr wchar_t kCameraName[] = L"TELMAR ZK900 4K UVC";

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};

const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(L"video"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kPinTypes},
};

// The merit the expansion filter is registered with too.
constexpr DWORD kMerit = 0x200000;

const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_VCam, kCameraName, kMerit, 1, kPins};

// COM initialised for the registration; a thread already in another apartment keeps it.
class ComForRegistration {
public:
    ComForRegistration() : hr_(CoInitialize(nullptr)) {}
    ~ComForRegistration() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT result() const { return hr_ == RPC_E_CHANGED_MODE ? S_OK : hr_; }

private:
    HRESULT hr_;
};

HRESULT RegisterServers(bool doRegister) {
    static constexpr char kTag[] = "RegisterFilter";
    WCHAR path[4096];
    if (doRegister && !GetModuleFileNameW(g_hInst, path, 4096)) return HRESULT_FROM_WIN32(GetLastError());
    IFilterMapper2* mapper = nullptr;
    HRESULT result = S_OK;
    {
        ComForRegistration com;
        try {
            ThrowIfFailed(com.result(), kTag, 148);
            ThrowIfFailed(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IFilterMapper2, reinterpret_cast<void**>(&mapper)),
                          kTag, 149);
            if (doRegister) {
                for (int i = 0; i < g_cTemplates; ++i)
                    ThrowIfFailed(
                        AMovieSetupRegisterServer(*g_Templates[i].m_ClsID, g_Templates[i].m_Name, path), kTag,
                        158);
                REGFILTER2 filter{};
                filter.dwVersion = 1;
                filter.dwMerit = kFilterSetup.dwMerit;
                filter.cPins = kFilterSetup.nPins;
                filter.rgPins = kFilterSetup.lpPin;
                ThrowIfFailed(mapper->RegisterFilter(CLSID_VCam, kCameraName, nullptr,
                                                     &CLSID_VideoInputDeviceCategory, nullptr, &filter),
                              kTag, 159);
            } else {
                const HRESULT hr =
                    mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, CLSID_VCam);
                // Unregistering what is not registered leaves things as asked.
                if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) ThrowIfFailed(hr, kTag, 164);
                for (int i = 0; i < g_cTemplates; ++i)
                    ThrowIfFailed(AMovieSetupUnregisterServer(*g_Templates[i].m_ClsID), kTag, 165);
            }
        } catch (const CVCamException& e) {
            e.Print();
            result = e.hr;
        }
        if (mapper) mapper->Release();
        CoFreeUnusedLibraries();
    }
    return result;
}

} // namespace

const CFactoryTemplate g_Templates[] = {
    {kCameraName, &CLSID_VCam, CVCam::CreateInstance, nullptr, &kFilterSetup},
    {L"SrcFltrProp", &CLSID_SrcPropPage, CSrcPropPage::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    return RegisterServers(true);
}

STDAPI DllUnregisterServer() {
    return RegisterServers(false);
}
