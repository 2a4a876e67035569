#include "geometry/clock.h"
#include "world/check_scopes.h"
#include "world/object_field.h"
#include "world/seen_objects.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace botpilot {
namespace {

constexpr double kOff = -1.0;

std::vector<std::int32_t> Ids(const ObjectField& field) {
    std::vector<std::int32_t> ids;
    for (const PredictedBattleObject& object : field.Objects()) {
        ids.push_back(object.Id());
    }
    return ids;
}

struct Sighting {
    std::int32_t id;
    double x;
    double y;
};

/// Advance the clock, record the sightings, purge, and expect these ids to remain.
struct Step {
    double advance; ///< [Units: s]
    std::vector<Sighting> sightings;
    std::vector<std::int32_t> remaining;
};

struct PurgeScenario {
    std::string name;
    double maxAge;
    double maxSingleObservationAge;
    std::vector<std::int32_t> created; ///< made at time 0 with `Get`, never observed
    std::vector<Step> steps;
};

TEST(ObjectFieldTest, PurgesByFieldAgeAndSingleSighting) {
    const PurgeScenario scenarios[] = {
        {"leaving the 30 by 20 field",
         kOff,
         kOff,
         {1, 2, 3},
         {{0.0, {}, {1, 2, 3}},
          {1.0, {{1, 1.0, 1.0}, {2, -2.0, -3.0}, {3, -0.5, 0.5}}, {1, 2, 3}},
          {4.0, {}, {1, 3}}, // 2 at (−10, −15)
          {6.0, {}, {3}},    // 1 at (11, 11)
          {20.0, {}, {}}}},  // 3 at (−15.5, 15.5)
        {"exactly on the edges and corners stays",
         kOff,
         kOff,
         {},
         {{0.0,
           {{1, 15.0, 0.0},
            {2, -15.0, -10.0},
            {3, 0.0, 10.0},
            {4, 15.0001, 0.0},
            {5, 0.0, -10.0001}},
           {1, 2, 3}}}},
        {"too old",
         10.0,
         kOff,
         {},
         {{0.0, {{1, 1.0, 1.0}}, {1}},
          {5.0, {}, {1}},
          {0.0, {{1, 2.0, 1.0}}, {1}},
          {6.0, {}, {1}},
          {6.0, {}, {}}}},
        {"age equal to the limit stays",
         10.0,
         4.0,
         {},
         {{0.0, {{1, 1.0, 1.0}, {2, 1.0, 1.0}}, {1, 2}},
          {1.0, {{2, 1.0, 1.0}}, {1, 2}},
          {3.0, {}, {1, 2}}, // 1: seen once, age exactly 4
          {1.0, {}, {2}},    // 1: age 5 > 4
          {6.0, {}, {2}},    // 2: age exactly 10
          {0.5, {}, {}}}},
        {"seen only once",
         10.0,
         5.0,
         {},
         {{0.0, {{1, 1.0, 1.0}}, {1}}, {3.0, {}, {1}}, {3.0, {}, {}}}},
        {"a second sighting in time exempts from the single-sighting rule",
         kOff,
         1.0,
         {},
         {{0.0, {{1, 1.0, 1.0}, {2, 2.0, 2.0}}, {1, 2}},
          {1.0, {{1, 1.0, 1.0}}, {1, 2}},
          {0.5, {}, {1}},
          {100.0, {}, {1}}}},
        {"never observed ages from its creation", kOff, 2.0, {7}, {{2.0, {}, {7}}, {0.25, {}, {}}}},
        {"no rule on: only the field matters", kOff, kOff, {4}, {{1000.0, {}, {4}}}},
        {"leaving the field purges however young",
         100.0,
         100.0,
         {},
         {{0.0, {{1, 20.0, 0.0}, {2, 0.0, 0.0}}, {2}}}},
    };

    for (const PurgeScenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        const checks::ScopedClock clock(0.0);
        const checks::ScopedPlayingFieldSize size;
        ObjectField field(std::make_unique<PredictedBattleObject>(), scenario.maxAge,
                          scenario.maxSingleObservationAge);
        for (const std::int32_t id : scenario.created) {
            field.Get(id);
        }
        int stepNumber = 0;
        for (const Step& step : scenario.steps) {
            Clock::Advance(step.advance);
            for (const Sighting& sighting : step.sightings) {
                field.Get(sighting.id).SetPosition(sighting.x, sighting.y);
            }
            field.Purge();
            EXPECT_EQ(Ids(field), step.remaining) << "after step " << stepNumber;
            EXPECT_EQ(field.Size(), step.remaining.size()) << "after step " << stepNumber;
            ++stepNumber;
        }
    }
}

TEST(ObjectFieldTest, GetCreatesOnceAndRecordsNoSighting) {
    ObjectField field(std::make_unique<SeenRobot>(), kOff, kOff);
    PredictedBattleObject& first = field.Get(-4);
    PredictedBattleObject& again = field.Get(-4);
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(first.Id(), -4);
    EXPECT_EQ(first.ObservationCount(), 0);
    EXPECT_NE(dynamic_cast<SeenRobot*>(&first), nullptr); // the prototype's kind
    field.Get(12);
    field.Get(3);
    field.Get(-20);
    EXPECT_EQ(Ids(field), (std::vector<std::int32_t>{-20, -4, 3, 12}));
}

TEST(ObjectFieldTest, AnIdBackAfterItsPurgeStartsAFreshHistory) {
    const checks::ScopedClock clock(0.0);
    const checks::ScopedPlayingFieldSize size;
    ObjectField field(std::make_unique<PredictedBattleObject>(), 1.0, kOff);
    field.Get(5).SetPosition(1.0, 1.0);
    Clock::Advance(0.5);
    field.Get(5).SetPosition(2.0, 1.0);
    Clock::Advance(2.0);
    field.Purge();
    ASSERT_EQ(field.Size(), 0u);
    PredictedBattleObject& back = field.Get(5);
    EXPECT_EQ(back.ObservationCount(), 0);
    EXPECT_EQ(back.Velocity().x, 0.0);
    EXPECT_EQ(back.Age(), 0.0);
}

// Counts the objects alive, to see that the field destroys what it purges and what it holds.
class CountedObject final : public PredictedBattleObject {
  public:
    CountedObject() { ++alive; }
    ~CountedObject() override { --alive; }
    std::unique_ptr<PredictedBattleObject> Create() const override {
        return std::make_unique<CountedObject>();
    }
    static inline int alive = 0;
};

TEST(ObjectFieldTest, DestroysWhatItPurgesAndWhatItHoldsWhenDestroyed) {
    const checks::ScopedClock clock(0.0);
    const checks::ScopedPlayingFieldSize size;
    {
        ObjectField field(std::make_unique<CountedObject>(), kOff, kOff);
        EXPECT_EQ(CountedObject::alive, 1); // the prototype, held apart from the objects
        field.Get(1).SetPosition(1.0, 1.0);
        field.Get(2).SetPosition(100.0, 0.0); // off the field
        field.Get(3).SetPosition(-1.0, 1.0);
        EXPECT_EQ(CountedObject::alive, 4);
        field.Purge();
        EXPECT_EQ(CountedObject::alive, 3);
        EXPECT_EQ(Ids(field), (std::vector<std::int32_t>{1, 3}));
    }
    EXPECT_EQ(CountedObject::alive, 0);
}

TEST(ObjectFieldTest, HeightIsTheSumOfItsObjectsHeights) {
    ObjectField field(std::make_unique<SeenObject>(), kOff, 1.0);
    EXPECT_EQ(field.Height(0.0, 0.0), 0.0);
    field.Get(2).SetPosition(0.0, 0.0);
    field.Get(1).SetPosition(0.5, 0.0);
    EXPECT_EQ(field.Height(0.25, 0.0),
              field.Get(1).Height(0.25, 0.0) + field.Get(2).Height(0.25, 0.0));
    EXPECT_DOUBLE_EQ(field.Height(0.0, 0.0), 100.0 * std::exp(-0.125) + 100.0);
}

// The modes read the fields in place rather than through a copied list; they must meet the same
// objects in the same order, before and after a purge.
TEST(ObjectFieldTest, ReadingInPlaceMeetsTheObjectsOfTheListInIdOrder) {
    const checks::ScopedClock clock(0.0);
    const checks::ScopedPlayingFieldSize field;
    ObjectField objects(std::make_unique<PredictedBattleObject>(), kOff, kOff);
    const auto inPlace = [&objects] {
        std::vector<const PredictedBattleObject*> met;
        for (const PredictedBattleObject& object : std::as_const(objects).InIdOrder()) {
            met.push_back(&object);
        }
        return met;
    };
    const auto listed = [&objects] {
        std::vector<const PredictedBattleObject*> met;
        for (const PredictedBattleObject& object : objects.Objects()) {
            met.push_back(&object);
        }
        return met;
    };
    EXPECT_TRUE(inPlace().empty());
    for (const std::int32_t id : {9, -4, 3, 120}) {
        objects.Get(id);
    }
    EXPECT_EQ(inPlace(), listed());
    EXPECT_EQ(Ids(objects), (std::vector<std::int32_t>{-4, 3, 9, 120}));
    Clock::Advance(1.0);
    objects.Get(3).SetPosition(40.0, 0.0); // off the field: purged
    objects.Purge();
    EXPECT_EQ(inPlace(), listed());
    EXPECT_EQ(inPlace().size(), 3u);
}

} // namespace
} // namespace botpilot
