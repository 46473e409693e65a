// CUnknown: the one implementation of IUnknown that every COM object of the platform and of the system
// builds on.
//
// How to derive: inherit CUnknown and your interfaces, put DECLARE_IUNKNOWN in the class (it routes the
// three IUnknown methods of every interface to the controlling unknown), and answer your interfaces in
// NonDelegatingQueryInterface with GetInterface, passing any other identifier to the base class:
//
//     STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
//         if (riid == IID_IMyThing) return GetInterface(static_cast<IMyThing*>(this), ppv);
//         return CUnknown::NonDelegatingQueryInterface(riid, ppv);
//     }
//
// Aggregation: an object created with an outer unknown hands out the outer's AddRef, Release and
// QueryInterface from every interface; only its non-delegating unknown (the answer to IID_IUnknown,
// which the outer keeps) reaches this object's own count.
//
// Every live CUnknown is counted (ObjectsActive), per module: this code is linked into each module with
// hidden symbols, so DllCanUnloadNow sees only its own module's objects.
#pragma once

#include <atomic>

#include <unknwn.h>

struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};
typedef INonDelegatingUnknown* PNDUNKNOWN;

class CUnknown : public INonDelegatingUnknown {
public:
    // pUnk: the outer unknown when aggregated, else null.
    CUnknown(LPCWSTR pName, LPUNKNOWN pUnk);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    // The controlling unknown: the outer one when aggregated, else this object's own.
    LPUNKNOWN GetOwner() const { return m_pUnknown; }
    LPCWSTR Name() const { return m_pName; }

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // Objects of this module alive now.
    static LONG ObjectsActive();

protected:
    // For a sub-object (a pin) whose lifetime is its parent's: its references count on pLifetime.
    CUnknown(LPCWSTR pName, LPUNKNOWN pUnk, LPUNKNOWN pLifetime);

    // Runs when the last reference goes: deletes the object. A pooled object (a media sample) hands
    // itself back to its pool instead.
    virtual void LastRelease();

    std::atomic<LONG> m_cRef{0};

private:
    // The non-delegating unknown as an IUnknown, handed to the outer object and for IID_IUnknown.
    struct Inner final : IUnknown {
        CUnknown* self;
        explicit Inner(CUnknown* s) : self(s) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            return self->NonDelegatingQueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return self->NonDelegatingAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return self->NonDelegatingRelease(); }
    };

    Inner m_inner{this};
    LPCWSTR const m_pName;
    LPUNKNOWN const m_pUnknown;
    LPUNKNOWN const m_pLifetime;
};

// Hands out pUnk as the answer to a QueryInterface, with a reference.
HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv);

#define DECLARE_IUNKNOWN                                                                                     \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {                                          \
        return GetOwner()->QueryInterface(riid, ppv);                                                        \
    }                                                                                                        \
    STDMETHODIMP_(ULONG) AddRef() override {                                                                 \
        return GetOwner()->AddRef();                                                                         \
    }                                                                                                        \
    STDMETHODIMP_(ULONG) Release() override {                                                                \
        return GetOwner()->Release();                                                                        \
    }
