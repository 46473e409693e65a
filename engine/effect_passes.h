// The technique of the compiled effect and its five passes. All passes share one vertex stage; the
// textured ones take the frame through the colour pipeline, in the out buffer's channel order while
// the effect's "inversed" flag is set.
#pragma once

#include <cstdint>

constexpr char kTechniqueName[] = "MyShader";

enum EffectPass : uint32_t {
    kPassPlanar = 0,         // three planes (Y, Cb, Cr)
    kPassPlanarFiltered = 1, // three planes, with the 3 x 3 convolution
    kPassPacked = 2,         // one packed colour texture
    kPassPackedFiltered = 3, // one packed colour texture, with the 3 x 3 convolution
    kPassVertexColour = 4,   // untextured: the vertex colour as given (masks, lines, dimming)
};
