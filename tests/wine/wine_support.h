// Helpers of the tests that run under Wine: COM pointers, the registry, regsvr32, the device
// enumerator, pins, and the bitmaps the Linux build wrote.
#pragma once

#include <windows.h>

#include <dshow.h>
#include <qedit.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wine {

// An owning COM pointer, enough for the tests.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The address to receive a new reference; the old one is released first.
    T** out() {
        if (p_) p_->Release();
        p_ = nullptr;
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }

private:
    T* p_ = nullptr;
};

std::wstring Widen(const std::string& text);
std::wstring Lower(std::wstring text);
std::wstring GuidText(REFGUID guid);

// UNFOLD_FILTER_DLL, UNFOLD_CAMERA_DLL, and files in UNFOLD_WINE_DATA.
std::wstring FilterDll();
std::wstring CameraDll();
std::wstring DataFile(const std::wstring& name);
std::wstring FullPath(const std::wstring& path);

// Runs Wine's regsvr32 (silent) on a DLL and gives its exit code.
DWORD Regsvr32(const std::wstring& dll, bool unregister);

// HKEY_CLASSES_ROOT paths of a class and of a filter's entry in a category.
std::wstring ClsidKey(REFCLSID clsid);
std::wstring InstanceKey(REFCLSID category, REFCLSID clsid);

// The head of a filter's FilterData record: the registry form's version, the merit, the pin count.
struct FilterRecord {
    DWORD version = 0, merit = 0, pins = 0;
};
// The head of the FilterData of a filter's entry in a category; nothing when it is absent or short.
std::optional<FilterRecord> ReadFilterRecord(REFCLSID category, REFCLSID clsid);

std::optional<std::wstring> RegText(HKEY root, const std::wstring& key, const wchar_t* value);
std::vector<BYTE> RegBinary(HKEY root, const std::wstring& key, const wchar_t* value);
bool KeyExists(HKEY root, const std::wstring& key);

// The friendly names of the monikers an enumerator gives.
std::vector<std::wstring> FriendlyNames(IEnumMoniker* monikers);
// The filter of a category whose friendly name is `name`, bound through the system device enumerator.
ComPtr<IBaseFilter> FilterByName(REFCLSID category, const std::wstring& name);
// A filter's first pin of a direction.
ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction);

// A .bmp file: its header fields and pixel bits (empty when the file cannot be read).
struct Bitmap {
    LONG width = 0, height = 0;
    int bitCount = 0;
    std::vector<BYTE> bits;
};
Bitmap ReadBitmap(const std::wstring& path);

// A sample grabber callback that keeps a copy of every frame the grabber passes on.
class FrameCollector : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // The collector lives on the test's stack, longer than the graph that calls it.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

    std::vector<std::vector<BYTE>> frames();
    size_t count();

private:
    std::mutex mutex_;
    std::vector<std::vector<BYTE>> frames_;
};

// Wine's Sample Grabber, taking video of `subtype` and handing each frame to `collector`, and Wine's
// Null Renderer after it, both added to `graph` (not connected). The first failing call's result.
struct GrabberSink {
    ComPtr<IBaseFilter> grabber, renderer;
};
HRESULT AddGrabberSink(IGraphBuilder* graph, REFGUID subtype, FrameCollector& collector, GrabberSink& sink);

} // namespace wine
