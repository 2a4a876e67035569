#pragma once

#include "link/server_interface.h"
#include "wire/controller_message.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace botpilot {

/// One robot reported by the scanner.
struct RobotSighting {
    std::int32_t id = 0;
    double x = 0.0;
    double y = 0.0;
    double orientation = 0.0; ///< [Units: radians]
    std::string type;         ///< kept as reported, not used by the client
    std::string name;         ///< kept as reported, not used by the client
};

/// One other object (a shell) reported by the scanner.
struct ObjectSighting {
    std::int32_t id = 0;
    double x = 0.0;
    double y = 0.0;
};

/// The robot's one channel to the server: one operation per request. Every reply but the field
/// size's starts with an error text; a non-empty one is thrown as std::runtime_error unchanged.
class Controller final : public ServerInterface {
  public:
    /// The process's controller. The first call creates it and then connects it to the server
    /// host and port of the process settings (so a failed connect leaves it created but unusable).
    static Controller& Instance();

    /// Makes `replacement` the process's controller from now on (the previous one is destroyed).
    /// Only tests call this, to drive robots over a scripted channel.
    static void SetInstanceForTesting(std::unique_ptr<Controller> replacement);

    /// A controller on its own TCP connection, not yet connected.
    Controller();
    /// A controller on another channel, such as a scripted one in tests.
    explicit Controller(std::unique_ptr<MessageChannel> channel);

    /// Field width and height, read from the very start of the reply (it has no error text).
    std::pair<double, double> GetPlayingFieldSize();
    std::int32_t GetRobotId();
    void SetRobotType(const std::string& type);
    void SetRobotName(const std::string& name);
    void ConfigureEngine(double maxSpeed, double maxTurnRate);
    void ConfigureScanner(double first, double second, double third);
    void ConfigureFirstFitting(double setting);
    void ConfigureTurret(double first, double second);
    void ConfigureGun(double first, double second, double third, double fourth);
    void ConfigureSecondFitting(double setting);
    void StartRobot();
    /// The body's position (x, y).
    std::pair<double, double> GetPosition();
    /// The body's orientation. [Units: radians]
    double GetOrientation();
    /// [Units: percent of the body's maximum speed; negative reverses]
    void SetEngineSpeed(double speed);
    /// [Units: radians, normalised to (-pi, pi]]
    void SetEngineOrientation(double orientation);
    double GetScannerOrientation();
    /// [Units: radians, normalised to (-pi, pi]]
    void SetScannerOrientation(double orientation);
    std::vector<RobotSighting> GetSeenRobots();
    std::vector<ObjectSighting> GetSeenObjects();
    double GetTurretOrientation();
    double GetGunCharge();
    /// 0 or more when the shot was fired.
    std::int32_t FireGun();
    void SetRobotColour(std::int32_t red, std::int32_t green, std::int32_t blue);

  private:
    /// Sends the hold's request and returns its reply after the error text, throwing a non-empty
    /// one. The reply is valid while the hold lasts.
    static Message& Request(ExchangeHold& exchange, ControllerMessage type);
    /// A request of doubles only, in order; its reply holds nothing but the error text. The
    /// catalogue's entry of `type` must say so.
    template <ControllerMessage type, typename... Doubles> void RequestDoubles(Doubles... values);
    /// A request without values whose reply holds one double after the error text, as the
    /// catalogue's entry of `type` must say.
    template <ControllerMessage type> double RequestDouble();
};

} // namespace botpilot
