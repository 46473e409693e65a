// unfold get
// unfold set [--mode NAME|N] [--view H V] [--zoom Z] [--lens up|down] [--resolution WxH@FPS]
//
// Read and change the virtual camera's settings through its control interface IORBE_SrcGen, on a
// virtual camera opened in this process as an application opens it. The camera keeps the settings
// in the user's registry when it closes, so `set` changes what every virtual camera opened later
// starts with. A virtual camera already streaming in another process keeps its own settings
// (and writes them back when it closes).
#include <cstdio>

#include <objbase.h>

#include "modes/mode_table.h"
#include "platform/win32/debug.h"
#include "tools/unfold/command.h"
#include "tools/unfold/device_run.h"
#include "tools/unfold/option_parser.h"
#include "tools/unfold/video_devices.h"
#include "vcam/orbe_src_gen.h"

namespace tools::unfold {
namespace {

// The virtual camera's unfold modes by the engine's names; "16:9" is the front view fixed at 16:9.
std::string VCamModeLabel(int mode) {
    const int32_t id =
        mode >= 0 && size_t(mode) < kModeOfVCamMode.size() ? kModeOfVCamMode[size_t(mode)] : -1;
    return id >= 0 ? kModeLabels[size_t(id)]
                   : "INDOME (" + std::to_string(mode) + " is not a mode of its own)";
}

// A mode name or a virtual-camera mode number; -1 when it is neither.
int ParseVCamMode(const std::string& text) {
    for (size_t m = 0; m < kModeOfVCamMode.size(); ++m) {
        const int32_t id = kModeOfVCamMode[m];
        if (id >= 0 && text == kModeLabels[size_t(id)]) return int(m);
    }
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int n = std::stoi(text);
    return n < int(kModeOfVCamMode.size()) && kModeOfVCamMode[size_t(n)] >= 0 ? n : -1;
}

std::string ModeChoices() {
    std::string list;
    for (size_t m = 0; m < kModeOfVCamMode.size(); ++m)
        if (kModeOfVCamMode[m] >= 0)
            list += (list.empty() ? "" : ", ") + std::to_string(m) + " " + VCamModeLabel(int(m));
    return list;
}

class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

// Opens the virtual camera and its control interface.
int OpenControl(const char* command, CommandContext& context, platform::ComPtr<IORBE_SrcGen>& control) {
    platform::ComPtr<IBaseFilter> camera;
    HRESULT hr = OpenVideoDevice(kVirtualCameraName, camera);
    if (FAILED(hr)) {
        context.err << "unfold " << command << ": cannot open the virtual camera (" << ErrorText(hr)
                    << (hr == VFW_E_NOT_FOUND ? "; 'unfold register' registers it" : "") << ")\n";
        return kExitFailure;
    }
    if (FAILED(hr = camera.as(IID_IORBE_SrcGen, control))) {
        context.err << "unfold " << command << ": the virtual camera has no IORBE_SrcGen (" << ErrorText(hr)
                    << ")\n";
        return kExitFailure;
    }
    return kExitOk;
}

void PrintSettings(IORBE_SrcGen* control, std::ostream& out) {
    int mode = 0, h = 0, v = 0, zoom = 0, lens = 0, count = 0, current = -1;
    control->GetUnfoldMode(&mode);
    control->GetViewPos(&h, &v);
    control->GetScale(&zoom);
    control->GetLensDirection(&lens);
    out << "mode: " << mode << " " << VCamModeLabel(mode) << "\n";
    out << "view: " << h << " " << v << "\n";
    out << "zoom: " << zoom << "\n";
    out << "lens: " << (lens ? "up" : "down") << "\n";
    ResolutionEntry* list = nullptr;
    if (SUCCEEDED(control->GetResolutionList(&list, &count, &current))) {
        if (count == 0)
            out << "resolution: the camera offers none (no camera, or no MJPG 1440x1440 or 1280x720)\n";
        for (int i = 0; i < count; ++i)
            out << "resolution: " << list[i].width << "x" << list[i].height << "@" << list[i].frameRate
                << "\n";
        // The interface names the picture size in use (its entry is the last of that size), not the rate.
        if (current >= 0 && current < count)
            out << "size in use: " << list[current].width << "x" << list[current].height << "\n";
        CoTaskMemFree(list);
    }
}

} // namespace

int RunGetCommand(const Arguments& args, CommandContext& context) {
    if (!args.empty()) {
        context.err << "unfold get: unexpected argument '" << args[0] << "'\n";
        return kExitUsage;
    }
    ComScope com;
    platform::ComPtr<IORBE_SrcGen> control;
    if (int code = OpenControl("get", context, control); code != kExitOk) return code;
    PrintSettings(control.get(), context.out);
    return kExitOk;
}

int RunSetCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("set");
    parser.declare("--mode", 1);
    parser.declare("--view", 2);
    parser.declare("--zoom", 1);
    parser.declare("--lens", 1);
    parser.declare("--resolution", 1);
    std::string modeText, resolution;
    double h = 0, v = 0, zoom = 0;
    int lens = 0;
    bool ok = parser.parse(args) && parser.getText("--mode", modeText) &&
              parser.getDoubleAt("--view", 0, 0, 100, h) && parser.getDoubleAt("--view", 1, 0, 100, v) &&
              parser.getDouble("--zoom", 0, 100, zoom) && parser.getChoice("--lens", {"up", "down"}, lens) &&
              parser.getText("--resolution", resolution);
    int mode = -1;
    if (ok && parser.has("--mode") && (mode = ParseVCamMode(modeText)) < 0)
        ok = parser.fail("unknown mode '" + modeText + "' (" + ModeChoices() + ")");
    int width = 0, height = 0, fps = 0;
    char tail = 0;
    if (ok && parser.has("--resolution") &&
        (std::sscanf(resolution.c_str(), "%dx%d@%d%c", &width, &height, &fps, &tail) != 3 || width <= 0 ||
         height <= 0 || fps <= 0))
        ok = parser.fail("--resolution needs WIDTHxHEIGHT@FPS, such as 1440x1440@15, not '" + resolution +
                         "'");
    if (ok && !parser.positional().empty())
        ok = parser.fail("unexpected argument '" + parser.positional()[0] + "'");
    if (ok && args.empty()) ok = parser.fail("nothing to set (see 'unfold help')");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }

    ComScope com;
    platform::ComPtr<IORBE_SrcGen> control;
    if (int code = OpenControl("set", context, control); code != kExitOk) return code;
    if (parser.has("--resolution")) {
        ResolutionEntry* list = nullptr;
        int count = 0, current = -1, index = -1;
        if (SUCCEEDED(control->GetResolutionList(&list, &count, &current))) {
            for (int i = 0; i < count; ++i)
                if (list[i].width == width && list[i].height == height && list[i].frameRate == fps)
                    index = list[i].formatIndex;
            CoTaskMemFree(list);
        }
        if (index < 0) {
            context.err << "unfold set: the camera offers no " << resolution << " (see 'unfold get')\n";
            return kExitFailure;
        }
        if (HRESULT hr = control->SetResolution(index); FAILED(hr)) {
            context.err << "unfold set: the camera could not change to " << resolution << " ("
                        << ErrorText(hr) << ")\n";
            return kExitFailure;
        }
    }
    // The picture path may be missing (no camera): the settings are kept all the same, so the
    // answers of the setters are not failures here.
    if (mode >= 0) control->SetUnfoldMode(mode);
    if (parser.has("--view")) control->SetViewPos(int(h + 0.5), int(v + 0.5));
    if (parser.has("--zoom")) control->SetScale(int(zoom + 0.5));
    if (parser.has("--lens")) control->SetLensDirection(lens == 0 ? 1 : 0);
    PrintSettings(control.get(), context.out);
    return kExitOk;
}

} // namespace tools::unfold
