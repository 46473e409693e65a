#include "tests/wine/wine_support.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <fstream>

namespace wine {

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[4096];
    DWORD n = GetEnvironmentVariableW(name, value, 4096);
    return n > 0 && n < 4096 ? std::wstring(value, n) : std::wstring();
}

class Key {
public:
    Key(HKEY root, const std::wstring& path) {
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return wchar_t(std::towlower(c)); });
    return text;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ClsidKey(REFCLSID clsid) {
    return L"CLSID\\" + GuidText(clsid);
}

std::wstring InstanceKey(REFCLSID category, REFCLSID clsid) {
    return ClsidKey(category) + L"\\Instance\\" + GuidText(clsid);
}

std::optional<FilterRecord> ReadFilterRecord(REFCLSID category, REFCLSID clsid) {
    const std::vector<BYTE> data = RegBinary(HKEY_CLASSES_ROOT, InstanceKey(category, clsid), L"FilterData");
    if (data.size() < 12) return std::nullopt;
    FilterRecord record;
    std::memcpy(&record.version, data.data(), 4);
    std::memcpy(&record.merit, data.data() + 4, 4);
    std::memcpy(&record.pins, data.data() + 8, 4);
    return record;
}

std::wstring FilterDll() {
    return Environment(L"UNFOLD_FILTER_DLL");
}

std::wstring CameraDll() {
    return Environment(L"UNFOLD_CAMERA_DLL");
}

std::wstring DataFile(const std::wstring& name) {
    return Environment(L"UNFOLD_WINE_DATA") + L"\\" + name;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::wstring(full, n) : path;
}

DWORD Regsvr32(const std::wstring& dll, bool unregister) {
    std::wstring command = L"regsvr32.exe /s ";
    if (unregister) command += L"/u ";
    command += L"\"" + dll + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFFu;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::optional<std::wstring> RegText(HKEY root, const std::wstring& path, const wchar_t* value) {
    Key key(root, path);
    if (!key.get()) return std::nullopt;
    wchar_t text[1024];
    DWORD type = 0, bytes = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::wstring result(text, bytes / sizeof(wchar_t));
    while (!result.empty() && result.back() == L'\0') result.pop_back();
    return result;
}

std::vector<BYTE> RegBinary(HKEY root, const std::wstring& path, const wchar_t* value) {
    Key key(root, path);
    DWORD type = 0, bytes = 0;
    if (!key.get() || RegQueryValueExW(key.get(), value, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(bytes);
    if (RegQueryValueExW(key.get(), value, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return {};
    data.resize(bytes);
    return data;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    return Key(root, path).get() != nullptr;
}

namespace {

std::wstring FriendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.outVoid()))) return {};
    VARIANT name;
    VariantInit(&name);
    std::wstring result;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) result = name.bstrVal;
    VariantClear(&name);
    return result;
}

} // namespace

std::vector<std::wstring> FriendlyNames(IEnumMoniker* monikers) {
    std::vector<std::wstring> names;
    if (!monikers) return names;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.out(), nullptr) == S_OK) names.push_back(FriendlyName(moniker.get()));
    return names;
}

ComPtr<IBaseFilter> FilterByName(REFCLSID category, const std::wstring& name) {
    ComPtr<IBaseFilter> filter;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.outVoid())))
        return filter;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.out(), 0) != S_OK) return filter;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.out(), nullptr) == S_OK) {
        if (FriendlyName(moniker.get()) != name) continue;
        moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.outVoid());
        break;
    }
    return filter;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction) {
    ComPtr<IPin> pin;
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.out()))) return pin;
    while (pins->Next(1, pin.out(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) return pin;
    }
    pin.out();
    return pin;
}

Bitmap ReadBitmap(const std::wstring& path) {
    Bitmap bitmap;
    std::ifstream in(path.c_str(), std::ios::binary);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    if (!in.read(reinterpret_cast<char*>(&file), sizeof file) || file.bfType != 0x4D42 ||
        !in.read(reinterpret_cast<char*>(&info), sizeof info) || info.biCompression != BI_RGB)
        return bitmap;
    in.seekg(file.bfOffBits);
    std::vector<BYTE> bits(info.biSizeImage);
    if (!in.read(reinterpret_cast<char*>(bits.data()), std::streamsize(bits.size()))) return bitmap;
    bitmap.width = info.biWidth;
    bitmap.height = info.biHeight;
    bitmap.bitCount = info.biBitCount;
    bitmap.bits = std::move(bits);
    return bitmap;
}

STDMETHODIMP FrameCollector::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FrameCollector::SampleCB(double, IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return S_OK;
    std::lock_guard lock(mutex_);
    frames_.emplace_back(data, data + sample->GetActualDataLength());
    return S_OK;
}

std::vector<std::vector<BYTE>> FrameCollector::frames() {
    std::lock_guard lock(mutex_);
    return frames_;
}

size_t FrameCollector::count() {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

HRESULT AddGrabberSink(IGraphBuilder* graph, REFGUID subtype, FrameCollector& collector, GrabberSink& sink) {
    HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  sink.grabber.outVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              sink.renderer.outVoid());
    ComPtr<ISampleGrabber> grabber;
    if (SUCCEEDED(hr)) hr = sink.grabber->QueryInterface(IID_ISampleGrabber, grabber.outVoid());
    AM_MEDIA_TYPE want{};
    want.majortype = MEDIATYPE_Video;
    want.subtype = subtype;
    if (SUCCEEDED(hr)) hr = grabber->SetMediaType(&want);
    if (SUCCEEDED(hr)) hr = grabber->SetCallback(&collector, 0);
    if (SUCCEEDED(hr)) hr = graph->AddFilter(sink.grabber.get(), L"Sample Grabber");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(sink.renderer.get(), L"Null Renderer");
    return hr;
}

} // namespace wine
