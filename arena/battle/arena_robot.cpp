#include "arena/battle/arena_robot.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cmath>

namespace botarena {

const char* StageName(RobotStage stage) {
    switch (stage) {
    case RobotStage::Configuring:
        return "configuring";
    case RobotStage::Running:
        return "alive";
    case RobotStage::Destroyed:
        return "destroyed";
    case RobotStage::Departed:
        return "departed";
    case RobotStage::Survived:
        return "survived";
    }
    return "unknown";
}

void RobotRecord::Add(const RobotRecord& other) {
    tookPart = tookPart || other.tookPart;
    timeAlive += other.timeAlive;
    distance += other.distance;
    shots += other.shots;
    hits += other.hits;
    damageDealt += other.damageDealt;
    damageTaken += other.damageTaken;
    outlived += other.outlived;
    bonusPoints += other.bonusPoints;
}

void ArenaRobot::Start(const BodyState& at) {
    body = at;
    body.heading = NormaliseRadians(at.heading);
    order = EngineOrder{0.0, body.heading};
    gunCharge = 100.0;
    hitPoints = settings.armour;
    stage = RobotStage::Running;
    record.tookPart = true;
}

void ArenaRobot::Depart() {
    gone = true;
    if (stage == RobotStage::Running) {
        stage = RobotStage::Departed;
    }
}

void ArenaRobot::Survive() {
    if (stage == RobotStage::Running) {
        stage = RobotStage::Survived;
    }
}

RobotRecord ArenaRobot::Totals() const {
    RobotRecord totals = earlier;
    totals.Add(record);
    return totals;
}

void ArenaRobot::CloseRecord() {
    earlier.Add(record);
    record = RobotRecord{};
}

void ArenaRobot::SetEngineOrientation(double radians) {
    order.orientation = NormaliseRadians(radians);
}

void ArenaRobot::SetScannerTarget(double relativeRadians) {
    scannerTarget = NormaliseRadians(relativeRadians);
}

double ArenaRobot::ScannerHeading() const {
    return NormaliseRadians(body.heading + scannerOrientation);
}

double ArenaRobot::GunHeading() const {
    return NormaliseRadians(body.heading + turretOrientation);
}

void ArenaRobot::UpdateHardware(double dt) {
    scannerOrientation = TurnToward(scannerOrientation, scannerTarget,
                                    settings.scanner.turnRate * kRadiansPerDegree * dt);

    const TurretSettings& turret = settings.turret;
    if (turret.IsActive()) {
        // The turret swings to and fro between its two limits at its own rate.
        const double limit = turret.sweepAngle * kRadiansPerDegree;
        turretOrientation += turretDirection * turret.turnRate * kRadiansPerDegree * dt;
        if (turretOrientation >= limit) {
            turretOrientation = limit;
            turretDirection = -1.0;
        } else if (turretOrientation <= -limit) {
            turretOrientation = -limit;
            turretDirection = 1.0;
        }
    } else {
        turretOrientation = 0.0;
    }

    gunCharge = std::min(100.0, gunCharge + 100.0 / settings.gun.rechargeSeconds * dt);
    if (hitPoints > 0.0) {
        hitPoints = std::min(settings.armour, hitPoints + settings.repair * dt);
    }
}

bool ArenaRobot::TryDischargeGun() {
    if (gunCharge < kFiringCharge) {
        return false;
    }
    gunCharge = 0.0;
    return true;
}

void ArenaRobot::MoveTo(const BodyState& next, double dt) {
    record.distance += std::hypot(next.x - body.x, next.y - body.y);
    record.timeAlive += dt;
    body = next;
}

double ArenaRobot::TakeDamage(double amount) {
    const double lost = std::clamp(amount, 0.0, hitPoints);
    hitPoints -= lost;
    record.damageTaken += lost;
    if (hitPoints <= 0.0) {
        hitPoints = 0.0;
        stage = RobotStage::Destroyed;
    }
    return lost;
}

} // namespace botarena
