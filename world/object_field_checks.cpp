// Built-in checks of the object field: growth and the three purge rules.

#include "geometry/check_helpers.h"
#include "geometry/clock.h"
#include "world/check_scopes.h"
#include "world/object_field.h"
#include "world/world_checks.h"

#include <memory>

namespace botpilot {

using checks::ExpectExactly;

namespace {

constexpr double kOff = -1.0; // an age limit that is switched off

ObjectField PlainField(double maxAge, double maxSingleObservationAge) {
    return ObjectField(std::make_unique<PredictedBattleObject>(), maxAge, maxSingleObservationAge);
}

void ExpectSize(std::size_t expected, const ObjectField& field) {
    ExpectExactly(static_cast<double>(expected), static_cast<double>(field.Size()));
}

void ExpectListed(std::size_t expected, const ObjectField& field) {
    ExpectExactly(static_cast<double>(expected), static_cast<double>(field.Objects().size()));
}

} // namespace

void TestObjectField() {
    ObjectField field = PlainField(kOff, kOff);
    ExpectSize(0, field);
    ExpectListed(0, field);
    field.Get(3);
    ExpectSize(1, field);
    ExpectListed(1, field);
    field.Get(4);
    ExpectSize(2, field);
    ExpectListed(2, field);
    field.Get(3); // present: nothing new
    ExpectSize(2, field);
    // Plain predicted objects carry no potential.
    ExpectExactly(0.0, field.Height(0.0, 0.0));
    ExpectExactly(0.0, field.Height(-7.0, 3.0));
}

void TestObjectFieldPurgePlayingField() {
    const checks::ScopedClock clock(0.0);
    const checks::ScopedPlayingFieldSize size; // 30 by 20
    ObjectField field = PlainField(kOff, kOff);
    field.Get(1);
    field.Get(2);
    field.Get(3);
    field.Purge();
    ExpectSize(3, field); // all at the origin

    // One second after creation: each velocity equals its position, per second.
    Clock::Advance(1.0);
    field.Get(1).SetPosition(1.0, 1.0);
    field.Get(2).SetPosition(-2.0, -3.0);
    field.Get(3).SetPosition(-0.5, 0.5);
    field.Purge();
    ExpectSize(3, field);

    Clock::Advance(4.0); // object 2 at (−10, −15): below the field
    field.Purge();
    ExpectSize(2, field);

    Clock::Advance(6.0); // object 1 at (11, 11): above it
    field.Purge();
    ExpectSize(1, field);

    Clock::Advance(20.0); // object 3 at (−15.5, 15.5)
    field.Purge();
    ExpectSize(0, field);
}

void TestObjectFieldPurgeTooOld() {
    const checks::ScopedClock clock(0.0);
    const checks::ScopedPlayingFieldSize size;
    ObjectField field = PlainField(10.0, kOff);
    field.Get(1).SetPosition(1.0, 1.0);
    Clock::Advance(5.0);
    field.Purge();
    ExpectSize(1, field);

    field.Get(1).SetPosition(2.0, 1.0);
    Clock::Advance(6.0);
    field.Purge();
    ExpectSize(1, field); // age 6

    Clock::Advance(6.0);
    field.Purge();
    ExpectSize(0, field); // age 12 > 10
}

void TestObjectFieldPurgeTooOldSingleObservation() {
    const checks::ScopedClock clock(0.0);
    const checks::ScopedPlayingFieldSize size;
    ObjectField field = PlainField(10.0, 5.0);
    field.Get(1).SetPosition(1.0, 1.0);
    Clock::Advance(3.0);
    field.Purge();
    ExpectSize(1, field);

    Clock::Advance(3.0);
    field.Purge();
    ExpectSize(0, field); // age 6 > 5 with one observation
}

} // namespace botpilot
