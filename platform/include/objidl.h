// Persistence and monikers.
#pragma once

#include "minwinbase.h"
#include "unknwn.h"

struct IStream;
struct IBindCtx;
struct IEnumMoniker;

DEFINE_GUID(IID_IPersist, 0x0000010c, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IPersistStream, 0x00000109, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMoniker, 0x0000000f, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IEnumMoniker, 0x00000102, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IBindCtx, 0x0000000e, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IStream, 0x0000000c, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IPersist : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;

protected:
    ~IPersist() = default;
};

struct IPersistStream : public IPersist {
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IStream* pStm) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(IStream* pStm, BOOL fClearDirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pcbSize) = 0;

protected:
    ~IPersistStream() = default;
};

struct IMoniker : public IPersistStream {
    virtual HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riidResult,
                                                   void** ppvResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid,
                                                    void** ppvObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reduce(IBindCtx* pbc, DWORD dwReduceHowFar, IMoniker** ppmkToLeft,
                                             IMoniker** ppmkReduced) = 0;
    virtual HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker* pmkRight, BOOL fOnlyIfNotGeneric,
                                                  IMoniker** ppmkComposite) = 0;
    virtual HRESULT STDMETHODCALLTYPE Enum(BOOL fForward, IEnumMoniker** ppenumMoniker) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* pmkOtherMoniker) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hash(DWORD* pdwHash) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                IMoniker* pmkNewlyRunning) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                          FILETIME* pFileTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE Inverse(IMoniker** ppmk) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker* pmkOther, IMoniker** ppmkPrefix) = 0;
    virtual HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker* pmkOther, IMoniker** ppmkRelPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                     LPOLESTR* ppszDisplayName) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft,
                                                       LPOLESTR pszDisplayName, ULONG* pchEaten,
                                                       IMoniker** ppmkOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD* pdwMksys) = 0;

protected:
    ~IMoniker() = default;
};

struct IEnumMoniker : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker** ppenum) = 0;

protected:
    ~IEnumMoniker() = default;
};

#define MKSYS_NONE 0
