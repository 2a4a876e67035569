#pragma once

#include "modes/orientation_mode.h"

#include <string>

namespace botpilot {

/// Turns the scanner towards the nearest object while some object has been seen only once, so
/// that a second sighting follows before the scanner's object field forgets it (one second
/// after a single sighting).
class SecondSightingMode final : public OrientationMode {
  public:
    SecondSightingMode() = default;

    /// "SecondSighting".
    std::string GetName() const override;
    /// 0.8 while some object of the scanner's object field has been observed exactly once,
    /// else 0.
    double GetDesirability() override;
    /// The bearing of the nearest object of the object field (whatever its observation count,
    /// so not necessarily the one seen once) relative to the body's normalised heading, not
    /// normalised; 0 when the field is empty. [Units: rad]
    Angle GetDesiredOrientation() override;
};

} // namespace botpilot
