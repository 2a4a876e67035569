#pragma once

#include "geometry/interpolation.h"
#include "world/predicted_battle_object.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace botpilot {

/// The ridge a seen object raises, worked out again only when the object's stored state or the
/// program time has changed since: the terrain asks for many heights in one decision, all at one
/// time, and the ridge's ends (the object's present and predicted positions, or its heading's
/// direction) would otherwise be worked out anew for every one of them.
class RidgeMemo {
  public:
    /// The ridge `build` makes for `object` in its present state at the present time.
    template <typename Build>
    const SegmentRidge& Get(const BattleObject& object, const Build& build) {
        const std::uint64_t now = ClockBits();
        if (!ridge || revision != object.StateRevision() || clockBits != now) {
            ridge.emplace(build());
            revision = object.StateRevision();
            clockBits = now;
        }
        return *ridge;
    }

  private:
    /// The program time's bits: a time equal in value but not in bits (0 and -0) counts as new.
    static std::uint64_t ClockBits();

    std::optional<SegmentRidge> ridge;
    std::uint64_t revision = 0;
    std::uint64_t clockBits = 0;
};

/// A robot reported by the scanner. Its potential is a ridge 5 units long straight ahead of it
/// along its heading, weight 50 at the robot falling to 30 at the far end, width 2.
class SeenRobot final : public PredictedBattleObject {
  public:
    std::unique_ptr<PredictedBattleObject> Create() const override;
    double Height(double x, double y) const override;
    /// The ridge itself, as it stands now.
    void AddTerms(FeatureSum& sum) const override;

  private:
    const SegmentRidge& Ridge() const;

    mutable RidgeMemo ridge;
};

/// Any other object reported by the scanner (a shell). Its potential is a ridge along where it
/// will be during the next 5 seconds, weight 100 falling to 70, width 1.
class SeenObject final : public PredictedBattleObject {
  public:
    std::unique_ptr<PredictedBattleObject> Create() const override;
    double Height(double x, double y) const override;
    /// The ridge itself, as it stands now.
    void AddTerms(FeatureSum& sum) const override;

  private:
    const SegmentRidge& Ridge() const;

    mutable RidgeMemo ridge;
};

} // namespace botpilot
