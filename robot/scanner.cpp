#include "robot/scanner.h"

#include "geometry/clock.h"
#include "link/controller.h"
#include "world/seen_objects.h"

#include <memory>

namespace botpilot {

namespace {

/// How long a robot is remembered after its last sighting. [Units: s]
constexpr double kRobotMaxAge = 3.0;
/// How long an object seen only once is remembered. [Units: s]
constexpr double kObjectSingleObservationAge = 1.0;
/// Switches an age rule off.
constexpr double kRuleOff = -1.0;

} // namespace

Scanner::Scanner(BattleObject& body)
    : MountedBattleObject(body), robotField(std::make_unique<SeenRobot>(), kRobotMaxAge, kRuleOff),
      objectField(std::make_unique<SeenObject>(), kRuleOff, kObjectSingleObservationAge) {}

void Scanner::Declare() const {
    Controller::Instance().ConfigureScanner(setting1, setting2, setting3);
}

void Scanner::RefreshRobots() {
    const std::vector<RobotSighting> robots = Controller::Instance().GetSeenRobots();
    Clock::Update();
    for (const RobotSighting& sighting : robots) {
        PredictedBattleObject& robot = robotField.Get(sighting.id);
        robot.SetPosition(sighting.x, sighting.y);
        robot.SetHeading(sighting.orientation);
    }
    robotField.Purge();
}

void Scanner::RefreshObjects() {
    const std::vector<ObjectSighting> objects = Controller::Instance().GetSeenObjects();
    Clock::Update();
    for (const ObjectSighting& sighting : objects) {
        objectField.Get(sighting.id).SetPosition(sighting.x, sighting.y);
    }
    objectField.Purge();
}

void Scanner::RefreshOrientation() {
    const double orientation = Controller::Instance().GetScannerOrientation();
    Clock::Update();
    SetRelativeHeading(orientation);
}

void Scanner::SetOrientation(Angle orientation) {
    const double normalised = orientation.Normalise().Radians();
    if (scannerOrientation.Update(normalised)) {
        Controller::Instance().SetScannerOrientation(normalised);
    }
}

} // namespace botpilot
