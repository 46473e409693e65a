// The cameras of this machine: V4L2 devices, then the clip cameras of the registry.
// Fault injection: "Camera.Open" makes opening any camera fail with the injected code.
#include <winerror.h>

#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/camera/clip_camera.h"
#include "platform/dshow/camera/clip_camera_registry.h"
#include "platform/dshow/camera/v4l2_camera.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace platform::camera {
namespace {

constexpr wchar_t kClipPrefix[] = L"clip:";

} // namespace

std::vector<CameraInfo> ListCameras() {
    std::vector<CameraInfo> cameras = ListV4l2Cameras(CurrentV4l2Device());
    for (const ClipCameraDefinition& clip : ReadClipCameras())
        cameras.push_back({clip.name, kClipPrefix + clip.name});
    return cameras;
}

std::unique_ptr<CameraBackend> OpenCamera(const std::wstring& devicePath, HRESULT& hr) {
    TRACE("dshow", "%s", ToUtf8(devicePath).c_str());
    if (FAILED(hr = InjectedFault("Camera.Open"))) return nullptr;
    if (devicePath.rfind(kClipPrefix, 0) == 0) {
        ClipCameraDefinition definition;
        hr = ReadClipCamera(devicePath.substr(std::wcslen(kClipPrefix)), definition);
        if (hr == S_FALSE) hr = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        if (FAILED(hr)) return nullptr;
        return std::make_unique<ClipCamera>(definition);
    }
    return V4l2Camera::Open(CurrentV4l2Device(), ToUtf8(devicePath), hr);
}

} // namespace platform::camera
