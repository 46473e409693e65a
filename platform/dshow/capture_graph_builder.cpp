// Capture Graph Builder 2: finds pins by category and the interfaces of a capture graph, and renders a
// capture stream through an optional compressor to a sink.
//
// Choices where DirectShow's documentation leaves room:
// - FindInterface asks the filter, then its pins (only output pins of the category and major type when
//   a pin category is given), then the filters and pins downstream of those pins; with NULL or
//   LOOK_UPSTREAM_ONLY it also searches upstream of the input pins. The first object that answers
//   wins; each filter is visited once.
// - RenderStream for PIN_CATEGORY_PREVIEW on a filter without a preview pin uses the capture pin (there
//   is no Smart Tee here) and answers VFW_S_NOPREVIEWPIN. Without a sink it renders through the graph.
// - File writing (SetOutputFileName, AllocCapFile, CopyCaptureFile) and stream control are not part of
//   this platform: E_NOTIMPL.
#include <mutex>
#include <set>
#include <vector>

#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/com/com_api.h"
#include "platform/dshow/filter_category.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/pin_walk.h"
#include "platform/dshow/system_classes.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

// The pin's category (AMPROPSETID_Pin), or GUID_NULL when it has none.
GUID categoryOf(IPin* pin) {
    ComPtr<IKsPropertySet> properties;
    GUID category = GUID_NULL;
    DWORD returned = 0;
    if (SUCCEEDED(pin->QueryInterface(IID_IKsPropertySet, properties.putVoid())) &&
        (properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                         &returned) != S_OK ||
         returned != sizeof category))
        category = GUID_NULL;
    return category;
}

// True when the pin's connection, or one of the types it proposes, has this major type.
bool carriesMajorType(IPin* pin, const GUID& major) {
    AM_MEDIA_TYPE connected{};
    if (pin->ConnectionMediaType(&connected) == S_OK) {
        bool match = connected.majortype == major;
        FreeMediaType(connected);
        return match;
    }
    ComPtr<IEnumMediaTypes> e;
    if (FAILED(pin->EnumMediaTypes(e.put()))) return false;
    AM_MEDIA_TYPE* mt;
    bool match = false;
    while (!match && e->Next(1, &mt, nullptr) == S_OK) {
        match = mt->majortype == major;
        DeleteMediaType(mt);
    }
    return match;
}

bool pinMatches(IPin* pin, PIN_DIRECTION dir, const GUID* pCategory, const GUID* pType, BOOL fUnconnected) {
    if (directionOf(pin) != dir) return false;
    if (fUnconnected && isConnected(pin)) return false;
    if (pCategory && categoryOf(pin) != *pCategory) return false;
    if (pType && !carriesMajorType(pin, *pType)) return false;
    return true;
}

bool isSearchDirection(const GUID* pCategory) {
    return pCategory && (*pCategory == LOOK_UPSTREAM_ONLY || *pCategory == LOOK_DOWNSTREAM_ONLY);
}

class InterfaceSearch {
public:
    InterfaceSearch(REFIID riid, void** ppint) : riid_(riid), ppint_(ppint) {}

    bool ask(IUnknown* object) { return SUCCEEDED(object->QueryInterface(riid_, ppint_)); }

    // The filter and each of its pins.
    bool filterAndPins(IBaseFilter* filter) {
        if (!visited_.insert(filter).second) return false;
        if (ask(filter)) return true;
        for (auto& pin : pinsOf(filter))
            if (ask(pin.get())) return true;
        return false;
    }

    // Everything reached through the pin's connection, away from the filter that owns the pin.
    bool beyond(IPin* pin) {
        ComPtr<IPin> peer;
        if (FAILED(pin->ConnectedTo(peer.put()))) return false;
        ComPtr<IBaseFilter> next = ownerOf(peer.get());
        if (!next || visited_.count(next.get())) return false;
        if (filterAndPins(next.get())) return true;
        PIN_DIRECTION away = directionOf(pin);
        for (auto& p : pinsOf(next.get()))
            if (directionOf(p.get()) == away && beyond(p.get())) return true;
        return false;
    }

private:
    REFIID riid_;
    void** ppint_;
    std::set<IBaseFilter*> visited_;
};

class CCaptureGraphBuilder final : public CUnknown, public ICaptureGraphBuilder2 {
public:
    explicit CCaptureGraphBuilder(LPUNKNOWN pUnk) : CUnknown(L"Capture Graph Builder 2", pUnk) {}
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ICaptureGraphBuilder2)
            return GetInterface(static_cast<ICaptureGraphBuilder2*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP SetFiltergraph(IGraphBuilder* pfg) override {
        if (!pfg) return E_POINTER;
        std::lock_guard lock(lock_);
        if (graph_) return E_UNEXPECTED;
        graph_ = ComPtr<IGraphBuilder>(pfg);
        return S_OK;
    }

    STDMETHODIMP GetFiltergraph(IGraphBuilder** ppfg) override {
        if (!ppfg) return E_POINTER;
        *ppfg = nullptr;
        ComPtr<IGraphBuilder> graph;
        if (HRESULT hr = ensureGraph(graph); FAILED(hr)) return hr;
        graph.copyTo(ppfg);
        return S_OK;
    }

    STDMETHODIMP SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter** ppf,
                                   IFileSinkFilter** ppSink) override {
        if (ppf) *ppf = nullptr;
        if (ppSink) *ppSink = nullptr;
        return E_NOTIMPL;
    }

    STDMETHODIMP FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid,
                               void** ppint) override {
        if (!pf || !ppint) return E_POINTER;
        *ppint = nullptr;
        TRACE("dshow", "%s", pCategory ? ToUtf8(GuidString(*pCategory)).c_str() : "(any)");
        InterfaceSearch search(riid, ppint);
        if (pCategory && !isSearchDirection(pCategory)) {
            if (search.ask(pf)) return S_OK;
            for (auto& pin : pinsOf(pf)) {
                if (!pinMatches(pin.get(), PINDIR_OUTPUT, pCategory, pType, FALSE)) continue;
                if (search.ask(pin.get()) || search.beyond(pin.get())) return S_OK;
            }
            return E_NOINTERFACE;
        }
        if (search.filterAndPins(pf)) return S_OK;
        bool down = !pCategory || *pCategory == LOOK_DOWNSTREAM_ONLY;
        bool up = !pCategory || *pCategory == LOOK_UPSTREAM_ONLY;
        for (auto& pin : pinsOf(pf)) {
            PIN_DIRECTION dir = directionOf(pin.get());
            if (dir == PINDIR_OUTPUT && down && (!pType || carriesMajorType(pin.get(), *pType)) &&
                search.beyond(pin.get()))
                return S_OK;
            if (dir == PINDIR_INPUT && up && search.beyond(pin.get())) return S_OK;
        }
        return E_NOINTERFACE;
    }

    STDMETHODIMP RenderStream(const GUID* pCategory, const GUID* pType, IUnknown* pSource,
                              IBaseFilter* pfCompressor, IBaseFilter* pfRenderer) override {
        if (!pSource) return E_POINTER;
        ComPtr<IGraphBuilder> graph;
        if (HRESULT hr = ensureGraph(graph); FAILED(hr)) return hr;

        HRESULT result = S_OK;
        ComPtr<IPin> out;
        if (FAILED(FindPin(pSource, PINDIR_OUTPUT, pCategory, pType, TRUE, 0, out.put()))) {
            if (!pCategory || *pCategory != PIN_CATEGORY_PREVIEW ||
                FAILED(FindPin(pSource, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, pType, TRUE, 0, out.put())))
                return E_FAIL;
            result = VFW_S_NOPREVIEWPIN;
        }
        if (pfCompressor) {
            ComPtr<IPin> in;
            if (FAILED(FindPin(pfCompressor, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, in.put())))
                return E_INVALIDARG;
            if (HRESULT hr = graph->Connect(out.get(), in.get()); FAILED(hr)) return hr;
            if (FAILED(FindPin(pfCompressor, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, out.put())))
                return E_INVALIDARG;
        }
        if (!pfRenderer) {
            HRESULT hr = graph->Render(out.get());
            return FAILED(hr) ? hr : result;
        }
        ComPtr<IPin> in;
        if (FAILED(FindPin(pfRenderer, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, in.put())))
            return E_INVALIDARG;
        HRESULT hr = graph->Connect(out.get(), in.get());
        return FAILED(hr) ? hr : result;
    }

    STDMETHODIMP ControlStream(const GUID*, const GUID*, IBaseFilter*, REFERENCE_TIME*, REFERENCE_TIME*, WORD,
                               WORD) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP AllocCapFile(LPCOLESTR, DWORDLONG) override { return E_NOTIMPL; }
    STDMETHODIMP CopyCaptureFile(LPOLESTR, LPOLESTR, int, IAMCopyCaptureFileProgress*) override {
        return E_NOTIMPL;
    }

    STDMETHODIMP FindPin(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory, const GUID* pType,
                         BOOL fUnconnected, int num, IPin** ppPin) override {
        if (!pSource || !ppPin) return E_POINTER;
        *ppPin = nullptr;
        ComPtr<IPin> pin;
        if (SUCCEEDED(pSource->QueryInterface(IID_IPin, pin.putVoid()))) {
            if (!pinMatches(pin.get(), pindir, pCategory, pType, fUnconnected)) return E_FAIL;
            *ppPin = pin.detach();
            return S_OK;
        }
        ComPtr<IBaseFilter> filter;
        if (FAILED(pSource->QueryInterface(IID_IBaseFilter, filter.putVoid()))) return E_FAIL;
        for (auto& candidate : pinsOf(filter.get())) {
            if (!pinMatches(candidate.get(), pindir, pCategory, pType, fUnconnected)) continue;
            if (num-- == 0) {
                *ppPin = candidate.detach();
                return S_OK;
            }
        }
        return E_FAIL;
    }

private:
    HRESULT ensureGraph(ComPtr<IGraphBuilder>& graph) {
        std::lock_guard lock(lock_);
        if (!graph_) {
            HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                          graph_.putVoid());
            if (FAILED(hr)) return hr;
        }
        graph = graph_;
        return S_OK;
    }

    std::mutex lock_;
    ComPtr<IGraphBuilder> graph_;
};

} // namespace

CUnknown* WINAPI CreateCaptureGraphBuilder2(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CCaptureGraphBuilder>(phr, pUnk);
}

} // namespace platform::dshow
