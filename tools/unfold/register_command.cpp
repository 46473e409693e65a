// unfold register [--filter-module PATH] [--camera-module PATH] [--sample-clip PATH]
// unfold unregister [--filter-module PATH] [--camera-module PATH]
//
// Registers (or unregisters) the two COM servers in the user's registry as regsvr32 does, loading each
// module and calling its DllRegisterServer (DllUnregisterServer), and with them the sample camera
// "TELMAR ZK900 4K" that plays the project's fisheye recording (recorded on first use unless another
// clip of 1440 x 1440 is given).
#include <dlfcn.h>

#include <cstdio>

#include <objbase.h>

#include "tools/unfold/build_paths.h"
#include "tools/unfold/command.h"
#include "tools/unfold/option_parser.h"
#include "tools/unfold/sample_camera.h"
#include "tools/unfold/video_devices.h"

namespace tools::unfold {
namespace {

// Loads a module, calls one of its entry points and unloads it again.
HRESULT CallEntry(const std::string& path, const char* entry, std::string& error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        error = why ? why : "cannot load";
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    auto function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = E_NOINTERFACE;
    if (function)
        hr = function();
    else
        error = std::string("no ") + entry;
    dlclose(module);
    return hr;
}

int Register(const Arguments& args, CommandContext& context, bool doRegister) {
    const char* command = doRegister ? "register" : "unregister";
    OptionParser parser(command);
    parser.declare("--filter-module", 1);
    parser.declare("--camera-module", 1);
    if (doRegister) parser.declare("--sample-clip", 1);
    std::string filter = kFilterModulePath, camera = kCameraModulePath, clip;
    bool ok = parser.parse(args) && parser.getText("--filter-module", filter) &&
              parser.getText("--camera-module", camera) &&
              (!doRegister || parser.getText("--sample-clip", clip));
    if (ok && !parser.positional().empty())
        ok = parser.fail("unexpected argument '" + parser.positional()[0] + "'");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    const char* entry = doRegister ? "DllRegisterServer" : "DllUnregisterServer";
    // The expansion filter first, so that a virtual camera registered with it can find it.
    const struct {
        const char* what;
        std::string path;
    } modules[] = {{"expansion filter \"ZK900 4K Expander\"", filter},
                   {"virtual camera \"TELMAR ZK900 4K UVC\"", camera}};
    int code = kExitOk;
    for (const auto& m : doRegister ? std::vector(std::begin(modules), std::end(modules))
                                    : std::vector(std::rbegin(modules), std::rend(modules))) {
        std::string error;
        const HRESULT hr = CallEntry(m.path, entry, error);
        if (FAILED(hr)) {
            context.err << "unfold " << command << ": " << m.what << " from " << m.path << ": "
                        << (error.empty() ? ErrorText(hr) : error) << "\n";
            code = kExitFailure;
            continue;
        }
        context.out << command << "ed the " << m.what << " (" << m.path << ")\n";
    }
    std::string error;
    const bool sampleOk =
        doRegister ? RegisterSampleCamera(clip, error, context.showProgress ? &context.err : nullptr)
                   : UnregisterSampleCamera(error);
    if (!sampleOk) {
        context.err << "unfold " << command << ": sample camera \"" << kSampleCameraName << "\": " << error
                    << "\n";
        return kExitFailure;
    }
    context.out << command << "ed the sample camera \"" << kSampleCameraName << "\""
                << (doRegister ? " (" + clip + ")" : std::string()) << "\n";
    return code;
}

} // namespace

int RunRegisterCommand(const Arguments& args, CommandContext& context) {
    return Register(args, context, true);
}

int RunUnregisterCommand(const Arguments& args, CommandContext& context) {
    return Register(args, context, false);
}

} // namespace tools::unfold
