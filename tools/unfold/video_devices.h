// The video capture devices as a video-call application sees them: listed by the System Device
// Enumerator under their friendly names, opened by binding their monikers, their formats read from
// the capture pin's IAMStreamConfig.
#pragma once

#include <string>
#include <vector>

#include <dshow.h>

#include "platform/win32/com_ptr.h"

namespace tools::unfold {

struct VideoFormat {
    std::string subtype; // "MJPG", "RGB24", "YUY2", ... or the subtype's GUID
    int32_t width = 0, height = 0;
    double framesPerSecond = 0; // 0 when the format gives no frame time
};

// The friendly names of the video capture devices, in the enumerator's order.
HRESULT ListVideoDevices(std::vector<std::wstring>& names);
// Binds the device of that friendly name (exact, case-sensitive); VFW_E_NOT_FOUND when none has it.
HRESULT OpenVideoDevice(const std::wstring& name, platform::ComPtr<IBaseFilter>& device);
// The formats the device's capture pin offers.
HRESULT ListVideoFormats(IBaseFilter* device, std::vector<VideoFormat>& formats);
// "MJPG 1440 x 1440, 15 fps".
std::string DescribeFormat(const VideoFormat& format);
// The error text of a result code for the user: a known DirectShow or COM name and the code.
std::string ErrorText(HRESULT hr);

} // namespace tools::unfold
