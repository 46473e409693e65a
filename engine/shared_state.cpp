#include "engine/shared_state.h"

#include <cmath>
#include <initializer_list>

CEngineSharedState& EngineShared() {
    static CEngineSharedState state;
    return state;
}

namespace {

void identity(EngineSettings& s) {
    for (float& k : s.filter) k = 0.0f;
    s.filter[4] = 1.0f;
    s.filterOn = false;
}

} // namespace

void SetSharpenKernel(EngineSettings& s, float a) {
    if (a == 0.0f) return identity(s);
    s.filterOn = true;
    for (float& k : s.filter) k = -a / 9.0f;
    s.filter[4] = 8.0f * a / 9.0f + 1.0f;
}

void SetBlurKernel(EngineSettings& s, float sigma) {
    if (sigma == 0.0f) return identity(s);
    s.filterOn = true;
    float q = 2.0f * sigma * sigma;
    float e = std::exp(-2.0f / q), f = std::exp(-1.0f / q);
    float sum = 4.0f * e + 4.0f * f + 1.0f;
    for (int i : {0, 2, 6, 8}) s.filter[i] = e / sum;
    for (int i : {1, 3, 5, 7}) s.filter[i] = f / sum;
    s.filter[4] = 1.0f / sum;
}

EngineSettings CEngineSharedState::Snapshot() const {
    std::lock_guard<std::mutex> hold(lock);
    return settings;
}

void CEngineSharedState::SetContrast(float contrast) {
    std::lock_guard<std::mutex> hold(lock);
    settings.contrast = contrast;
}

void CEngineSharedState::SetBrightness(float brightness) {
    std::lock_guard<std::mutex> hold(lock);
    settings.brightness = brightness;
}

void CEngineSharedState::SetSaturation(float saturation) {
    std::lock_guard<std::mutex> hold(lock);
    settings.saturation = saturation;
}

void CEngineSharedState::SetSharpness(float amount) {
    std::lock_guard<std::mutex> hold(lock);
    SetSharpenKernel(settings, amount);
}

void CEngineSharedState::SetBlur(float width) {
    std::lock_guard<std::mutex> hold(lock);
    SetBlurKernel(settings, width);
}

void CEngineSharedState::SetFlip(bool horizontal, bool vertical) {
    std::lock_guard<std::mutex> hold(lock);
    settings.flipHorizontal = horizontal;
    settings.flipVertical = vertical;
}

void CEngineSharedState::SetCircleRadius(float radius) {
    std::lock_guard<std::mutex> hold(lock);
    settings.circleRadius = radius;
}

void CEngineSharedState::SetCentreOffset(float u, float v) {
    std::lock_guard<std::mutex> hold(lock);
    settings.centreOffsetU = u;
    settings.centreOffsetV = v;
}

void CEngineSharedState::Reset() {
    std::lock_guard<std::mutex> hold(lock);
    settings = EngineSettings{};
}
