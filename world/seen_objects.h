#pragma once

#include "world/predicted_battle_object.h"

#include <memory>

namespace botpilot {

/// A robot reported by the scanner. Its potential is a ridge 5 units long straight ahead of it
/// along its heading, weight 50 at the robot falling to 30 at the far end, width 2.
class SeenRobot final : public PredictedBattleObject {
  public:
    std::unique_ptr<PredictedBattleObject> Create() const override;
    double Height(double x, double y) const override;
};

/// Any other object reported by the scanner (a shell). Its potential is a ridge along where it
/// will be during the next 5 seconds, weight 100 falling to 70, width 1.
class SeenObject final : public PredictedBattleObject {
  public:
    std::unique_ptr<PredictedBattleObject> Create() const override;
    double Height(double x, double y) const override;
};

} // namespace botpilot
