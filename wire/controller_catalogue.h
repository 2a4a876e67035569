#pragma once

#include "wire/catalogue_entry.h"
#include "wire/controller_message.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace botpilot {

// The catalogue of the robot connection: one entry per message type, in type order, with its
// request's values and the limits the arena holds them to, the stage it is accepted in and its
// reply. The arena serves by it; the client's Controller, the fuzzers and the tests check
// themselves against it.

/// Names and types longer than this are refused. [Units: bytes]
constexpr std::size_t kMaxIdentityTextBytes = 64;

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
// The identity's texts, by byte count.
constexpr SettingLimit kRobotTypeLimit{"Robot type", 1.0, kMaxIdentityTextBytes, true};
constexpr SettingLimit kRobotNameLimit{"Robot name", 1.0, kMaxIdentityTextBytes, true};

/// The entry of a robot connection's type.
constexpr CatalogueEntry Entry(ControllerMessage type, const char* name, RequestStage stage,
                               std::initializer_list<ValueRule> values, ReplyLayout reply) {
    return Entry(static_cast<std::int32_t>(type), name, stage, values, reply);
}

/// Every message type of the robot connection, 1 to 29 in order: entry i is type i + 1.
inline constexpr CatalogueEntry kControllerCatalogue[] = {
    Entry(ControllerMessage::GetPlayingFieldSize, "GetPlayingFieldSize", RequestStage::AnyTime, {},
          OnlyValues("dd")),
    Entry(ControllerMessage::GetRobotId, "GetRobotId", RequestStage::AnyTime, {},
          ErrorTextThen("i")),
    Reserved(3),
    Reserved(4),
    Entry(ControllerMessage::SetRobotType, "SetRobotType", RequestStage::Configuring,
          {TextWithin(kRobotTypeLimit)}, ErrorTextThen("")),
    Entry(ControllerMessage::SetRobotName, "SetRobotName", RequestStage::Configuring,
          {TextWithin(kRobotNameLimit)}, ErrorTextThen("")),
    Reserved(7),
    Entry(ControllerMessage::ConfigureEngine, "ConfigureEngine", RequestStage::Configuring,
          {DoubleWithin(kMaxSpeedLimit), DoubleWithin(kMaxTurnRateLimit)}, ErrorTextThen("")),
    Entry(ControllerMessage::ConfigureScanner, "ConfigureScanner", RequestStage::Configuring,
          {DoubleWithin(kScannerRangeLimit), DoubleWithin(kScannerFieldLimit),
           DoubleWithin(kScannerTurnRateLimit)},
          ErrorTextThen("")),
    Entry(ControllerMessage::ConfigureFirstFitting, "ConfigureFirstFitting",
          RequestStage::Configuring, {DoubleWithin(kArmourLimit)}, ErrorTextThen("")),
    Entry(ControllerMessage::ConfigureTurret, "ConfigureTurret", RequestStage::Configuring,
          {DoubleWithin(kTurretTurnRateLimit), DoubleWithin(kTurretSweepLimit)}, ErrorTextThen("")),
    Entry(ControllerMessage::ConfigureGun, "ConfigureGun", RequestStage::Configuring,
          {DoubleWithin(kShellSpeedLimit), DoubleWithin(kShellRangeLimit),
           DoubleWithin(kShellDamageLimit), DoubleWithin(kRechargeLimit)},
          ErrorTextThen("")),
    Entry(ControllerMessage::ConfigureSecondFitting, "ConfigureSecondFitting",
          RequestStage::Configuring, {DoubleWithin(kRepairLimit)}, ErrorTextThen("")),
    Entry(ControllerMessage::StartRobot, "StartRobot", RequestStage::Configuring, {},
          ErrorTextThen("")),
    Reserved(15),
    Entry(ControllerMessage::GetPosition, "GetPosition", RequestStage::Running, {},
          ErrorTextThen("dd")),
    Entry(ControllerMessage::GetOrientation, "GetOrientation", RequestStage::Running, {},
          ErrorTextThen("d")),
    Entry(ControllerMessage::SetEngineSpeed, "SetEngineSpeed", RequestStage::Running,
          {FiniteDouble("Engine speed")}, ErrorTextThen("")),
    Entry(ControllerMessage::SetEngineOrientation, "SetEngineOrientation", RequestStage::Running,
          {FiniteDouble("Engine orientation")}, ErrorTextThen("")),
    Entry(ControllerMessage::GetScannerOrientation, "GetScannerOrientation", RequestStage::Running,
          {}, ErrorTextThen("d")),
    Entry(ControllerMessage::SetScannerOrientation, "SetScannerOrientation", RequestStage::Running,
          {FiniteDouble("Scanner orientation")}, ErrorTextThen("")),
    // A count, then per robot seen: id, x, y, heading, type, name.
    Entry(ControllerMessage::GetSeenRobots, "GetSeenRobots", RequestStage::Running, {},
          ErrorTextThen("i", "idddss")),
    // A count, then per shell seen: id, x, y.
    Entry(ControllerMessage::GetSeenObjects, "GetSeenObjects", RequestStage::Running, {},
          ErrorTextThen("i", "idd")),
    Reserved(24),
    Entry(ControllerMessage::GetTurretOrientation, "GetTurretOrientation", RequestStage::Running,
          {}, ErrorTextThen("d")),
    Reserved(26),
    Entry(ControllerMessage::GetGunCharge, "GetGunCharge", RequestStage::Running, {},
          ErrorTextThen("d")),
    // The shell's id, or -1 when nothing was fired.
    Entry(ControllerMessage::FireGun, "FireGun", RequestStage::Running, {}, ErrorTextThen("i")),
    Entry(ControllerMessage::SetRobotColour, "SetRobotColour", RequestStage::Configuring,
          {IntegerWithin(kRedLimit), IntegerWithin(kGreenLimit), IntegerWithin(kBlueLimit)},
          ErrorTextThen("")),
};

/// The number of message types in the catalogue, reserved ones included.
constexpr std::size_t kControllerCatalogueSize =
    sizeof kControllerCatalogue / sizeof kControllerCatalogue[0];

/// The entry of a type of the enum, at compile time where wanted.
constexpr const CatalogueEntry& Describe(ControllerMessage type) {
    return kControllerCatalogue[static_cast<std::size_t>(type) - 1];
}

/// The entry of `type`, or nullptr for a number outside the catalogue.
const CatalogueEntry* FindControllerMessage(std::int32_t type);

/// Whether `type` declares part of the robot's identity or settings: a request with values
/// that is accepted only while configuring.
bool IsConfiguration(std::int32_t type);

} // namespace botpilot
