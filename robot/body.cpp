#include "robot/body.h"

#include "geometry/clock.h"
#include "link/controller.h"

namespace botpilot {

void Body::Declare() const {
    Controller::Instance().ConfigureEngine(maxSpeed, maxTurnRate);
}

void Body::RefreshHeading() {
    const double heading = Controller::Instance().GetOrientation();
    // The clock moves to the reply's arrival before the reading is stamped with it.
    Clock::Update();
    SetHeading(heading);
}

void Body::RefreshPosition() {
    const auto [x, y] = Controller::Instance().GetPosition();
    Clock::Update();
    SetPosition(x, y);
}

void Body::SetEngineSpeed(double speed) {
    if (sentEngineSpeed.Update(speed)) {
        Controller::Instance().SetEngineSpeed(speed);
    }
}

void Body::SetEngineOrientation(Angle orientation) {
    const double normalised = orientation.Normalise().Radians();
    if (sentEngineOrientation.Update(normalised)) {
        Controller::Instance().SetEngineOrientation(normalised);
    }
}

} // namespace botpilot
