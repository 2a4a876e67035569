#include "world/mounted_battle_object.h"

#include "geometry/clock.h"

namespace botpilot {

MountedBattleObject::MountedBattleObject(BattleObject& mount)
    : mount(mount), relativeHeadingTime(Clock::Now()) {}

Point MountedBattleObject::Position() const {
    return mount.Position();
}

void MountedBattleObject::SetPosition(double x, double y) {
    mount.SetPosition(x, y);
}

double MountedBattleObject::PositionTime() const {
    return mount.PositionTime();
}

Point MountedBattleObject::Velocity() const {
    return mount.Velocity();
}

void MountedBattleObject::SetVelocity(double vx, double vy) {
    mount.SetVelocity(vx, vy);
}

double MountedBattleObject::VelocityTime() const {
    return mount.VelocityTime();
}

Angle MountedBattleObject::Heading() const {
    return Angle(relativeHeading.Normalise().Radians() + mount.Heading().Normalise().Radians());
}

void MountedBattleObject::SetHeading(Angle angle) {
    SetRelativeHeading(Angle(angle.Normalise().Radians() - mount.Heading().Normalise().Radians()));
}

double MountedBattleObject::HeadingTime() const {
    return mount.HeadingTime();
}

void MountedBattleObject::SetRelativeHeading(Angle angle) {
    relativeHeading = angle;
    relativeHeadingTime = Clock::Now();
}

} // namespace botpilot
