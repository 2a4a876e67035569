#pragma once

#include "arena/battle/body_motion.h"

#include <cstdint>
#include <string>

namespace botarena {

/// Who a robot is. The defaults are the client's default robot.
struct RobotIdentity {
    std::string name = "Nolix";
    std::string type = "Plimb";
    std::int32_t red = 0;
    std::int32_t green = 255;
    std::int32_t blue = 0;
};

/// What the scanner can do, as declared by ConfigureScanner (in that order).
struct ScannerSettings {
    double range = 10.0;       ///< [Units: field units] [Limit: [0.5, 100]]
    double fieldOfView = 60.0; ///< whole angle of the cone [Units: degrees] [Limit: [1, 360]]
    double turnRate = 60.0;    ///< [Units: degrees per second] [Limit: [1, 720]]
};

/// The turret, as declared by ConfigureTurret. Inactive when either value is 0.
struct TurretSettings {
    double turnRate = 0.0; ///< [Units: degrees per second] [Limit: [0, 720]]
    double sweepAngle =
        0.0; ///< swing either side of the body's heading [Units: degrees] [Limit: [0, 180]]

    bool IsActive() const { return turnRate != 0.0 && sweepAngle != 0.0; }
};

/// The gun, as declared by ConfigureGun (in that order).
struct GunSettings {
    double speedTenths =
        1.3;             ///< shell speed / 10 [Units: field units per second] [Limit: [0.5, 5]]
    double range = 4.0;  ///< shell's reach [Units: field units] [Limit: [0.5, 100]]
    double damage = 2.0; ///< hit points a hit removes [Limit: [0, 1000]]
    double rechargeSeconds = 4.5; ///< from charge 0 to 100 [Units: s] [Limit: [0.1, 60]]

    double ShellSpeed() const { return speedTenths * 10.0; }
};

/// Every declared setting of one robot. The defaults are the client's default robot; the limits
/// are those the robot connection's catalogue holds each declared value to
/// (wire/controller_catalogue.h).
struct RobotSettings {
    EngineLimits engine;
    ScannerSettings scanner;
    TurretSettings turret;
    GunSettings gun;
    double armour = 50.0; ///< first fitting: hit points at start [Limit: [1, 1000]]
    double repair = 1.5;  ///< second fitting: [Units: hit points per second] [Limit: [0, 100]]
};

} // namespace botarena
