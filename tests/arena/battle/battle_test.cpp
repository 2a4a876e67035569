#include "arena/battle/arena_math.h"
#include "arena/battle/battle.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace botarena {
namespace {

constexpr double kStep = 0.01;

/// A battle with robots placed by hand.
class BattleTest : public ::testing::Test {
  protected:
    int Place(double x, double y, double heading) {
        const int id = battle.AddRobot(false).Id();
        battle.StartRobotAt(id, {x, y, heading});
        return id;
    }
    ArenaRobot& Robot(int id) { return *battle.Find(id); }
    std::vector<BattleEvent> Run(double seconds) {
        std::vector<BattleEvent> events;
        const int steps = static_cast<int>(seconds / kStep + 0.5);
        for (int i = 0; i < steps; ++i) {
            for (const BattleEvent& event : battle.Step(kStep)) {
                events.push_back(event);
            }
        }
        return events;
    }

    Battle battle{FieldSize{30.0, 20.0}, 1};
};

TEST_F(BattleTest, ShellHitsTheRobotInItsPathAndMissesOneBeside) {
    const int shooter = Place(0.0, 0.0, 0.0);
    const int target = Place(3.0, 0.0, kPi);
    const int beside = Place(3.0, 1.0, kPi);
    // Default gun: 13 units per second, range 4, damage 2.
    EXPECT_EQ(battle.FireGun(shooter), 1);
    const std::vector<BattleEvent> events = Run(1.0);

    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, BattleEvent::Kind::Hit);
    EXPECT_EQ(events[0].shooterId, shooter);
    EXPECT_EQ(events[0].targetId, target);
    EXPECT_DOUBLE_EQ(events[0].damage, 2.0);
    EXPECT_EQ(battle.ShellCount(), 0u);
    EXPECT_EQ(Robot(shooter).Record().hits, 1);
    EXPECT_DOUBLE_EQ(Robot(shooter).Record().damageDealt, 2.0);
    EXPECT_DOUBLE_EQ(Robot(target).Record().damageTaken, 2.0);
    EXPECT_DOUBLE_EQ(Robot(beside).Record().damageTaken, 0.0);
}

TEST_F(BattleTest, ShellFallsAfterItsRangeAndNeverHitsItsShooter) {
    const int shooter = Place(0.0, 0.0, 0.0);
    const int far = Place(5.0, 0.0, kPi); // beyond the default range of 4
    EXPECT_GE(battle.FireGun(shooter), 1);
    EXPECT_EQ(battle.ShellCount(), 1u);
    EXPECT_TRUE(Run(1.0).empty());
    EXPECT_EQ(battle.ShellCount(), 0u);
    EXPECT_DOUBLE_EQ(Robot(far).Record().damageTaken, 0.0);
    EXPECT_DOUBLE_EQ(Robot(shooter).Record().damageTaken, 0.0);
}

TEST_F(BattleTest, GunFiresFromHalfChargeAndRechargesAtItsRate) {
    const int robot = Place(0.0, 0.0, 0.0);
    Robot(robot).Settings().gun.rechargeSeconds = 2.0; // 50 per second
    EXPECT_DOUBLE_EQ(Robot(robot).GunCharge(), 100.0);
    EXPECT_EQ(battle.FireGun(robot), 1);
    EXPECT_DOUBLE_EQ(Robot(robot).GunCharge(), 0.0);
    EXPECT_EQ(battle.FireGun(robot), -1);
    Run(0.98);
    EXPECT_NEAR(Robot(robot).GunCharge(), 49.0, 1e-6);
    EXPECT_EQ(battle.FireGun(robot), -1);
    Run(0.02);
    EXPECT_EQ(battle.FireGun(robot), 2);
    Run(3.0);
    EXPECT_DOUBLE_EQ(Robot(robot).GunCharge(), 100.0);
    EXPECT_EQ(Robot(robot).Record().shots, 2);
}

// Regression: shells too slow to spend their range and a gun full every step piled up
// thousands of shells, slowing every step and every snapshot.
TEST_F(BattleTest, ShellsAreCappedPerRobotAndInAllAndExpireAfterTheirLifetime) {
    // One robot a row, each facing +x, so no shell crosses another robot.
    std::vector<int> robots;
    for (std::size_t i = 0; i <= kMaxShells / kMaxShellsPerRobot; ++i) {
        const int id = Place(-14.0, -9.6 + 0.58 * static_cast<double>(i), 0.0);
        GunSettings& gun = Robot(id).Settings().gun;
        gun.speedTenths = 0.01; // 0.1 units a second: 1000 s to spend a range of 100
        gun.range = 100.0;
        gun.rechargeSeconds = 0.1;
        robots.push_back(id);
    }
    // Forty rounds of half a charge each: every gun could fire forty times.
    const auto fireRounds = [&](const std::vector<int>& shooters) {
        std::vector<int> fired(shooters.size(), 0);
        for (int round = 0; round < 40; ++round) {
            Run(0.05);
            for (std::size_t i = 0; i < shooters.size(); ++i) {
                fired[i] += battle.FireGun(shooters[i]) > 0 ? 1 : 0;
            }
        }
        return fired;
    };
    const int last = robots.back();
    robots.pop_back();
    for (const int fired : fireRounds(robots)) {
        EXPECT_EQ(fired, static_cast<int>(kMaxShellsPerRobot));
    }
    EXPECT_DOUBLE_EQ(Robot(robots[0]).GunCharge(), 100.0) << "a refused shot keeps the charge";
    EXPECT_EQ(battle.ShellCount(), kMaxShells);
    EXPECT_EQ(fireRounds({last}), std::vector<int>{0});

    // The slow shells are far from spending their range, but not from their lifetime.
    Run(kShellLifetimeSeconds);
    EXPECT_EQ(battle.ShellCount(), 0u);
}

TEST_F(BattleTest, RobotAtZeroIsDestroyedAndDecidesTheBattle) {
    const int shooter = Place(0.0, 0.0, 0.0);
    const int target = Place(2.0, 0.0, kPi);
    Robot(shooter).Settings().gun.damage = 60.0; // more than the target's 50
    EXPECT_FALSE(battle.IsDecided());
    battle.FireGun(shooter);
    const std::vector<BattleEvent> events = Run(0.5);

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, BattleEvent::Kind::Destroyed);
    EXPECT_EQ(Robot(target).Stage(), RobotStage::Destroyed);
    EXPECT_DOUBLE_EQ(Robot(target).HitPoints(), 0.0);
    // Damage dealt counts what the target had, not the shell's nominal damage.
    EXPECT_DOUBLE_EQ(Robot(shooter).Record().damageDealt, 50.0);
    EXPECT_TRUE(battle.IsDecided());
    // A destroyed robot is neither seen nor moved any more.
    EXPECT_TRUE(battle.SeenRobots(shooter).empty());
    const double alive = Robot(target).Record().timeAlive;
    Run(0.5);
    EXPECT_DOUBLE_EQ(Robot(target).Record().timeAlive, alive);
}

TEST_F(BattleTest, RepairRestoresUpToTheStartingArmour) {
    const int shooter = Place(0.0, 0.0, 0.0);
    const int target = Place(2.0, 0.0, kPi);
    Robot(shooter).Settings().gun.damage = 10.0;
    battle.FireGun(shooter);
    Run(0.3);
    // The shell needs 1.6 / 13 s to reach the target; repair runs from then on.
    EXPECT_NEAR(Robot(target).HitPoints(), 40.0 + 1.5 * (0.3 - 1.6 / 13.0), 0.02);
    Run(10.0);
    EXPECT_DOUBLE_EQ(Robot(target).HitPoints(), 50.0);
}

TEST_F(BattleTest, WallsAndRobotsStopABody) {
    const int runner = Place(13.0, 0.0, 0.0);
    Robot(runner).SetEngineSpeed(100.0);
    Run(2.0);
    EXPECT_DOUBLE_EQ(Robot(runner).Body().x, 15.0 - kRobotRadius);
    EXPECT_NEAR(Robot(runner).Record().distance, 15.0 - kRobotRadius - 13.0, 1e-9);

    const int pusher = Place(-5.0, 5.0, 0.0);
    const int wall = Place(-3.0, 5.0, 0.0);
    Robot(pusher).SetEngineSpeed(100.0);
    Run(2.0);
    const double gap = Robot(wall).Body().x - Robot(pusher).Body().x;
    // It stops within one step (0.03 units) of touching.
    EXPECT_GE(gap, 2.0 * kRobotRadius);
    EXPECT_LT(gap, 2.0 * kRobotRadius + 0.031);
    // Backing away is always allowed.
    Robot(pusher).SetEngineSpeed(-100.0);
    Run(0.5);
    EXPECT_GT(Robot(wall).Body().x - Robot(pusher).Body().x, 2.0);
}

TEST_F(BattleTest, ABodyMeetingAnotherOffCentreSlidesRoundItAndHeadOnStops) {
    struct Case {
        const char* what;
        double otherY; // the standing robot's; the runner drives along y = 5 from x = -5
        bool passes;
    };
    const Case cases[] = {{"head on", 5.0, false},
                          {"a quarter radius off", 5.1, true},
                          {"most of a diameter off", 5.7, true}};
    for (const Case& c : cases) {
        Battle fresh{FieldSize{30.0, 20.0}, 1};
        const int runner = fresh.AddRobot(false).Id();
        fresh.StartRobotAt(runner, {-5.0, 5.0, 0.0});
        const int standing = fresh.AddRobot(false).Id();
        fresh.StartRobotAt(standing, {-3.0, c.otherY, 0.0});
        fresh.Find(runner)->SetEngineSpeed(100.0);
        double closest = 10.0;
        for (int i = 0; i < 200; ++i) {
            fresh.Step(kStep);
            const BodyState& a = fresh.Find(runner)->Body();
            const BodyState& b = fresh.Find(standing)->Body();
            closest = std::min(closest, std::hypot(a.x - b.x, a.y - b.y));
        }
        EXPECT_GE(closest, 2.0 * kRobotRadius - 1e-9) << c.what;
        EXPECT_EQ(fresh.Find(runner)->Body().x > -3.0, c.passes) << c.what;
    }
}

TEST_F(BattleTest, ScannerReportsExactlyWhatLiesInItsCone) {
    const int watcher = Place(0.0, 0.0, 0.0); // range 10, 60 degrees, looking along +x
    const int ahead = Place(5.0, 0.0, 0.0);
    Place(-5.0, 0.0, 0.0); // behind
    Place(0.0, 5.0, 0.0);  // to the side
    const int shooter = Place(3.0, -3.0, kPi / 2);

    std::vector<const ArenaRobot*> seen = battle.SeenRobots(watcher);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0]->Id(), ahead);
    battle.FireGun(shooter);
    ASSERT_EQ(battle.SeenShells(watcher).size(), 0u); // on (3, -3): 45 degrees off
    battle.Step(kStep * 15); // 13 units/s for 0.15 s: (3, -1.05), inside the cone
    ASSERT_EQ(battle.SeenShells(watcher).size(), 1u);

    // The scanner turns toward its target relative to the body at 60 degrees per second.
    Robot(watcher).SetScannerTarget(kPi);
    Run(1.5);
    EXPECT_NEAR(Robot(watcher).ScannerOrientation(), kPi / 2, 1e-9);
    Run(1.5);
    EXPECT_NEAR(Robot(watcher).ScannerOrientation(), kPi, 1e-9);
    seen = battle.SeenRobots(watcher);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0]->Id(), ahead);
}

TEST_F(BattleTest, ActiveTurretSweepsAndAimsTheGun) {
    const int robot = Place(0.0, 0.0, 0.0);
    Robot(robot).Settings().turret = {90.0, 45.0};
    Run(0.25);
    EXPECT_NEAR(Robot(robot).TurretOrientation(), kPi / 8, 1e-9);
    EXPECT_NEAR(Robot(robot).GunHeading(), kPi / 8, 1e-9);
    Run(0.75); // on to the limit at 45 degrees and back
    EXPECT_NEAR(Robot(robot).TurretOrientation(), 0.0, 1e-9);
    Robot(robot).Settings().turret = {90.0, 0.0}; // inactive
    Run(0.01);
    EXPECT_DOUBLE_EQ(Robot(robot).TurretOrientation(), 0.0);
}

TEST_F(BattleTest, LeavingBeforeTheStartForgetsTheRobot) {
    const int waiting = battle.AddRobot(false).Id();
    const int running = Place(0.0, 0.0, 0.0);
    battle.RemoveRobot(waiting);
    battle.RemoveRobot(running);
    EXPECT_EQ(battle.Find(waiting), nullptr);
    ASSERT_NE(battle.Find(running), nullptr);
    EXPECT_EQ(battle.Find(running)->Stage(), RobotStage::Departed);
    EXPECT_EQ(battle.RunningCount(), 0);
}

TEST_F(BattleTest, EachRoundPutsTheOpenRobotsBackWithFullArmourAndScoresAddUp) {
    const int shooter = Place(0.0, 0.0, 0.0);
    const int target = Place(2.0, 0.0, kPi);
    const int leaver = Place(-8.0, 5.0, 0.0);
    Robot(shooter).Settings().gun.damage = 20.0;
    battle.FireGun(shooter);
    Run(0.5);
    battle.RemoveRobot(leaver);
    battle.EndRound("duration reached");
    EXPECT_EQ(Robot(target).Stage(), RobotStage::Survived);
    // Outlived the leaver (50) and dealt 20; the target outlived it too.
    EXPECT_DOUBLE_EQ(Robot(shooter).Record().Score(), 70.0);

    battle.BeginRound();
    EXPECT_EQ(battle.Round(), 2);
    EXPECT_FALSE(battle.IsOver());
    EXPECT_DOUBLE_EQ(battle.RoundTime(), 0.0);
    for (const int id : {shooter, target}) {
        EXPECT_TRUE(Robot(id).IsRunning()) << id;
        EXPECT_DOUBLE_EQ(Robot(id).HitPoints(), 50.0) << id;
        EXPECT_DOUBLE_EQ(Robot(id).GunCharge(), 100.0) << id;
        EXPECT_DOUBLE_EQ(Robot(id).Record().Score(), 0.0) << id;
    }
    // The departed robot stays off the field.
    EXPECT_EQ(Robot(leaver).Stage(), RobotStage::Departed);
    EXPECT_EQ(battle.RunningCount(), 2);
    Run(0.2);
    battle.RemoveRobot(target);
    ASSERT_TRUE(battle.IsDecided());
    const RoundResult& second = battle.EndRound("one robot left");
    // Outlived the target (50) and stood last against one opponent (10).
    EXPECT_DOUBLE_EQ(second.standings.Of(shooter)->score, 60.0);
    EXPECT_EQ(second.standings.Of(leaver), nullptr) << "not on the field in this round";
    EXPECT_EQ(battle.Rounds().size(), 2u);
    EXPECT_DOUBLE_EQ(battle.Overall().Of(shooter)->score, 130.0);
    EXPECT_DOUBLE_EQ(battle.Overall().Of(target)->score, 50.0);
    EXPECT_EQ(battle.Overall().winnerId, shooter);
    EXPECT_EQ(Robot(shooter).Totals().shots, 1);
    EXPECT_NEAR(Robot(shooter).Totals().timeAlive, 0.7, 1e-9);
}

// Regression: a battle kept every robot that ever left the field, so connecting, starting and
// leaving over and over grew it without bound, and the cap that stopped it locked robots out.
TEST_F(BattleTest, OnlyTheLastDeparturesAreKeptAndTheRestAreSummedUp) {
    const int first = Place(0.0, 0.0, 0.0);
    Robot(first).Record().shots = 3;
    Robot(first).Record().damageDealt = 7.0;
    battle.RemoveRobot(first);
    for (std::size_t i = 0; i < kMaxKeptGoneRobots; ++i) {
        battle.RemoveRobot(Place(0.0, 0.0, 0.0));
    }
    EXPECT_EQ(battle.Find(first), nullptr);
    EXPECT_EQ(battle.Robots().size(), kMaxKeptGoneRobots);
    EXPECT_EQ(battle.Forgotten().count, 1);
    EXPECT_EQ(battle.Forgotten().shots, 3);
    EXPECT_DOUBLE_EQ(battle.Forgotten().score, 7.0);
}

TEST_F(BattleTest, SpawnPointsRepeatWithTheSeed) {
    Battle first(FieldSize{30.0, 20.0}, 42);
    Battle second(FieldSize{30.0, 20.0}, 42);
    for (Battle* each : {&first, &second}) {
        for (int i = 0; i < 3; ++i) {
            each->StartRobot(each->AddRobot(true).Id());
        }
    }
    for (int id = 1; id <= 3; ++id) {
        EXPECT_DOUBLE_EQ(first.Find(id)->Body().x, second.Find(id)->Body().x);
        EXPECT_DOUBLE_EQ(first.Find(id)->Body().heading, second.Find(id)->Body().heading);
        EXPECT_TRUE(first.Field().Contains({first.Find(id)->Body().x, first.Find(id)->Body().y}));
    }
}

} // namespace
} // namespace botarena
