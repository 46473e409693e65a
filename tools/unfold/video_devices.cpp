#include "tools/unfold/video_devices.h"

#include <cstdio>

#include <oleauto.h>
#include <streams.h>
#include <uuids.h>

#include "platform/win32/debug.h"

namespace tools::unfold {

using platform::ComPtr;

namespace {

HRESULT EnumerateDevices(ComPtr<IEnumMoniker>& monikers) {
    ComPtr<ICreateDevEnum> devices;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devices.putVoid());
    if (FAILED(hr)) return hr;
    return devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
}

HRESULT FriendlyName(IMoniker* moniker, std::wstring& name) {
    ComPtr<IPropertyBag> bag;
    HRESULT hr = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid());
    if (FAILED(hr)) return hr;
    VARIANT value;
    VariantInit(&value);
    hr = bag->Read(L"FriendlyName", &value, nullptr);
    if (SUCCEEDED(hr)) name = value.vt == VT_BSTR && value.bstrVal ? value.bstrVal : L"";
    VariantClear(&value);
    return hr;
}

std::string SubtypeName(const GUID& subtype) {
    static const struct {
        const GUID* guid;
        const char* name;
    } kNames[] = {{&MEDIASUBTYPE_MJPG, "MJPG"},   {&MEDIASUBTYPE_RGB24, "RGB24"},
                  {&MEDIASUBTYPE_RGB32, "RGB32"}, {&MEDIASUBTYPE_YUY2, "YUY2"},
                  {&MEDIASUBTYPE_UYVY, "UYVY"},   {&MEDIASUBTYPE_NV12, "NV12"},
                  {&MEDIASUBTYPE_I420, "I420"},   {&MEDIASUBTYPE_RGB565, "RGB565"}};
    for (const auto& n : kNames)
        if (*n.guid == subtype) return n.name;
    WCHAR text[40];
    StringFromGUID2(subtype, text, 40);
    return platform::ToUtf8(text);
}

} // namespace

HRESULT ListVideoDevices(std::vector<std::wstring>& names) {
    names.clear();
    ComPtr<IEnumMoniker> monikers;
    HRESULT hr = EnumerateDevices(monikers);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK; // S_FALSE: the category is empty
    IMoniker* m = nullptr;
    while (monikers->Next(1, &m, nullptr) == S_OK) {
        auto moniker = ComPtr<IMoniker>::adopt(m);
        std::wstring name;
        if (SUCCEEDED(FriendlyName(moniker.get(), name))) names.push_back(name);
    }
    return S_OK;
}

HRESULT OpenVideoDevice(const std::wstring& name, ComPtr<IBaseFilter>& device) {
    ComPtr<IEnumMoniker> monikers;
    HRESULT hr = EnumerateDevices(monikers);
    if (FAILED(hr)) return hr;
    if (hr != S_OK) return VFW_E_NOT_FOUND;
    IMoniker* m = nullptr;
    while (monikers->Next(1, &m, nullptr) == S_OK) {
        auto moniker = ComPtr<IMoniker>::adopt(m);
        std::wstring found;
        if (FAILED(FriendlyName(moniker.get(), found)) || found != name) continue;
        return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, device.putVoid());
    }
    return VFW_E_NOT_FOUND;
}

HRESULT ListVideoFormats(IBaseFilter* device, std::vector<VideoFormat>& formats) {
    formats.clear();
    ComPtr<ICaptureGraphBuilder2> builder;
    HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICaptureGraphBuilder2, builder.putVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IAMStreamConfig> config;
    hr = builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device, IID_IAMStreamConfig,
                                config.putVoid());
    if (FAILED(hr)) return hr;
    int count = 0, size = 0;
    if (FAILED(hr = config->GetNumberOfCapabilities(&count, &size))) return hr;
    if (size != int(sizeof(VIDEO_STREAM_CONFIG_CAPS))) return E_UNEXPECTED;
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (FAILED(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps))) || !mt) continue;
        VideoFormat f;
        f.subtype = SubtypeName(mt->subtype);
        if (mt->formattype == FORMAT_VideoInfo && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
            f.width = vih->bmiHeader.biWidth;
            f.height = vih->bmiHeader.biHeight;
            if (vih->AvgTimePerFrame > 0) f.framesPerSecond = 1e7 / double(vih->AvgTimePerFrame);
        }
        formats.push_back(f);
        DeleteMediaType(mt);
    }
    return S_OK;
}

std::string DescribeFormat(const VideoFormat& f) {
    char text[96];
    if (f.framesPerSecond > 0)
        std::snprintf(text, sizeof text, "%s %d x %d, %.4g fps", f.subtype.c_str(), f.width, f.height,
                      f.framesPerSecond);
    else
        std::snprintf(text, sizeof text, "%s %d x %d", f.subtype.c_str(), f.width, f.height);
    return text;
}

std::string ErrorText(HRESULT hr) {
    static const struct {
        HRESULT code;
        const char* name;
    } kNames[] = {{E_FAIL, "E_FAIL"},
                  {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
                  {E_INVALIDARG, "E_INVALIDARG"},
                  {E_POINTER, "E_POINTER"},
                  {E_NOINTERFACE, "E_NOINTERFACE"},
                  {REGDB_E_CLASSNOTREG, "class not registered"},
                  {CLASS_E_CLASSNOTAVAILABLE, "class not available"},
                  {VFW_E_NOT_FOUND, "not found"},
                  {VFW_E_CANNOT_CONNECT, "cannot connect"},
                  {VFW_E_NOT_STOPPED, "not stopped"},
                  {VFW_E_TYPE_NOT_ACCEPTED, "type not accepted"}};
    char text[64];
    for (const auto& n : kNames) {
        if (n.code == hr) {
            std::snprintf(text, sizeof text, "%s, 0x%08X", n.name, unsigned(hr));
            return text;
        }
    }
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

} // namespace tools::unfold
