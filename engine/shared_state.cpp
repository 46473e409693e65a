#include "engine/shared_state.h"

#include <cmath>
#include <initializer_list>

CEngineSharedState& EngineShared() {
    static CEngineSharedState state;
    return state;
}

namespace {

void identity(CEngineSharedState& s) {
    for (float& k : s.filter) k = 0.0f;
    s.filter[4] = 1.0f;
    s.filterOn = false;
}

} // namespace

void SetSharpenKernel(CEngineSharedState& s, float a) {
    if (a == 0.0f) return identity(s);
    s.filterOn = true;
    for (float& k : s.filter) k = -a / 9.0f;
    s.filter[4] = 8.0f * a / 9.0f + 1.0f;
}

void SetBlurKernel(CEngineSharedState& s, float sigma) {
    if (sigma == 0.0f) return identity(s);
    s.filterOn = true;
    float q = 2.0f * sigma * sigma;
    float e = std::exp(-2.0f / q), f = std::exp(-1.0f / q);
    float sum = 4.0f * e + 4.0f * f + 1.0f;
    for (int i : {0, 2, 6, 8}) s.filter[i] = e / sum;
    for (int i : {1, 3, 5, 7}) s.filter[i] = f / sum;
    s.filter[4] = 1.0f / sum;
}
