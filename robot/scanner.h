#pragma once

#include "geometry/angle.h"
#include "geometry/cached_double.h"
#include "world/mounted_battle_object.h"
#include "world/object_field.h"

namespace botpilot {

/// The rotatable sensor on the body, and its memory of what it has seen: robots are kept for
/// three seconds after their last sighting; other objects (shells) are dropped one second after a
/// single sighting unless seen again.
class Scanner final : public MountedBattleObject {
  public:
    /// `body` must outlive the scanner.
    explicit Scanner(BattleObject& body);

    /// Declared to the server as they stand; their meaning is the server's.
    double setting1 = 10.0;
    double setting2 = 60.0;
    double setting3 = 60.0;

    ObjectField robotField;
    ObjectField objectField;

    void Declare() const;
    /// Reads the robots seen into `robotField`, then purges it.
    void RefreshRobots();
    /// Reads the other objects seen into `objectField`, then purges it.
    void RefreshObjects();
    /// Reads the scanner's orientation relative to the body.
    void RefreshOrientation();

    /// Sends the orientation relative to the body, normalised into (-pi, pi], unless it is
    /// within 0.0001 of the last one sent.
    void SetOrientation(Angle orientation);

  private:
    CachedDouble scannerOrientation;
};

} // namespace botpilot
