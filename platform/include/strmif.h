// DirectShow interfaces and structures, with the SDK's names, values and method order.
#pragma once

#include "objbase.h"
#include "objidl.h"
#include "unknwn.h"
#include "wtypes.h"

typedef LONGLONG REFERENCE_TIME; // 100 ns units
typedef REFERENCE_TIME* LPREFERENCE_TIME;
typedef DWORD_PTR HSEMAPHORE;
typedef DWORD_PTR HEVENT;

struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;
struct IFilterGraph;
struct IBaseFilter;
struct IReferenceClock;
struct IMediaSample;
struct IMemAllocator;

typedef struct _AMMediaType {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat; // allocated with CoTaskMemAlloc
} AM_MEDIA_TYPE;

typedef enum _PinDirection { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 } PIN_DIRECTION;

#define MAX_PIN_NAME 128
#define MAX_FILTER_NAME 128

typedef struct _PinInfo {
    IBaseFilter* pFilter; // with a reference the caller releases
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
} PIN_INFO;

typedef struct _FilterInfo {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph; // with a reference the caller releases, or null
} FILTER_INFO;

typedef enum _FilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 } FILTER_STATE;

typedef struct _AllocatorProperties {
    long cBuffers;
    long cbBuffer;
    long cbAlign;
    long cbPrefix;
} ALLOCATOR_PROPERTIES;

typedef enum { Famine = 0, Flood = 1 } QualityMessageType;
typedef struct {
    QualityMessageType Type;
    long Proportion; // 1000 = normal
    REFERENCE_TIME Late;
    REFERENCE_TIME TimeStamp;
} Quality;

#define AM_GBF_PREVFRAMESKIPPED 1
#define AM_GBF_NOTASYNCPOINT 2
#define AM_GBF_NOWAIT 4
#define AM_GBF_NODDSURFACELOCK 8

DEFINE_GUID(IID_IPin, 0x56a86891, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IEnumPins, 0x56a86892, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IEnumFilters, 0x56a86893, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IBaseFilter, 0x56a86895, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IReferenceClock, 0x56a86897, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaFilter, 0x56a86899, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaSample, 0x56a8689a, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMemAllocator, 0x56a8689c, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMemInputPin, 0x56a8689d, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IFilterGraph, 0x56a8689f, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEventSink, 0x56a868a2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IQualityControl, 0x56a868a5, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IGraphBuilder, 0x56a868a9, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IEnumMediaTypes, 0x89c31040, 0x846b, 0x11ce, 0x97, 0xd3, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a);
DEFINE_GUID(IID_IFilterMapper2, 0xb79bb0b0, 0x33c1, 0x11d1, 0xab, 0xe1, 0x00, 0xa0, 0xc9, 0x05, 0xf3, 0x75);
DEFINE_GUID(IID_ICreateDevEnum, 0x29840822, 0x5b84, 0x11d0, 0xbd, 0x3b, 0x00, 0xa0, 0xc9, 0x11, 0xce, 0x86);
DEFINE_GUID(IID_IAMStreamConfig, 0xc6e13340, 0x30ac, 0x11d0, 0xa1, 0x8c, 0x00, 0xa0, 0xc9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IKsPropertySet, 0x31efac30, 0x515c, 0x11d0, 0xa9, 0xaa, 0x00, 0xaa, 0x00, 0x61, 0xbe, 0x93);
DEFINE_GUID(IID_ICaptureGraphBuilder2, 0x93e5a4e0, 0x2d50, 0x11d2, 0xab, 0xfa, 0x00, 0xa0, 0xc9, 0xc6, 0xe3,
            0x8d);

struct IPin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* Id) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** apPin, ULONG* nPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndOfStream() = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginFlush() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndFlush() = 0;
    virtual HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                                 double dRate) = 0;

protected:
    ~IPin() = default;
};
typedef IPin* PPIN;

struct IEnumPins : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cPins) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) = 0;

protected:
    ~IEnumPins() = default;
};

struct IEnumMediaTypes : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes,
                                           ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cMediaTypes) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** ppEnum) = 0;

protected:
    ~IEnumMediaTypes() = default;
};

struct IEnumFilters : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cFilters) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumFilters** ppEnum) = 0;

protected:
    ~IEnumFilters() = default;
};

struct IFilterGraph : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn,
                                                    const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reconnect(IPin* ppin) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() = 0;

protected:
    ~IFilterGraph() = default;
};

struct IGraphBuilder : public IFilterGraph {
    virtual HRESULT STDMETHODCALLTYPE Connect(IPin* ppinOut, IPin* ppinIn) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(IPin* ppinOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                                      IBaseFilter** ppFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLogFile(DWORD_PTR hFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE Abort() = 0;
    virtual HRESULT STDMETHODCALLTYPE ShouldOperationContinue() = 0;

protected:
    ~IGraphBuilder() = default;
};

struct IReferenceClock : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                                 HEVENT hEvent, DWORD_PTR* pdwAdviseCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                                     HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR dwAdviseCookie) = 0;

protected:
    ~IReferenceClock() = default;
};

struct IMediaFilter : public IPersist {
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : public IMediaFilter {
    virtual HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IMediaSample : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) = 0;
    virtual long STDMETHODCALLTYPE GetSize() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsSyncPoint() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL bIsSyncPoint) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPreroll() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPreroll(BOOL bIsPreroll) = 0;
    virtual long STDMETHODCALLTYPE GetActualDataLength() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetActualDataLength(long length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** ppMediaType) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* pMediaType) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsDiscontinuity() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL bDiscontinuity) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;

protected:
    ~IMediaSample() = default;
};

struct IMemAllocator : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                                    ALLOCATOR_PROPERTIES* pActual) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* pProps) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit() = 0;
    virtual HRESULT STDMETHODCALLTYPE Decommit() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                                                REFERENCE_TIME* pEndTime, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* pBuffer) = 0;

protected:
    ~IMemAllocator() = default;
};

struct IMemInputPin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** ppAllocator) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) = 0;
    virtual HRESULT STDMETHODCALLTYPE Receive(IMediaSample* pSample) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                                                      long* nSamplesProcessed) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveCanBlock() = 0;

protected:
    ~IMemInputPin() = default;
};

struct IQualityControl : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* pSelf, Quality q) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* piqc) = 0;

protected:
    ~IQualityControl() = default;
};

struct IMediaEventSink : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Notify(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) = 0;

protected:
    ~IMediaEventSink() = default;
};

// Filter registration.
#define MERIT_PREFERRED 0x800000
#define MERIT_NORMAL 0x600000
#define MERIT_UNLIKELY 0x400000
#define MERIT_DO_NOT_USE 0x200000
#define MERIT_SW_COMPRESSOR 0x100000
#define MERIT_HW_COMPRESSOR 0x100050

typedef struct {
    const CLSID* clsMajorType;
    const CLSID* clsMinorType;
} REGPINTYPES;

typedef struct {
    LPWSTR strName;
    BOOL bRendered;
    BOOL bOutput;
    BOOL bZero;
    BOOL bMany;
    const CLSID* clsConnectsToFilter;
    const WCHAR* strConnectsToPin;
    UINT nMediaTypes;
    const REGPINTYPES* lpMediaType;
} REGFILTERPINS;

typedef struct {
    CLSID clsMedium;
    DWORD dw1;
    DWORD dw2;
} REGPINMEDIUM;

enum {
    REG_PINFLAG_B_ZERO = 0x1,
    REG_PINFLAG_B_RENDERER = 0x2,
    REG_PINFLAG_B_MANY = 0x4,
    REG_PINFLAG_B_OUTPUT = 0x8
};

typedef struct {
    DWORD dwFlags;
    UINT cInstances;
    UINT nMediaTypes;
    const REGPINTYPES* lpMediaType;
    UINT nMediums;
    const REGPINMEDIUM* lpMedium;
    const CLSID* clsPinCategory;
} REGFILTERPINS2;

// dwVersion 1 uses cPins/rgPins, version 2 cPins2/rgPins2.
typedef struct {
    DWORD dwVersion;
    DWORD dwMerit;
    union {
        struct {
            ULONG cPins;
            const REGFILTERPINS* rgPins;
        };
        struct {
            ULONG cPins2;
            const REGFILTERPINS2* rgPins2;
        };
    };
} REGFILTER2;

struct IFilterMapper2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit,
                                                     LPCWSTR Description) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                                       REFCLSID Filter) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker,
                                                     const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                                     const REGFILTER2* prf2) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumMatchingFilters(
        IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch, DWORD dwMerit, BOOL bInputNeeded,
        DWORD cInputTypes, const GUID* pInputTypes, const REGPINMEDIUM* pMedIn, const CLSID* pPinCategoryIn,
        BOOL bRender, BOOL bOutputNeeded, DWORD cOutputTypes, const GUID* pOutputTypes,
        const REGPINMEDIUM* pMedOut, const CLSID* pPinCategoryOut) = 0;

protected:
    ~IFilterMapper2() = default;
};

#define CDEF_CLASS_DEFAULT 0x0001
#define CDEF_BYPASS_CLASS_MANAGER 0x0002
#define CDEF_MERIT_ABOVE_DO_NOT_USE 0x0008
#define CDEF_DEVMON_CMGR_DEVICE 0x0010
#define CDEF_DEVMON_DMO 0x0020
#define CDEF_DEVMON_PNP_DEVICE 0x0040
#define CDEF_DEVMON_FILTER 0x0080

struct ICreateDevEnum : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID clsidDeviceClass,
                                                            IEnumMoniker** ppEnumMoniker, DWORD dwFlags) = 0;

protected:
    ~ICreateDevEnum() = default;
};

// Capture formats (128 bytes, as on Windows).
typedef struct _VIDEO_STREAM_CONFIG_CAPS {
    GUID guid;
    ULONG VideoStandard;
    SIZE InputSize;
    SIZE MinCroppingSize;
    SIZE MaxCroppingSize;
    int CropGranularityX;
    int CropGranularityY;
    int CropAlignX;
    int CropAlignY;
    SIZE MinOutputSize;
    SIZE MaxOutputSize;
    int OutputGranularityX;
    int OutputGranularityY;
    int StretchTapsX;
    int StretchTapsY;
    int ShrinkTapsX;
    int ShrinkTapsY;
    LONGLONG MinFrameInterval;
    LONGLONG MaxFrameInterval;
    LONG MinBitsPerSecond;
    LONG MaxBitsPerSecond;
} VIDEO_STREAM_CONFIG_CAPS;
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128);

struct IAMStreamConfig : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** ppmt) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* piCount, int* piSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) = 0;

protected:
    ~IAMStreamConfig() = default;
};

// Property sets of pins and capture devices.
#define KSPROPERTY_SUPPORT_GET 1
#define KSPROPERTY_SUPPORT_SET 2

// The properties of AMPROPSETID_Pin.
typedef enum { AMPROPERTY_PIN_CATEGORY = 0, AMPROPERTY_PIN_MEDIUM = 1 } AMPROPERTY_PIN;

struct IKsPropertySet : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                          DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                          DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                                          DWORD* pcbReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID guidPropSet, DWORD dwPropID,
                                                     DWORD* pTypeSupport) = 0;

protected:
    ~IKsPropertySet() = default;
};

// Capture graph building. File writing is not part of this platform: the two interfaces below are
// named only for SetOutputFileName and CopyCaptureFile.
struct IFileSinkFilter;
struct IAMCopyCaptureFileProgress;

struct ICaptureGraphBuilder2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFiltergraph(IGraphBuilder* pfg) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFiltergraph(IGraphBuilder** ppfg) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputFileName(const GUID* pType, LPCOLESTR lpstrFile,
                                                        IBaseFilter** ppf, IFileSinkFilter** ppSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf,
                                                    REFIID riid, void** ppint) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderStream(const GUID* pCategory, const GUID* pType,
                                                   IUnknown* pSource, IBaseFilter* pfCompressor,
                                                   IBaseFilter* pfRenderer) = 0;
    virtual HRESULT STDMETHODCALLTYPE ControlStream(const GUID* pCategory, const GUID* pType,
                                                    IBaseFilter* pFilter, REFERENCE_TIME* pstart,
                                                    REFERENCE_TIME* pstop, WORD wStartCookie,
                                                    WORD wStopCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE AllocCapFile(LPCOLESTR lpstr, DWORDLONG dwlSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyCaptureFile(LPOLESTR lpwstrOld, LPOLESTR lpwstrNew,
                                                      int fAllowEscAbort,
                                                      IAMCopyCaptureFileProgress* pCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPin(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory,
                                              const GUID* pType, BOOL fUnconnected, int num,
                                              IPin** ppPin) = 0;

protected:
    ~ICaptureGraphBuilder2() = default;
};
