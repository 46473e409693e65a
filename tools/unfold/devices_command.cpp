// unfold devices
//
// The video capture devices as an application lists them, each with the formats of its capture pin.
// Opening the virtual camera to read its formats starts its private graph, which takes a moment.
#include <objbase.h>

#include "platform/win32/debug.h"
#include "tools/unfold/command.h"
#include "tools/unfold/video_devices.h"

namespace tools::unfold {

int RunDevicesCommand(const Arguments& args, CommandContext& context) {
    if (!args.empty()) {
        context.err << "unfold devices: unexpected argument '" << args[0] << "'\n";
        return kExitUsage;
    }
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        context.err << "unfold devices: cannot start COM (" << ErrorText(hr) << ")\n";
        return kExitFailure;
    }
    int code = kExitOk;
    {
        std::vector<std::wstring> names;
        if (FAILED(hr = ListVideoDevices(names))) {
            context.err << "unfold devices: cannot list the video capture devices (" << ErrorText(hr)
                        << ")\n";
            code = kExitFailure;
        } else if (names.empty()) {
            context.out << "no video capture devices ('unfold register' registers the virtual camera)\n";
        }
        for (const std::wstring& name : names) {
            context.out << platform::ToUtf8(name) << "\n";
            platform::ComPtr<IBaseFilter> device;
            std::vector<VideoFormat> formats;
            if (FAILED(hr = OpenVideoDevice(name, device)) ||
                FAILED(hr = ListVideoFormats(device.get(), formats))) {
                context.out << "    (cannot read its formats: " << ErrorText(hr) << ")\n";
                continue;
            }
            for (const VideoFormat& f : formats) context.out << "    " << DescribeFormat(f) << "\n";
        }
    }
    CoUninitialize();
    return code;
}

} // namespace tools::unfold
