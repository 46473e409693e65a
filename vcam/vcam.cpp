#include "vcam/vcam.h"

#include <atomic>
#include <mutex>
#include <new>

#include "vcam/camera_format.h"
#include "vcam/internal_graph.h"
#include "vcam/out_push_pin.h"
#include "vcam/vcam_log.h"

namespace {

constexpr wchar_t kName[] = L"TELMAR ZK900 4K UVC";
// Serialises the construction of virtual cameras across processes.
constexpr wchar_t kConstructionMutex[] = L"{733560EF-C489-4DF6-8208-83C369CF3287}";
constexpr DWORD kConstructionWait = 10000; // ms

// Process-wide: the number of cameras alive and the private graph they share, changed under the
// process lock by construction (which holds the named mutex too) and destruction. The pins read the
// graph without the lock: it lives as long as any camera, so as long as any pin.
std::mutex g_processLock;
int g_instanceCount = 0;
std::atomic<CInternalGraph*> g_privateGraph{nullptr};

unsigned Address(const void* p) {
    return unsigned(reinterpret_cast<uintptr_t>(p));
}

// True when this process's executable is named skype.exe, in any case.
bool HostIsSkype() {
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const WCHAR* name = path;
    for (const WCHAR* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    return lstrcmpiW(name, L"skype.exe") == 0;
}

} // namespace

CUnknown* WINAPI CVCam::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* vcam = new (std::nothrow) CVCam(pUnk, phr);
    if (!vcam) *phr = E_OUTOFMEMORY;
    return vcam;
}

CVCam::CVCam(LPUNKNOWN pUnk, HRESULT* phr) : CSource(kName, pUnk, CLSID_VCam) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kConstructionMutex);
    const DWORD waited = mutex ? WaitForSingleObject(mutex, kConstructionWait) : WAIT_FAILED;
    {
        std::lock_guard lock(g_processLock);
        SYSTEMTIME now{};
        GetSystemTime(&now);
        const int count = ++g_instanceCount;
        VCamLog("CVCam::CVCam", 510, "\nconstructed[0x%08X]\n(%04d/%02d/%02d %02d:%02d:%02d)\ninstance:%d\n",
                Address(this), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, count);
        readDefaultValues();
        CInternalGraph* graph = g_privateGraph.load();
        if (!graph) {
            graph = new (std::nothrow) CInternalGraph();
            if (graph) graph->CreateGraph();
            g_privateGraph = graph;
        }
        if (graph) {
            std::vector<CMediaType> formats = graph->Formats();
            const int chosen = findCameraFormat(formats);
            graph->StartGraph(chosen >= 0 ? &formats[chosen] : nullptr);
            applyViewSettings(graph);
        }
    }
    if (!new (std::nothrow) COutPushPin(phr, this)) *phr = E_OUTOFMEMORY;
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
    if (mutex) CloseHandle(mutex);
}

CVCam::~CVCam() {
    int count;
    {
        std::lock_guard lock(g_processLock);
        count = --g_instanceCount;
        if (count <= 0) delete g_privateGraph.exchange(nullptr);
    }
    settings().Save();
    VCamLog("CVCam::~CVCam", 563, "destructed[0x%08X]\ninstance:%d\n\n", Address(this), count);
}

CInternalGraph* CVCam::PrivateGraph() {
    return g_privateGraph.load();
}

int CVCam::InstanceCount() {
    std::lock_guard lock(g_processLock);
    return g_instanceCount;
}

void CVCam::readDefaultValues() {
    const VCamSettings s = VCamSettings::Read();
    {
        CAutoLock lock(&m_settingsLock);
        m_settings = s;
    }
    VCamLog("CVCam::readDefaultValues", 863, "read DefVal(%d,%d,%d)\r\n", s.horizontal, s.vertical,
            s.frameRate);
}

VCamSettings CVCam::settings() const {
    CAutoLock lock(&m_settingsLock);
    return m_settings;
}

int CVCam::findCameraFormat(const std::vector<CMediaType>& formats) const {
    const VCamSettings s = settings();
    for (size_t i = 0; i < formats.size(); ++i) {
        const CameraFormat f = CameraFormat::Of(formats[i]);
        if (f.usable() && f.width == s.width && f.height == s.height && f.frameRate == s.frameRate)
            return int(i);
    }
    return -1;
}

void CVCam::applyViewSettings(CInternalGraph* graph) const {
    const VCamSettings s = settings();
    graph->SetUnfoldMode(s.unfoldMode);
    graph->SetViewPosABS(float(s.horizontal), float(s.vertical));
    graph->SetScaleABS(float(s.zoom));
    graph->SetLensDirection(s.lensDir);
}

STDMETHODIMP CVCam::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IAMStreamConfig || riid == IID_IKsPropertySet) {
        CAutoLock lock(&m_cStateLock);
        if (m_iPins > 0 && m_paStreams && m_paStreams[0]) return m_paStreams[0]->QueryInterface(riid, ppv);
    }
    return GetOwner()->QueryInterface(riid, ppv);
}

STDMETHODIMP CVCam::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_ISpecifyPropertyPages) {
        const HRESULT hr = GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
        // That host asks for the page list without releasing it; giving it no reference keeps the
        // camera from living on after the host lets it go.
        if (SUCCEEDED(hr) && HostIsSkype()) Release();
        return hr;
    }
    if (riid == IID_IORBE_SrcGen) return GetInterface(static_cast<IORBE_SrcGen*>(this), ppv);
    if (riid == IID_IOrbSourceView) return GetInterface(static_cast<IOrbSourceView*>(this), ppv);
    if (riid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag*>(this), ppv);
    return CSource::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CVCam::GetClassID(CLSID* pClsID) {
    if (!pClsID) return E_POINTER;
    *pClsID = CLSID_VCam;
    return S_OK;
}

STDMETHODIMP CVCam::GetPages(CAUUID* pPages) {
    if (!pPages) return E_POINTER;
    pPages->cElems = 1;
    pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pPages->pElems) {
        pPages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pPages->pElems[0] = CLSID_SrcPropPage;
    return S_OK;
}

STDMETHODIMP CVCam::InitNew() {
    return S_OK;
}

STDMETHODIMP CVCam::Load(IPropertyBag*, IErrorLog*) {
    return S_OK;
}

STDMETHODIMP CVCam::Save(IPropertyBag*, BOOL, BOOL) {
    return E_NOTIMPL;
}
