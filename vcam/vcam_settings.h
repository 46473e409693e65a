// The virtual camera's settings as the current user's registry keeps them, under
// HKEY_CURRENT_USER\Software\Halvern\TELMAR_ZK900_4K_UVC, each a REG_DWORD.
#pragma once

#include <cstdint>

struct VCamSettings {
    int32_t width = 1440;    // "Width": the camera's MJPG picture width, pixels
    int32_t height = 1440;   // "Height"
    int32_t frameRate = 15;  // "fps": the camera's frames per second
    int32_t horizontal = 50; // "Horizontal": view position, 0 to 100
    int32_t vertical = 50;   // "Vertical"
    int32_t zoom = 0;        // "Zoom": 0 to 100
    int32_t unfoldMode = 6;  // "UnfoldMode": the virtual camera's unfold mode, 6 the inverted dome
    int32_t lensDir = 1;     // "LensDir": 1 upward-facing lens, 0 downward

    // The stored settings over the defaults: a value that is missing, or not a 4-byte REG_DWORD, keeps
    // its default. A 1440-wide camera stored at 5 frames per second is taken at 15.
    static VCamSettings Read();
    // Writes all eight values, the lens direction as 0 or 1. Skipped when the key cannot be opened.
    void Save() const;
};
