// A "TELMAR ZK900 4K" for the virtual camera to find: a clip camera of the platform defined in the
// temporary registry, playing still MJPG clips of a test picture, and the expansion filter registered
// from libunfoldfilter.so.
#pragma once

#include <dlfcn.h>

#include <string>

#include "tests/build_paths.h"
#include "tests/tools/image/temp_dir.h"
#include "tests/vcam/vcam_fixture.h"
#include "tools/image/mjpg_clip.h"

namespace vcam_testing {

// A fisheye-like test picture: a bright disc with coloured quadrants and a mark above the centre, on
// black; smooth enough that JPEG keeps it well.
inline tools::image::Image TestPicture(uint32_t width, uint32_t height) {
    tools::image::Image picture(width, height, {0, 0, 0, 255});
    const double cx = width / 2.0, cy = height / 2.0, r = std::min(width, height) * 0.48;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy > r * r) continue;
            const uint8_t shade = uint8_t(120 + 100 * (dx + dy) / (4 * r));
            picture.setPixel(x, y, {uint8_t(dx < 0 ? 220 : 60), shade, uint8_t(dy < 0 ? 200 : 50), 255});
        }
    return picture;
}

class CameraTest : public VCamTest {
protected:
    void SetUp() override {
        VCamTest::SetUp();
        ASSERT_EQ(CallModule(kUnfoldFilterPath, "DllRegisterServer"), S_OK);
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        VCamTest::TearDown();
    }

    static HRESULT CallModule(const char* path, const char* entry) {
        void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!module) return E_FAIL;
        auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
        HRESULT hr = fn ? fn() : E_FAIL;
        dlclose(module);
        return hr;
    }

    // Defines the camera with these formats ("1440x1440@15 1280x720@30"), each size playing a still
    // clip of TestPicture.
    void DefineCamera(const std::string& formats, const wchar_t* name = L"TELMAR ZK900 4K") {
        HKEY key;
        const std::wstring path = std::wstring(L"Software\\unfold\\Cameras\\") + name;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        SetText(key, L"Formats", formats);
        for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{1440, 1440}, {1280, 720}}) {
            const std::string size = std::to_string(w) + "x" + std::to_string(h);
            if (formats.find(size) == std::string::npos) continue;
            const std::string clip = clips_.file(size + ".mjpg");
            tools::image::MjpgClipWriter writer;
            ASSERT_TRUE(writer.Open(clip, w, h, {30, 1}).ok());
            const tools::image::Image picture = TestPicture(w, h);
            for (int k = 0; k < 3; ++k) ASSERT_TRUE(writer.AddFrame(picture, 95).ok());
            ASSERT_TRUE(writer.Close().ok());
            SetText(key, platform::ToWide("Clip " + size).c_str(), clip);
        }
        RegCloseKey(key);
    }

    // A filter of the private graph by its name there ("CaptureDevice", "ZK900 4K Expander", ...).
    static ComPtr<IBaseFilter> PrivateFilter(const wchar_t* name) {
        ComPtr<IGraphBuilder> graph;
        ComPtr<IBaseFilter> filter;
        if (CInternalGraph* g = CVCam::PrivateGraph(); g && SUCCEEDED(g->GetGraph(graph.put())))
            graph->FindFilterByName(name, filter.put());
        return filter;
    }

    // The camera's current format in the private graph: width, height and frame duration.
    static std::tuple<LONG, LONG, REFERENCE_TIME> CameraFormat() {
        ComPtr<IBaseFilter> camera = PrivateFilter(L"CaptureDevice");
        ComPtr<IAMStreamConfig> config;
        ComPtr<IPin> pin = camera ? testfilters::PinOf(camera.get(), PINDIR_OUTPUT) : nullptr;
        AM_MEDIA_TYPE* mt = nullptr;
        if (!pin || FAILED(pin->QueryInterface(IID_IAMStreamConfig, config.putVoid())) ||
            FAILED(config->GetFormat(&mt)))
            return {0, 0, 0};
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
        std::tuple<LONG, LONG, REFERENCE_TIME> format{vih->bmiHeader.biWidth, vih->bmiHeader.biHeight,
                                                      vih->AvgTimePerFrame};
        DeleteMediaType(mt);
        return format;
    }

private:
    static void SetText(HKEY key, const wchar_t* name, const std::string& text) {
        const std::wstring wide = platform::ToWide(text);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       DWORD((wide.size() + 1) * sizeof(wchar_t)));
    }

    tools::testing::TempDir clips_;
};

} // namespace vcam_testing
