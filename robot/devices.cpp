#include "robot/devices.h"

#include "geometry/clock.h"
#include "link/controller.h"

namespace botpilot {

void Turret::Declare() const {
    Controller::Instance().ConfigureTurret(setting1, setting2);
}

void Turret::RefreshOrientation() {
    const double orientation = Controller::Instance().GetTurretOrientation();
    Clock::Update();
    SetRelativeHeading(orientation);
}

void Gun::Declare() const {
    Controller::Instance().ConfigureGun(setting1, setting2, setting3, setting4);
}

void Gun::RefreshCharge() {
    charge = Controller::Instance().GetGunCharge();
}

std::int32_t Gun::Fire() {
    const std::int32_t result = Controller::Instance().FireGun();
    if (result >= 0) {
        charge = 0.0;
    }
    return result;
}

void Fitting::Declare() const {
    if (slot == Slot::First) {
        Controller::Instance().ConfigureFirstFitting(setting);
    } else {
        Controller::Instance().ConfigureSecondFitting(setting);
    }
}

} // namespace botpilot
