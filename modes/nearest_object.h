#pragma once

#include "geometry/angle.h"
#include "geometry/point.h"

namespace botpilot {

class BattleObject;
class ObjectField;
class PredictedBattleObject;

/// The object of `field` nearest to `from` (at its position predicted to now), or null when the
/// field is empty. Of equally near objects the first in id order wins; objects 1,000,000 units
/// or more away are never found (far beyond any playing field).
const PredictedBattleObject* FindNearestObject(const ObjectField& field, Point from);

/// Where the scanner must point to see the object of `field` nearest to `body`: its bearing
/// from the body minus the body's normalised heading, left unnormalised (the scanner normalises
/// what it sends). 0 (straight ahead) when the field is empty. [Units: rad, in (−2π, 2π]]
Angle RelativeBearingOfNearest(const ObjectField& field, const BattleObject& body);

} // namespace botpilot
