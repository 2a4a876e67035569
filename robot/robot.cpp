#include "robot/robot.h"

#include "diagnostics/timer.h"
#include "link/controller.h"
#include "world/playing_field.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <utility>

namespace botpilot {

namespace {

template <typename Item> bool Holds(const std::vector<Item>& list, const Item& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

Robot::Robot()
    : scanner(body), turret(body), gun(body), firstFitting(body, Fitting::Slot::First, 50.0),
      secondFitting(body, Fitting::Slot::Second, 1.5) {}

Robot::~Robot() = default;

void Robot::AddMode(std::unique_ptr<Mode> mode) {
    modes.push_back(std::move(mode));
}

void Robot::Configure() {
    identity.Announce();
    body.Declare();
    scanner.Declare();
    turret.Declare();
    gun.Declare();
    firstFitting.Declare();
    secondFitting.Declare();
    terrain.AddSource(PlayingField::Instance());
    terrain.AddSource(scanner.objectField);
    terrain.AddSource(scanner.robotField);
    for (const std::unique_ptr<Mode>& mode : modes) {
        mode->Attach(*this);
    }
}

void Robot::Start() {
    Controller::Instance().StartRobot();
}

void Robot::Update() {
    Timer section("Robot::Update");
    UpdateHardware();
    SetCurrentModes();
    UpdateCurrentModes();
}

void Robot::UpdateHardware() {
    Timer section("Robot::UpdateHardware");
    PollSlowValue();
    scanner.RefreshRobots();
    scanner.RefreshObjects();
    body.RefreshHeading();
    body.RefreshPosition();
}

void Robot::PollSlowValue() {
    switch (pollIndex) {
    case 0:
        scanner.RefreshOrientation();
        break;
    case 1:
        if (turret.IsActive()) {
            turret.RefreshOrientation();
        }
        break;
    default:
        gun.RefreshCharge();
        break;
    }
    // Advanced only after a successful read; an inactive turret's turn is skipped, so without
    // one the scanner and the gun alternate.
    ++pollIndex;
    if (pollIndex == 1 && !turret.IsActive()) {
        ++pollIndex;
    }
    if (pollIndex == 3) {
        pollIndex = 0;
    }
}

void Robot::SetCurrentModes() {
    Timer section("Robot::SetCurrentModes");
    claimed.clear();
    chosen.clear();
    // Each pass picks the best mode that shares no component with those already chosen; a
    // chosen mode's own components keep it from being picked again.
    while (Mode* best = ChooseBestMode(claimed)) {
        chosen.push_back(best);
        const std::vector<Component>& resources = best->GetResources();
        claimed.insert(claimed.end(), resources.begin(), resources.end());
    }

    bool changed = false;
    // Every Stop comes before any Start.
    for (Mode* mode : currentModes) {
        if (!Holds(chosen, mode)) {
            mode->Stop();
            changed = true;
        }
    }
    for (Mode* mode : chosen) {
        if (!Holds(currentModes, mode)) {
            mode->Start();
            changed = true;
        }
    }
    // The same modes in another order are no change: the old order stays.
    if (changed) {
        currentModes.swap(chosen); // the old list's storage serves the next cycle's choice
        // Built whole and written at once; the line's storage is kept for the next change.
        modesLine.assign("Active modes: ");
        for (const Mode* mode : currentModes) {
            modesLine.append(mode->GetName()).append(" ");
        }
        std::cerr << modesLine << std::endl;
    }
    claimed.clear();
    chosen.clear();
}

Mode* Robot::ChooseBestMode(const std::vector<Component>& claimed) {
    double bestScore = 0.0;
    Mode* best = nullptr;
    for (const std::unique_ptr<Mode>& mode : modes) {
        // Strictly greater: equal scores keep the earlier mode, and 0 or NaN never wins.
        if (!(mode->GetDesirability() > bestScore)) {
            continue;
        }
        const std::vector<Component>& resources = mode->GetResources();
        const bool conflicts = std::any_of(resources.begin(), resources.end(),
                                           [&](Component c) { return Holds(claimed, c); });
        if (conflicts) {
            continue;
        }
        best = mode.get();
        bestScore = mode->GetDesirability();
    }
    return best;
}

void Robot::UpdateCurrentModes() {
    Timer section("Robot::UpdateCurrentModes");
    for (Mode* mode : currentModes) {
        // The section's name is built only when someone is timing.
        const std::string sectionName =
            TimerEnabled() ? "Robot::UpdateCurrentModes - " + mode->GetName() : std::string();
        Timer modeSection(sectionName);
        mode->Update();
    }
}

} // namespace botpilot
