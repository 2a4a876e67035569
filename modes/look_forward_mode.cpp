#include "modes/look_forward_mode.h"

namespace botpilot {

namespace {

/// Low enough for any other scanner mode with something to look at to win the scanner.
constexpr double kScore = 0.1;

} // namespace

std::string LookForwardMode::GetName() const {
    return "LookForward";
}

double LookForwardMode::GetDesirability() {
    return kScore;
}

Angle LookForwardMode::GetDesiredOrientation() {
    return Angle(0.0);
}

} // namespace botpilot
