// The creation table of the unfold modes: which expander each mode id gets.
#pragma once

#include <cstdint>

class CBaseExpander;

// A new expander for mode id (0 .. 15), or null for a mode without one (14) or when allocation fails.
// (ax, ay) is the facade's front-view pair, used by mode 0.
CBaseExpander* CreateModeExpander(int32_t id, float ax, float ay);

// Gives a front-view expander its aspect pair; mode must be 0 or 15.
void SetModeAspect(CBaseExpander* expander, int32_t mode, float ax, float ay);
