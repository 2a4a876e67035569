#pragma once

#include "modes/orientation_mode.h"

#include <string>

namespace botpilot {

/// The scanner's fallback: points it straight ahead along the body's heading. Its small positive
/// score means the scanner is never left without a mode on a robot that carries it.
class LookForwardMode final : public OrientationMode {
  public:
    LookForwardMode() = default;

    /// "LookForward".
    std::string GetName() const override;
    /// Always 0.1: below every other scanner mode that wants the scanner.
    double GetDesirability() override;
    /// Always 0 relative to the body: straight ahead. [Units: rad]
    Angle GetDesiredOrientation() override;
};

} // namespace botpilot
