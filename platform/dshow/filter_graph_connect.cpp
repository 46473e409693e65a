// Intelligent connect and render of the filter graph (see filter_graph.h for the rules).
#include <vector>

#include <ocidl.h>
#include <oleauto.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/dshow/filter_graph.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/pin_walk.h"
#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

constexpr int kMaxIntermediates = 3;

// (major, minor) pairs the pin proposes; empty when it proposes none.
std::vector<GUID> proposedTypes(IPin* pin) {
    std::vector<GUID> types;
    ComPtr<IEnumMediaTypes> e;
    if (FAILED(pin->EnumMediaTypes(e.put()))) return types;
    AM_MEDIA_TYPE* mt;
    while (e->Next(1, &mt, nullptr) == S_OK) {
        types.push_back(mt->majortype);
        types.push_back(mt->subtype);
        DeleteMediaType(mt);
    }
    return types;
}

// Registered filters whose input takes one of the output pin's types, highest merit first.
std::vector<ComPtr<IMoniker>> candidates(IPin* out, bool mustRender) {
    std::vector<ComPtr<IMoniker>> list;
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.putVoid())))
        return list;
    std::vector<GUID> types = proposedTypes(out);
    ComPtr<IEnumMoniker> e;
    if (FAILED(mapper->EnumMatchingFilters(e.put(), 0, FALSE, MERIT_DO_NOT_USE + 1, TRUE,
                                           static_cast<DWORD>(types.size() / 2), types.data(), nullptr,
                                           nullptr, mustRender, FALSE, 0, nullptr, nullptr, nullptr)) ||
        !e)
        return list;
    IMoniker* m;
    while (e->Next(1, &m, nullptr) == S_OK) list.push_back(ComPtr<IMoniker>::adopt(m));
    return list;
}

std::wstring friendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()))) return L"Filter";
    VARIANT v;
    VariantInit(&v);
    std::wstring name = L"Filter";
    if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR) name = v.bstrVal;
    VariantClear(&v);
    return name;
}

} // namespace

HRESULT CFilterGraph::tryIntermediate(IBaseFilter* filter, IPin* out, IPin* in, int depth) {
    for (auto& input : freePinsOf(filter, PINDIR_INPUT)) {
        if (FAILED(ConnectDirect(out, input.get(), nullptr))) continue;
        for (auto& output : freePinsOf(filter, PINDIR_OUTPUT))
            if (SUCCEEDED(connectThrough(output.get(), in, depth + 1))) return S_OK;
        out->Disconnect();
        input->Disconnect();
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT CFilterGraph::connectThrough(IPin* out, IPin* in, int depth) {
    HRESULT direct = ConnectDirect(out, in, nullptr);
    if (SUCCEEDED(direct)) return direct;
    if (depth >= kMaxIntermediates) return direct;
    ComPtr<IBaseFilter> upstream = ownerOf(out), downstream = ownerOf(in);

    std::vector<ComPtr<IBaseFilter>> present;
    for (auto& e : filters_)
        if (e.filter != upstream && e.filter != downstream) present.push_back(e.filter);
    for (auto& f : present)
        if (SUCCEEDED(tryIntermediate(f.get(), out, in, depth))) return S_OK;

    for (auto& moniker : candidates(out, false)) {
        ComPtr<IBaseFilter> f;
        if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, f.putVoid()))) continue;
        if (FAILED(AddFilter(f.get(), friendlyName(moniker.get()).c_str()))) continue;
        if (SUCCEEDED(tryIntermediate(f.get(), out, in, depth))) return S_OK;
        RemoveFilter(f.get());
    }
    return direct == VFW_E_NOT_IN_GRAPH || direct == VFW_E_NOT_STOPPED ? direct : VFW_E_CANNOT_CONNECT;
}

STDMETHODIMP CFilterGraph::Connect(IPin* ppinOut, IPin* ppinIn) {
    if (!ppinOut || !ppinIn) return E_POINTER;
    std::lock_guard lock(graphLock_);
    if (!pinInGraph(ppinOut) || !pinInGraph(ppinIn)) return VFW_E_NOT_IN_GRAPH;
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION outDir, inDir;
    ppinOut->QueryDirection(&outDir);
    ppinIn->QueryDirection(&inDir);
    if (outDir != PINDIR_OUTPUT || inDir != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    ComPtr<IPin> peer;
    if (SUCCEEDED(ppinOut->ConnectedTo(peer.put())) || SUCCEEDED(ppinIn->ConnectedTo(peer.put())))
        return VFW_E_ALREADY_CONNECTED;
    return connectThrough(ppinOut, ppinIn, 0);
}

HRESULT CFilterGraph::renderFrom(IPin* out, int depth) {
    if (depth > kMaxIntermediates) return VFW_E_CANNOT_RENDER;
    for (auto& moniker : candidates(out, false)) {
        ComPtr<IBaseFilter> f;
        if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, f.putVoid()))) continue;
        if (FAILED(AddFilter(f.get(), friendlyName(moniker.get()).c_str()))) continue;
        bool connected = false;
        for (auto& input : freePinsOf(f.get(), PINDIR_INPUT)) {
            if (SUCCEEDED(ConnectDirect(out, input.get(), nullptr))) {
                connected = true;
                break;
            }
        }
        if (connected) {
            auto outputs = freePinsOf(f.get(), PINDIR_OUTPUT);
            bool rendered = true;
            for (auto& o : outputs) rendered &= SUCCEEDED(renderFrom(o.get(), depth + 1));
            if (rendered) return S_OK;
        }
        RemoveFilter(f.get());
    }
    return VFW_E_CANNOT_RENDER;
}

STDMETHODIMP CFilterGraph::Render(IPin* ppinOut) {
    if (!ppinOut) return E_POINTER;
    std::lock_guard lock(graphLock_);
    if (!pinInGraph(ppinOut)) return VFW_E_NOT_IN_GRAPH;
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IPin> peer;
    if (SUCCEEDED(ppinOut->ConnectedTo(peer.put()))) return VFW_E_ALREADY_CONNECTED;
    return renderFrom(ppinOut, 0);
}

} // namespace platform::dshow
