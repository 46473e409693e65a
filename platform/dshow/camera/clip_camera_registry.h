// Cameras that play recorded clips, defined in the current user's registry:
//
//   [HKEY_CURRENT_USER\Software\unfold\Cameras\TELMAR ZK900 4K]
//   "Formats"="1440x1440@15 1440x1440@30 1280x720@30"
//   "Clip 1440x1440"="/path/zk900-1440x1440.mjpg"
//   "Clip 1280x720"="/path/zk900-1280x720.mjpg"
//
// Formats are WxH@FPS (FPS may have decimals), separated by spaces, listed in the order the camera
// offers them; each is served by the clip of its size ("Clip WxH": an MJPG clip, a file of JPEG
// frames or a folder of JPEG files). Names are kept exactly as given; they may not hold a backslash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace platform::camera {

inline constexpr wchar_t kCamerasKey[] = L"Software\\unfold\\Cameras";

struct ClipFormat {
    uint32_t width = 0, height = 0;
    double fps = 0;
    bool operator==(const ClipFormat&) const = default;
};

// "1440x1440@30" or "1280x720@29.97"; sides 1 to 16384, rate above 0 and at most 1000.
bool ParseClipFormat(const std::string& text, ClipFormat& format);
std::string ClipFormatText(const ClipFormat& format);
// "1440x1440"
std::string SizeText(uint32_t width, uint32_t height);

struct ClipCameraDefinition {
    std::wstring name;
    std::vector<ClipFormat> formats;
    std::vector<std::pair<std::string, std::string>> clips; // size text, clip path

    // The clip for a frame size, or empty.
    std::string ClipFor(uint32_t width, uint32_t height) const;
};

bool IsValidCameraName(const std::wstring& name);

// The stored name of the camera whose name matches ignoring case (registry keys do), or empty.
std::wstring ExactCameraName(const std::wstring& name);
// Every clip camera of the registry, in the registry's order. Unreadable entries are left out with a
// warning.
std::vector<ClipCameraDefinition> ReadClipCameras();
// S_OK, S_FALSE when no camera has that exact name, or a registry error.
HRESULT ReadClipCamera(const std::wstring& name, ClipCameraDefinition& definition);
// Creates or replaces the camera's key.
HRESULT WriteClipCamera(const ClipCameraDefinition& definition);
// S_OK, S_FALSE when no camera has that exact name.
HRESULT RemoveClipCamera(const std::wstring& name);

} // namespace platform::camera
