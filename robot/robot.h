#pragma once

#include "robot/body.h"
#include "robot/devices.h"
#include "robot/mode.h"
#include "robot/robot_identity.h"
#include "robot/scanner.h"
#include "world/terrain.h"

#include <memory>
#include <string>
#include <vector>

namespace botpilot {

/// The controlled robot as the client sees it: its identity, its components, the terrain it
/// steers by and its behaviour modes. It declares itself once, then each cycle reads its
/// hardware, chooses the current modes and lets them act.
class Robot {
  public:
    Robot();
    ~Robot();
    Robot(const Robot&) = delete;
    Robot& operator=(const Robot&) = delete;

    // The parts, read and commanded by the modes. Built in this order; the devices are mounted on
    // the body.
    RobotIdentity identity;
    Body body;
    Scanner scanner;
    Turret turret;
    Gun gun;
    Fitting firstFitting;
    Fitting secondFitting;
    /// The danger map: walls, seen objects and seen robots once configured.
    Terrain terrain;

    /// Takes the mode over; it is attached only by `Configure`.
    void AddMode(std::unique_ptr<Mode> mode);

    /// Declares identity and hardware to the server in a fixed order, adds the terrain's sources
    /// and attaches every mode.
    void Configure();
    /// Starts the robot in the simulation.
    void Start();
    /// One cycle: hardware, choice of modes, action; each timed.
    void Update();

    // The steps of a cycle, public so that they can be exercised one by one.

    /// Reads one slow value, the robots seen, the other objects seen, the heading, the position.
    void UpdateHardware();
    /// Reads one slowly changing value in rotation: scanner, turret (only when active), gun.
    void PollSlowValue();
    /// Chooses the best compatible set of modes and starts and stops modes to match it.
    void SetCurrentModes();
    /// The best-scoring mode (strictly above 0) that commands none of the claimed components;
    /// of equal scores the earlier mode wins. Null when there is none.
    Mode* ChooseBestMode(const std::vector<Component>& claimed);
    /// Updates each current mode in order.
    void UpdateCurrentModes();

    /// Which slow value `PollSlowValue` reads next: 0 scanner, 1 turret, 2 gun.
    int PollIndex() const { return pollIndex; }
    const std::vector<std::unique_ptr<Mode>>& Modes() const { return modes; }
    const std::vector<Mode*>& CurrentModes() const { return currentModes; }

  private:
    int pollIndex = 0;
    std::vector<std::unique_ptr<Mode>> modes;
    std::vector<Mode*> currentModes; // each owned by `modes`
    // The working lists of SetCurrentModes, kept so that a cycle reuses their storage; empty
    // between cycles.
    std::vector<Component> claimed;
    std::vector<Mode*> chosen;
    std::string modesLine; // the "Active modes: " line, its storage kept
};

} // namespace botpilot
