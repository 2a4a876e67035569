#pragma once

#include <cstdint>

namespace botpilot {

/// The message types of the robot connection that are served; what each holds is in the
/// catalogue (controller_catalogue.h), which also lists the types 3, 4, 7, 15, 24 and 26 that
/// the protocol has taken but neither this client nor this arena uses.
enum class ControllerMessage : std::int32_t {
    GetPlayingFieldSize = 1,
    GetRobotId = 2,
    SetRobotType = 5,
    SetRobotName = 6,
    ConfigureEngine = 8,
    ConfigureScanner = 9,
    ConfigureFirstFitting = 10,
    ConfigureTurret = 11,
    ConfigureGun = 12,
    ConfigureSecondFitting = 13,
    StartRobot = 14,
    GetPosition = 16,
    GetOrientation = 17,
    SetEngineSpeed = 18,
    SetEngineOrientation = 19,
    GetScannerOrientation = 20,
    SetScannerOrientation = 21,
    GetSeenRobots = 22,
    GetSeenObjects = 23,
    GetTurretOrientation = 25,
    GetGunCharge = 27,
    FireGun = 28,
    SetRobotColour = 29,
};

/// The client name and interface code of the robot connection's handshake.
constexpr const char* kControllerClientName = "Controller";
constexpr std::int32_t kControllerInterfaceCode = 4;

} // namespace botpilot
