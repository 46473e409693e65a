// The virtual camera under test, as an application drives a webcam: made through its class (or COM),
// its pin rendered into a sink that keeps the first frames and every time stamp, settings in a
// temporary registry.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"
#include "vcam/internal_graph.h"
#include "vcam/out_push_pin.h"
#include "vcam/vcam.h"

namespace vcam_testing {

using platform::ComPtr;

constexpr wchar_t kSettingsKey[] = L"Software\\Halvern\\TELMAR_ZK900_4K_UVC";

// A renderer that takes what the camera offers, keeps the bytes of the first `keep` samples and the
// times of all of them, and never waits.
class FrameSink : public CBaseFilter {
public:
    struct Sample {
        std::vector<BYTE> data;
        REFERENCE_TIME start = 0, stop = 0;
        bool syncPoint = false;
    };

    explicit FrameSink(size_t keep = 3)
        : CBaseFilter(L"Frame sink", nullptr, &lock_, GUID_NULL), pin_(this), keep_(keep) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
    IPin* pin() { return &pin_; }

    std::vector<Sample> samples() {
        std::lock_guard lock(samplesLock_);
        return samples_;
    }
    size_t count() {
        std::lock_guard lock(samplesLock_);
        return samples_.size();
    }
    // The bytes of the last sample.
    std::vector<BYTE> latest() {
        std::lock_guard lock(samplesLock_);
        return latest_;
    }

private:
    class Pin : public CBaseInputPin {
    public:
        explicit Pin(FrameSink* sink)
            : CBaseInputPin(L"Frame sink pin", sink, &sink->lock_, L"In"), sink_(sink) {}
        HRESULT CheckMediaType(const CMediaType* mt) override {
            return mt->majortype == MEDIATYPE_Video ? S_OK : S_FALSE;
        }
        STDMETHODIMP EndOfStream() override { return S_OK; }
        STDMETHODIMP Receive(IMediaSample* s) override {
            HRESULT hr = CBaseInputPin::Receive(s);
            if (hr != S_OK) return hr;
            Sample sample;
            s->GetTime(&sample.start, &sample.stop);
            sample.syncPoint = s->IsSyncPoint() == S_OK;
            BYTE* data = nullptr;
            s->GetPointer(&data);
            std::lock_guard lock(sink_->samplesLock_);
            sink_->latest_.assign(data, data + s->GetActualDataLength());
            if (sink_->samples_.size() < sink_->keep_) sample.data = sink_->latest_;
            sink_->samples_.push_back(std::move(sample));
            return S_OK;
        }

    private:
        FrameSink* sink_;
    };

    CCritSec lock_;
    Pin pin_;
    size_t keep_;
    std::mutex samplesLock_;
    std::vector<Sample> samples_;
    std::vector<BYTE> latest_;
};

// The camera's pin rendered into a sink in a graph of its own.
struct CameraGraph {
    explicit CameraGraph(IBaseFilter* camera, size_t keep = 3) : sink(new FrameSink(keep)) {
        sink->AddRef();
        graph = testfilters::Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        graph->AddFilter(camera, L"Camera");
        graph->AddFilter(sink, L"Sink");
        graph.as(IID_IMediaControl, control);
        cameraPin = testfilters::PinOf(camera, PINDIR_OUTPUT);
    }
    ~CameraGraph() {
        if (control) control->Stop();
        control.reset();
        graph.reset();
        sink->Release();
    }
    HRESULT connect() { return graph->ConnectDirect(cameraPin.get(), sink->pin(), nullptr); }
    // Runs until the sink has `samples` samples (or a few seconds pass), then stops.
    void runFor(size_t samples) {
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        for (int i = 0; i < 500 && sink->count() < samples; ++i) Sleep(10);
        control->Stop();
        ASSERT_GE(sink->count(), samples);
    }

    // Runs for a time, then stops.
    void runForMs(DWORD ms) {
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        Sleep(ms);
        control->Stop();
    }

    FrameSink* sink;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IPin> cameraPin;
};

class VCamTest : public testfilters::DShowTest {
protected:
    // A new camera, held by the test.
    static CVCam* NewCamera() {
        HRESULT hr = S_OK;
        auto* camera = static_cast<CVCam*>(CVCam::CreateInstance(nullptr, &hr));
        EXPECT_EQ(hr, S_OK);
        camera->AddRef();
        return camera;
    }
    static void WriteSetting(const wchar_t* name, DWORD value) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    // The stored value, or -1 when there is none.
    static int64_t ReadSetting(const wchar_t* name) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
        DWORD value = 0, size = sizeof value, type = 0;
        LSTATUS s = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return s == ERROR_SUCCESS && type == REG_DWORD ? int64_t(value) : -1;
    }
    static ComPtr<IORBE_SrcGen> Control(CVCam* camera) {
        ComPtr<IORBE_SrcGen> control;
        EXPECT_EQ(camera->QueryInterface(IID_IORBE_SrcGen, control.putVoid()), S_OK);
        return control;
    }
    // Every byte of the frame mid grey.
    static bool Grey(const std::vector<BYTE>& data) {
        for (BYTE b : data)
            if (b != 128) return false;
        return !data.empty();
    }
};

} // namespace vcam_testing
