#pragma once

#include <string>
#include <vector>

namespace botpilot {

class BattleObject;
class Robot;

/// A robot component a mode commands (body, scanner or gun). Only identity is ever compared.
using Component = const BattleObject*;

// The interface the robot calls its modes through, beside the robot: the modes library builds
// on the robot, never the other way round. Every operation of the base is inline.

/// One piece of the robot's behaviour: how much it wants to act now, which components it
/// commands, and what it does with them each cycle. The robot owns its modes; a mode only refers
/// to its robot and the robot's components.
class Mode {
  public:
    virtual ~Mode() = default;

    virtual std::string GetName() const = 0;

    /// Stores the robot (which must outlive the mode) and registers the components this mode
    /// commands; every concrete mode registers at least one.
    virtual void Attach(Robot& attachedTo) { robot = &attachedTo; }

    /// The components this mode commands, in the order registered.
    virtual const std::vector<Component>& GetResources() const { return resources; }

    /// How much this mode wants to act now; 0 or less never acts. Called several times per cycle:
    /// it must give the same score for the same state and send nothing to the server.
    virtual double GetDesirability() = 0;

    /// Called when the mode becomes current; no mode needs it yet.
    virtual void Start() {}
    /// Called when the mode stops being current; no mode needs it yet.
    virtual void Stop() {}

    /// Acts on the components, once per cycle while current. Never called before `Attach`.
    virtual void Update() = 0;

  protected:
    Mode() = default;
    Mode(const Mode&) = delete;
    Mode& operator=(const Mode&) = delete;

    void AddResource(const BattleObject& component) { resources.push_back(&component); }
    /// The robot this mode is attached to.
    Robot& GetRobot() const { return *robot; }

  private:
    std::vector<Component> resources;
    Robot* robot = nullptr; // set by Attach; the robot owns this mode
};

} // namespace botpilot
