// The engine state shared by every expander and every filter instance in the process: the colour
// settings, the two flip flags that carry the lens direction, and the picture calibration. All of it
// is read and written under the caller's engine lock.
#pragma once

struct CEngineSharedState {
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

CEngineSharedState& EngineShared();

// Kernel settings of the colour pipeline. Sharpen with amount a: the eight outer weights -a/9 and the
// centre 8a/9 + 1. Blur with width s: a normalised 3 x 3 Gaussian. Zero switches the filter off and
// restores the identity kernel.
void SetSharpenKernel(CEngineSharedState& state, float amount);
void SetBlurKernel(CEngineSharedState& state, float width);
