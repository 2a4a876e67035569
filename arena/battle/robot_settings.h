#pragma once

#include "arena/battle/body_motion.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

/// Every declared setting of one robot. The defaults are the client's default robot.
struct RobotSettings {
    EngineLimits engine;
    ScannerSettings scanner;
    TurretSettings turret;
    GunSettings gun;
    double armour = 50.0; ///< first fitting: hit points at start [Limit: [1, 1000]]
    double repair = 1.5;  ///< second fitting: [Units: hit points per second] [Limit: [0, 100]]
};

/// Names and colours longer than this are refused. [Units: bytes]
constexpr std::size_t kMaxIdentityTextBytes = 64;

/// One accepted interval for a setting, for the checks below and for the rules table.
struct SettingLimit {
    const char* what; ///< e.g. "Engine maximum speed"
    double low;
    double high;
    bool lowIncluded; ///< whether `low` itself is accepted
};

/// nothing when `value` lies within the limit (NaN never does), else the refusal text, such
/// as "Engine maximum speed 25 is out of range (0, 20]".
std::optional<std::string> CheckSetting(const SettingLimit& limit, double value);

/// nothing for a text of 1 to kMaxIdentityTextBytes bytes, else the refusal text.
std::optional<std::string> CheckIdentityText(const char* what, const std::string& text);

/// nothing for a colour component in 0..255, else the refusal text.
std::optional<std::string> CheckColour(const char* what, std::int32_t value);

// The accepted intervals of every setting. A lower bound above 0 keeps each value sensible: a
// shell crosses the default field within 6 s (speed at least 5 units/s), a gun takes at least
// ten steps to recharge, and nothing is so small that it only costs work.
constexpr SettingLimit kMaxSpeedLimit{"Engine maximum speed", 0.1, 20.0, true};
constexpr SettingLimit kMaxTurnRateLimit{"Engine turning rate", 1.0, 720.0, true};
constexpr SettingLimit kScannerRangeLimit{"Scanner range", 0.5, 100.0, true};
constexpr SettingLimit kScannerFieldLimit{"Scanner field of view", 1.0, 360.0, true};
constexpr SettingLimit kScannerTurnRateLimit{"Scanner turning rate", 1.0, 720.0, true};
constexpr SettingLimit kTurretTurnRateLimit{"Turret turning rate", 0.0, 720.0, true};
constexpr SettingLimit kTurretSweepLimit{"Turret sweep angle", 0.0, 180.0, true};
constexpr SettingLimit kShellSpeedLimit{"Gun shell speed", 0.5, 5.0, true};
constexpr SettingLimit kShellRangeLimit{"Gun shell range", 0.5, 100.0, true};
constexpr SettingLimit kShellDamageLimit{"Gun damage", 0.0, 1000.0, true};
constexpr SettingLimit kRechargeLimit{"Gun recharge time", 0.1, 60.0, true};
constexpr SettingLimit kArmourLimit{"Armour", 1.0, 1000.0, true};
constexpr SettingLimit kRepairLimit{"Repair rate", 0.0, 100.0, true};

} // namespace botarena
