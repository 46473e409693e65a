// The reference scene: the room (room.h) with the compass ring (compass_ring.h) in front of it.
#pragma once

#include "tools/scene/direction.h"
#include "tools/scene/room.h"

namespace tools::scene {

// The colour the camera sees in a direction: the compass ring where it covers the direction,
// otherwise the room.
Rgba SceneColour(const Direction& d);
// The same for a unit vector.
Rgba SceneColour(const Vec3& v);

} // namespace tools::scene
