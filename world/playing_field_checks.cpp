// Built-in check of the playing field's wall potential.

#include "geometry/check_helpers.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"
#include "world/world_checks.h"

namespace botpilot {

using checks::ExpectNear;

void TestPlayingFieldHeight() {
    const checks::ScopedPlayingFieldSize size; // 30 by 20
    const PlayingField& field = PlayingField::Instance();
    // On a wall, halfway along it.
    ExpectNear(30.0, field.Height(15.0, 0.0));
    ExpectNear(30.0, field.Height(-15.0, 0.0));
    ExpectNear(30.0, field.Height(0.0, 10.0));
    ExpectNear(30.0, field.Height(0.0, -10.0));
    // In the corners, two walls meet.
    ExpectNear(60.0, field.Height(15.0, 10.0));
    ExpectNear(60.0, field.Height(-15.0, 10.0));
    ExpectNear(60.0, field.Height(15.0, -10.0));
    ExpectNear(60.0, field.Height(-15.0, -10.0));
    // The centre is far from every wall.
    ExpectNear(0.0, field.Height(0.0, 0.0));
}

} // namespace botpilot
