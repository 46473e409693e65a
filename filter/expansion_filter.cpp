#include "filter/expansion_filter.h"

#include <cstring>
#include <limits>
#include <new>

#include "engine/orb_expander.h"
#include "platform/win32/stage_times.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ZK900 4K Expander";
constexpr wchar_t kFilterName[] = L"ZK900 4K Expander";

bool videoInfo(const CMediaType* mt) {
    return mt && *mt->FormatType() == FORMAT_VideoInfo && mt->Format() &&
           mt->FormatLength() >= sizeof(VIDEOINFOHEADER);
}

VIDEOINFOHEADER* header(const CMediaType& mt) {
    return reinterpret_cast<VIDEOINFOHEADER*>(mt.Format());
}

void registerWindowClass() {
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc); // fails harmlessly when another filter instance registered it
}

} // namespace

CUnknown* WINAPI CExpansionFilter::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* filter = new (std::nothrow) CExpansionFilter(pUnk, phr);
    if (!filter) *phr = E_OUTOFMEMORY;
    return filter;
}

CExpansionFilter::CExpansionFilter(LPUNKNOWN pUnk, HRESULT* phr)
    : CTransformFilter(kFilterName, pUnk, CLSID_ExpansionFilter) {
    (void)phr;
    engine = new (std::nothrow) COrbExpander();
    registerWindowClass();
    comInitialised = SUCCEEDED(CoInitialize(nullptr));
    if (SUCCEEDED(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                   reinterpret_cast<void**>(&referenceClock))))
        referenceClock->GetTime(&lastFrameTime);
    else
        referenceClock = nullptr; // without a clock the frame-interval check is skipped
    errorShown = FALSE;
}

CExpansionFilter::~CExpansionFilter() {
    {
        CAutoLock lock(&engineLock);
        delete engine;
        engine = nullptr;
        if (renderWindow) DestroyWindow(renderWindow);
        renderWindow = nullptr;
        UnregisterClassW(kWindowClass, nullptr); // refused while another instance has its window
        if (referenceClock) referenceClock->Release();
        referenceClock = nullptr;
        if (comInitialised) CoUninitialize();
    }
}

STDMETHODIMP CExpansionFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IORBE_General) return GetInterface(static_cast<IORBE_General*>(this), ppv);
    if (riid == IID_IOrbExpFilter) return GetInterface(static_cast<IOrbExpFilter*>(this), ppv);
    return CTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CExpansionFilter::CheckInputType(const CMediaType* mtIn) {
    // A format block too short for a video header is refused too: it would be read past its end.
    if (!videoInfo(mtIn)) return E_INVALIDARG;
    if (*mtIn->Type() != MEDIATYPE_Video) return E_INVALIDARG;
    if (*mtIn->Subtype() != MEDIASUBTYPE_RGB32) return E_INVALIDARG;
    return S_OK;
}

HRESULT CExpansionFilter::GetMediaType(int iPosition, CMediaType* pMediaType) {
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
    if (!pMediaType) return E_POINTER;
    if (!m_pInput || !m_pInput->IsConnected()) return VFW_E_NOT_CONNECTED;
    if (FAILED(pMediaType->Set(m_pInput->CurrentMediaType()))) return E_OUTOFMEMORY;
    if (!videoInfo(pMediaType)) return VFW_E_TYPE_NOT_ACCEPTED;
    BITMAPINFOHEADER& bmi = header(*pMediaType)->bmiHeader;
    bmi.biHeight = bmi.biHeight > 0 ? kOutHeight : -kOutHeight;
    bmi.biWidth = kOutWidth;
    return S_OK;
}

HRESULT CExpansionFilter::CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) {
    if (!videoInfo(mtIn) || !mtOut) return VFW_E_TYPE_NOT_ACCEPTED;
    // The output must be the input with another picture size and nothing else changed.
    CMediaType in(*mtIn), out(*mtOut);
    if (!videoInfo(&out) || !videoInfo(&in)) return VFW_E_TYPE_NOT_ACCEPTED;
    header(in)->bmiHeader.biWidth = header(out)->bmiHeader.biWidth;
    header(in)->bmiHeader.biHeight = header(out)->bmiHeader.biHeight;
    return in == out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CExpansionFilter::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    if (!m_pInput || !m_pInput->IsConnected()) return E_FAIL;
    // Buffers as large as an input sample, and never smaller than the frame the engine writes (a small
    // or variable-size input would otherwise get buffers the frame overruns).
    LONG size = LONG(m_pInput->CurrentMediaType().GetSampleSize());
    pProp->cBuffers = kOutBuffers;
    pProp->cbBuffer = size > kOutFrameBytes ? size : kOutFrameBytes;
    ALLOCATOR_PROPERTIES actual{};
    if (HRESULT hr = pAlloc->SetProperties(pProp, &actual); FAILED(hr)) return hr;
    if (actual.cBuffers < pProp->cBuffers || actual.cbBuffer < pProp->cbBuffer) return E_FAIL;
    return S_OK;
}

REFERENCE_TIME CExpansionFilter::FrameIntervalLimit(REFERENCE_TIME avgTimePerFrame) {
    constexpr REFERENCE_TIME kLongest = std::numeric_limits<REFERENCE_TIME>::max() / 3 * 2;
    if (avgTimePerFrame >= kLongest) return std::numeric_limits<REFERENCE_TIME>::max();
    const REFERENCE_TIME stretched = avgTimePerFrame + avgTimePerFrame / 2;
    return stretched > kFrameInterval ? stretched : kFrameInterval;
}

bool CExpansionFilter::createRenderWindow() {
    if (renderWindow) DestroyWindow(renderWindow);
    // Another instance's destructor may have unregistered the shared class; register it again.
    registerWindowClass();
    renderWindow = CreateWindowExW(WS_EX_LEFT, kWindowClass, L"Render", WS_POPUP, 0, 0, kOutWidth, kOutHeight,
                                   nullptr, nullptr, nullptr, nullptr);
    return renderWindow != nullptr;
}

HRESULT CExpansionFilter::CompleteConnect(PIN_DIRECTION direction, IPin*) {
    if (direction != PINDIR_INPUT) return S_OK;
    const CMediaType& mt = m_pInput->CurrentMediaType();
    if (!videoInfo(&mt)) return E_FAIL;
    std::memcpy(&inputHeader, mt.Format(), sizeof inputHeader);
    const uint16_t width = LOWORD(inputHeader.bmiHeader.biWidth);
    const uint16_t height = LOWORD(inputHeader.bmiHeader.biHeight);
    frameIntervalLimit = FrameIntervalLimit(inputHeader.AvgTimePerFrame);

    CAutoLock lock(&engineLock);
    if (!engine) return E_OUTOFMEMORY;
    createRenderWindow();
    if (FAILED(engine->Initialize(renderWindow))) {
        if (!errorShown) {
            errorShown = TRUE;
            MessageBoxW(
                nullptr,
                L"Your PC does not support Direct3D 10. Or a graphic driver is not installed correctly.",
                L"TELMAR ZK900 4K UVC Error", MB_ICONWARNING);
        }
        return E_FAIL;
    }
    engine->SetFrontViewRect(1.0f, 1.0f, 0.0f, 0.0f);
    engine->SetInput(width, height);
    engine->SetRenderBufSize(kOutWidth, kOutHeight);
    engine->SetExpMode(kDefaultMode);
    if (CBaseExpander* current = engine->Current()) current->SetFlip(true, true);
    return S_OK;
}

HRESULT CExpansionFilter::Transform(IMediaSample* pIn, IMediaSample* pOut) {
    platform::StageTimer timer(platform::Stage::Unfold);
    // A frame is drawn only when it follows the one before within the frame-interval limit.
    if (referenceClock) {
        REFERENCE_TIME now = 0;
        referenceClock->GetTime(&now);
        const int64_t gap = now - lastFrameTime;
        lastFrameTime = now;
        if (gap > frameIntervalLimit) return S_FALSE;
    }
    const long inLength = pIn->GetActualDataLength();
    BYTE* in = nullptr;
    BYTE* out = nullptr;
    pIn->GetPointer(&in);
    pOut->GetPointer(&out);
    const BITMAPINFOHEADER& bmi = inputHeader.bmiHeader;
    const int64_t rows = bmi.biHeight < 0 ? -int64_t(bmi.biHeight) : int64_t(bmi.biHeight);
    const int64_t needed = int64_t(bmi.biWidth) * 4 * rows;
    {
        CAutoLock lock(&engineLock);
        if (engine) {
            // A sample shorter than its frame is not read past its end: the last frame is drawn again.
            if (in && bmi.biWidth > 0 && pIn->GetSize() >= needed)
                engine->UploadFrame(in, uint32_t(bmi.biWidth) * 4);
            // Nor is an output buffer written past its end.
            if (out && pOut->GetSize() >= kOutFrameBytes) engine->Render(out);
        }
    }
    REFERENCE_TIME start = 0, stop = 0;
    if (pIn->GetMediaTime(&start, &stop) == S_OK)
        pOut->SetMediaTime(&start, &stop);
    else
        pOut->SetMediaTime(nullptr, nullptr);
    if (SUCCEEDED(pIn->GetTime(&start, &stop))) pOut->SetTime(&start, &stop);
    pOut->SetSyncPoint(TRUE);
    // The input's length, as downstream filters expect; but never less than the frame the engine
    // wrote, which a small input's length would cut short.
    pOut->SetActualDataLength(inLength > kOutFrameBytes ? inLength : kOutFrameBytes);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::GetPages(CAUUID* pPages) {
    if (!pPages) return E_POINTER;
    pPages->cElems = 1;
    pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pPages->pElems) {
        pPages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pPages->pElems[0] = CLSID_ORBE_GeneralProp;
    return S_OK;
}
