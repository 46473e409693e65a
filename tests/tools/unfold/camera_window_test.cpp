// `unfold props --camera` as a real window on a virtual X server of its own: the frame of the
// virtual camera's page in another process, found and photographed through X (xdotool, xwd), each
// control drawn where the headless model puts it, and a synthetic click on a mode button that changes
// the mode the virtual camera keeps for the next application (read back with `unfold get`).
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dshow.h>
#include <gtest/gtest.h>
#include <olectl.h>

#include "platform/win32/com_ptr.h"
#include "resources/unfoldcam_resource.h"
#include "tests/build_paths.h"
#include "tests/x_display.h"
#include "vcam/orbe_src_gen.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using display_testing::PageIn;
using display_testing::XClick;
using display_testing::XPicture;
using platform::ComPtr;

// A command's standard output; its exit status in `status`.
std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int code = pclose(pipe);
    if (status) *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
    return out;
}

uint32_t BigEndian(const std::string& data, size_t offset) {
    const auto* b = reinterpret_cast<const uint8_t*>(data.data() + offset);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

// An X window's picture as xwd writes it: the ZPixmap, 32 bits a pixel, of a 24-bit TrueColor screen;
// false for anything else.
bool ReadXwd(const std::string& path, XPicture& picture) {
    std::ifstream file(path, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(file), {}};
    if (data.size() < 100) return false;
    const uint32_t headerSize = BigEndian(data, 0), format = BigEndian(data, 8);
    const uint32_t width = BigEndian(data, 16), height = BigEndian(data, 20), byteOrder = BigEndian(data, 28);
    const uint32_t bitsPerPixel = BigEndian(data, 44), bytesPerLine = BigEndian(data, 48);
    const uint32_t masks[3] = {BigEndian(data, 56), BigEndian(data, 60), BigEndian(data, 64)};
    const uint32_t colours = BigEndian(data, 76);
    const size_t pixels = size_t(headerSize) + size_t(colours) * 12;
    if (format != 2 || bitsPerPixel != 32 || width == 0 || height == 0 || width > 8192 || height > 8192 ||
        bytesPerLine < width * 4 || data.size() < pixels + size_t(bytesPerLine) * height)
        return false;
    picture.width = int(width);
    picture.height = int(height);
    picture.rgba.assign(size_t(width) * height * 4, 255);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const auto* b =
                reinterpret_cast<const uint8_t*>(data.data() + pixels + size_t(y) * bytesPerLine + x * 4);
            const uint32_t v =
                byteOrder == 0
                    ? uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24
                    : uint32_t(b[3]) | uint32_t(b[2]) << 8 | uint32_t(b[1]) << 16 | uint32_t(b[0]) << 24;
            for (int c = 0; c < 3; ++c) {
                const uint32_t mask = masks[c];
                if (!mask) return false;
                const int shift = __builtin_ctz(mask);
                picture.rgba[(size_t(y) * width + x) * 4 + size_t(c)] = uint8_t((v & mask) >> shift);
            }
        }
    return true;
}

// The frame of the virtual camera's page in the headless model: its size and each visible control
// of the page by id, in frame coordinates. Read on the frame's first idle moment, then cancelled.
struct ModelFrame {
    SIZE size{};
    std::vector<std::pair<int, RECT>> controls;
};
ModelFrame* g_model = nullptr;

LRESULT CALLBACK ModelOwner(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ENTERIDLE && w == MSGF_DIALOGBOX && g_model && g_model->size.cx == 0) {
        auto frame = reinterpret_cast<HWND>(l);
        RECT f;
        GetWindowRect(frame, &f);
        g_model->size = SIZE{f.right - f.left, f.bottom - f.top};
        auto note = [&](HWND c) {
            RECT r;
            GetWindowRect(c, &r);
            OffsetRect(&r, -f.left, -f.top);
            g_model->controls.emplace_back(GetDlgCtrlID(c), r);
        };
        if (HWND page = PageIn(frame))
            for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (IsWindowVisible(c)) note(c);
        note(GetDlgItem(frame, IDOK));
        PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

class CameraWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("camera-window-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        setenv("UNFOLD_REGISTRY", (dir_ / "registry").c_str(), 1);
        unfold_ = kUnfoldPath;
        // Both modules, and the sample camera when the build has recorded its clip (sanitizer builds
        // do not: the camera then runs without it and delivers grey frames, which is enough here).
        for (const char* module : {kUnfoldFilterPath, kUnfoldCamPath}) {
            void* library = dlopen(module, RTLD_NOW | RTLD_LOCAL);
            ASSERT_NE(library, nullptr) << dlerror();
            auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
            ASSERT_NE(reg, nullptr);
            EXPECT_EQ(reg(), S_OK) << module;
            dlclose(library);
        }
        if (fs::exists(kSampleClipPath)) {
            int status = -1;
            const std::string out =
                Shell(unfold_ + " register --sample-clip " + kSampleClipPath + " 2>&1", &status);
            ASSERT_EQ(status, 0) << out;
        }
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // The camera page's frame as the model lays it out, over a camera opened in this process.
    void LayOut(ModelFrame& model) {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        {
            ComPtr<IBaseFilter> camera;
            ASSERT_EQ(CoCreateInstance(CLSID_VCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       camera.putVoid()),
                      S_OK);
            ComPtr<ISpecifyPropertyPages> specify;
            ASSERT_EQ(camera.as(IID_ISpecifyPropertyPages, specify), S_OK);
            CAUUID pages{};
            ASSERT_EQ(specify->GetPages(&pages), S_OK);
            WNDCLASSW wc{};
            wc.lpfnWndProc = ModelOwner;
            wc.lpszClassName = L"camera window test owner";
            RegisterClassW(&wc);
            HWND owner = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         nullptr, nullptr);
            g_model = &model;
            IUnknown* object = camera.get();
            EXPECT_EQ(OleCreatePropertyFrame(owner, 0, 0, L"TELMAR ZK900 4K UVC", 1, &object, pages.cElems,
                                             pages.pElems, 0, 0, nullptr),
                      S_OK);
            g_model = nullptr;
            CoTaskMemFree(pages.pElems);
            DestroyWindow(owner);
            UnregisterClassW(wc.lpszClassName, nullptr);
        }
        CoUninitialize();
    }

    // Starts `unfold ARGS` with its output in `out`; false when it cannot start.
    bool Start(const std::vector<std::string>& args, const fs::path& out, pid_t& pid) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> argv{const_cast<char*>(unfold_.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int failed = posix_spawn(&pid, unfold_.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed == 0;
    }

    // Waits up to `seconds` for the process to end; its exit code, or -1 (and the process killed).
    static int Wait(pid_t pid, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }

    std::string ModeKept() {
        const std::string out = Shell(unfold_ + " get 2>/dev/null");
        const size_t at = out.find("mode: ");
        return at == std::string::npos ? out : out.substr(at, out.find('\n', at) - at);
    }

    fs::path dir_;
    std::string unfold_;
};

RECT RectOf(const ModelFrame& model, int id) {
    for (const auto& [i, r] : model.controls)
        if (i == id) return r;
    return RECT{};
}

// A visible X window and its place on the screen.
struct XWindow {
    std::string id;
    int left = -1, top = -1, width = 0, height = 0;
    bool clickAt(const RECT& r) const {
        return XClick(left + (r.left + r.right) / 2, top + (r.top + r.bottom) / 2);
    }
};

// Polls for the first visible window whose name matches `pattern`, for up to 30 s; a process `pid`
// that ends first ends the wait at once.
bool FindXWindow(const std::string& pattern, pid_t pid, XWindow& window) {
    for (int attempt = 0; attempt < 300 && window.id.empty(); ++attempt) {
        window.id = Shell("xdotool search --onlyvisible --name '" + pattern + "' 2>/dev/null");
        window.id = window.id.substr(0, window.id.find('\n'));
        int status = 0;
        if (window.id.empty() && waitpid(pid, &status, WNOHANG) == pid) return false;
        if (window.id.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (window.id.empty()) return false;
    std::istringstream geometry(Shell("xdotool getwindowgeometry --shell " + window.id));
    for (std::string line; std::getline(geometry, line);) {
        if (line.rfind("X=", 0) == 0) window.left = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0) window.top = std::stoi(line.substr(2));
        if (line.rfind("WIDTH=", 0) == 0) window.width = std::stoi(line.substr(6));
        if (line.rfind("HEIGHT=", 0) == 0) window.height = std::stoi(line.substr(7));
    }
    return true;
}

// The page's frame as X shows it once every control of the model has drawn inside its rectangle (or
// after 10 s); the ids of the controls that drew nothing.
std::vector<int> BareControls(const XWindow& frame, const ModelFrame& model, const fs::path& file,
                              XPicture& shot) {
    std::vector<int> bare;
    for (int attempt = 0; attempt < 100; ++attempt) {
        Shell("xwd -silent -id " + frame.id + " -out " + file.string());
        bare.clear();
        if (!ReadXwd(file, shot) || shot.width < 8 || shot.height < 8) {
            bare.push_back(0);
            continue;
        }
        const uint8_t* background = shot.at(2, shot.height - 2);
        for (const auto& [control, r] : model.controls) {
            const int area = (r.right - r.left) * (r.bottom - r.top);
            if (shot.marked(r, background) <= std::max(3, area / 50)) bare.push_back(control);
        }
        if (bare.empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return bare;
}

TEST_F(CameraWindowTest, AClickOnDomeInTheRealFrameIsTheModeTheCameraKeeps) {
    ModelFrame model;
    LayOut(model);
    ASSERT_GT(model.size.cx, 100);
    ASSERT_GT(model.size.cy, 100);
    ASSERT_GE(model.controls.size(), 20u);
    const RECT dome = RectOf(model, IDC_CAM_DOME), ok = RectOf(model, IDOK);
    ASSERT_GT(dome.right, dome.left);
    ASSERT_GT(ok.right, ok.left);
    ASSERT_EQ(ModeKept(), "mode: 6 INDOME");

    pid_t pid = 0;
    const fs::path out = dir_ / "props.out";
    ASSERT_TRUE(Start({"props", "--camera"}, out, pid));
    XWindow frame;
    if (!FindXWindow("TELMAR ZK900 4K UVC Properties", pid, frame)) {
        Wait(pid, 0);
        FAIL() << "no window appeared; unfold said: " << Shell("cat " + out.string());
    }
    EXPECT_EQ(frame.width, model.size.cx);
    EXPECT_EQ(frame.height, model.size.cy);
    XPicture shot;
    const std::vector<int> bare = BareControls(frame, model, dir_ / "frame.xwd", shot);
    EXPECT_EQ(shot.width, model.size.cx);
    EXPECT_EQ(shot.height, model.size.cy);
    EXPECT_TRUE(bare.empty()) << bare.size() << " controls drew nothing at the model's rectangles, the first "
                              << (bare.empty() ? 0 : bare[0]);

    // A person clicks "Dome", then OK; the camera keeps the mode for the next application.
    EXPECT_TRUE(frame.clickAt(dome));
    EXPECT_TRUE(frame.clickAt(ok));
    EXPECT_EQ(Wait(pid, 30), 0) << Shell("cat " + out.string());
    EXPECT_NE(Shell("cat " + out.string()).find("unfold mode 5"), std::string::npos);
    EXPECT_EQ(ModeKept(), "mode: 5 DOME");
}

TEST_F(CameraWindowTest, ThePreviewShowsLiveFramesAndItsSettingsChangeTheCamera) {
    ModelFrame model;
    LayOut(model);
    const RECT dome = RectOf(model, IDC_CAM_DOME), ok = RectOf(model, IDOK);
    ASSERT_GT(dome.right, dome.left);
    ASSERT_GT(ok.right, ok.left);
    ASSERT_EQ(ModeKept(), "mode: 6 INDOME");

    pid_t pid = 0;
    const fs::path out = dir_ / "preview.out";
    ASSERT_TRUE(Start({"preview", "--seconds", "20"}, out, pid));
    XWindow preview;
    if (!FindXWindow("unfold preview - TELMAR ZK900 4K UVC", pid, preview)) {
        Wait(pid, 0);
        FAIL() << "no preview appeared; unfold said: " << Shell("cat " + out.string());
    }
    // "Settings" sits at the window's bottom right: 8 pixels in from the edges, 90 x 26.
    const RECT settings{preview.width - 8 - 90, preview.height - 8 - 26, preview.width - 8,
                        preview.height - 8};
    EXPECT_TRUE(preview.clickAt(settings));
    XWindow frame;
    ASSERT_TRUE(FindXWindow("TELMAR ZK900 4K UVC Properties", pid, frame)) << Shell("cat " + out.string());
    EXPECT_EQ(frame.width, model.size.cx);
    EXPECT_EQ(frame.height, model.size.cy);
    XPicture shot;
    EXPECT_TRUE(BareControls(frame, model, dir_ / "frame.xwd", shot).empty());
    EXPECT_TRUE(frame.clickAt(dome));
    EXPECT_TRUE(frame.clickAt(ok));

    // The window closes itself after its 20 seconds, having shown frames all along.
    EXPECT_EQ(Wait(pid, 60), 0) << Shell("cat " + out.string());
    const std::string said = Shell("cat " + out.string());
    const size_t at = said.find("frames shown: ");
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_GE(std::stoi(said.substr(at + 14)), 20) << said;
    EXPECT_EQ(ModeKept(), "mode: 5 DOME");
}

} // namespace
