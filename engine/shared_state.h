// The engine settings shared by every expander and every filter instance in the process: the colour
// settings, the two flip flags that carry the lens direction, and the picture calibration.
//
// Filters in one process draw and are steered on their own threads under their own engine locks, so
// the settings carry a lock of their own. It is a leaf lock: it may be taken while a filter's engine
// lock is held, and nothing is taken while it is held. Readers work from a copy (Snapshot): a frame
// draws with the copy taken at its start and a mesh is built from one copy, so a change made on another
// thread takes effect from the next frame or rebuild, never half-way through one.
#pragma once

#include <mutex>

struct EngineSettings {
    float contrast = 1.0f;
    float brightness = 1.0f;
    float saturation = 1.0f;
    float filter[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0}; // 3 x 3 kernel, row by row
    bool filterOn = false;
    bool flipHorizontal = false;
    bool flipVertical = false;
    float circleRadius = 0.5f;  // radius of the picture circle as a fraction of the picture size
    float centreOffsetU = 0.0f; // added to the texture coordinates of meshes that sample the circle
    float centreOffsetV = 0.0f;
};

// Kernel settings of the colour pipeline. Sharpen with amount a: the eight outer weights -a/9 and the
// centre 8a/9 + 1. Blur with width s: a normalised 3 x 3 Gaussian. Zero switches the filter off and
// restores the identity kernel.
void SetSharpenKernel(EngineSettings& settings, float amount);
void SetBlurKernel(EngineSettings& settings, float width);

class CEngineSharedState {
public:
    EngineSettings Snapshot() const;

    void SetContrast(float contrast);
    void SetBrightness(float brightness);
    void SetSaturation(float saturation);
    void SetSharpness(float amount);
    void SetBlur(float width);
    void SetFlip(bool horizontal, bool vertical);
    void SetCircleRadius(float radius);
    void SetCentreOffset(float u, float v);
    // Back to the values at load.
    void Reset();

private:
    mutable std::mutex lock;
    EngineSettings settings;
};

CEngineSharedState& EngineShared();
