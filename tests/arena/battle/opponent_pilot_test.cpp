#include "arena/battle/arena_math.h"
#include "arena/battle/hunter_pilot.h"
#include "arena/battle/opponent_pilot.h"
#include "arena/battle/sitter_pilot.h"
#include "arena/battle/sniper_pilot.h"
#include "arena/battle/spinner_pilot.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <tuple>
#include <type_traits>

namespace botarena {
namespace {

constexpr double kStep = 0.01;

/// A small scripted battle: one opponent against a robot placed and driven by hand.
class OpponentPilotTest : public ::testing::Test {
  protected:
    template <typename Pilot> Pilot Opponent(double x, double y, double heading) {
        ArenaRobot& robot = battle.AddRobot(true);
        robot.Settings() = Pilot::Settings();
        battle.StartRobotAt(robot.Id(), {x, y, heading});
        if constexpr (std::is_constructible_v<Pilot, int, int>) {
            return Pilot(robot.Id(), 7);
        } else {
            return Pilot(robot.Id());
        }
    }
    /// A sturdy robot that runs on at a constant engine order.
    ArenaRobot& Target(double x, double y, double heading, double maxSpeed = 3.0) {
        ArenaRobot& robot = battle.AddRobot(false);
        robot.Settings().armour = 1000.0;
        robot.Settings().engine.maxSpeed = maxSpeed;
        battle.StartRobotAt(robot.Id(), {x, y, heading});
        return robot;
    }
    /// Runs the battle with the pilot deciding before every step; returns the nearest the two
    /// robots came.
    double Run(OpponentPilot& pilot, const ArenaRobot& target, double seconds) {
        double nearest = 1e9;
        const ArenaRobot& self = *battle.Find(pilot.RobotId());
        for (int i = 0; i < static_cast<int>(seconds / kStep + 0.5); ++i) {
            pilot.Update(battle);
            battle.Step(kStep);
            nearest = std::min(nearest, Apart(self, target));
        }
        return nearest;
    }
    static double Apart(const ArenaRobot& a, const ArenaRobot& b) {
        return std::hypot(a.Body().x - b.Body().x, a.Body().y - b.Body().y);
    }

    Battle battle{FieldSize{30.0, 20.0}, 1};
};

TEST(OpponentsTest, KindsTakeTheirTurnsWithAcceptedSettingsThatOutdamageRepair) {
    Battle battle{FieldSize{30.0, 20.0}, 3};
    const auto pilots = StartOpponents(battle, {OpponentKind::Hunter, OpponentKind::Sniper}, 5, 11);
    ASSERT_EQ(pilots.size(), 5u);
    const char* const names[] = {"Hunter 1", "Sniper 2", "Hunter 3", "Sniper 4", "Hunter 5"};
    std::set<std::tuple<int, int, int>> colours;
    for (std::size_t i = 0; i < pilots.size(); ++i) {
        const ArenaRobot& robot = *battle.Find(pilots[i]->RobotId());
        EXPECT_TRUE(robot.IsBuiltIn() && robot.IsRunning()) << names[i];
        EXPECT_EQ(robot.Identity().name, names[i]);
        EXPECT_EQ(robot.Identity().type, std::string(names[i]).substr(0, 6));
        colours.insert({robot.Identity().red, robot.Identity().green, robot.Identity().blue});
    }
    EXPECT_EQ(colours.size(), 5u) << "each opponent has a colour of its own";

    for (const OpponentKind kind : kOpponentKinds) {
        EXPECT_EQ(ParseOpponentKind(OpponentKindName(kind)), kind);
        const RobotSettings settings = OpponentSettings(kind);
        EXPECT_EQ(RefusedSetting(settings), std::nullopt) << OpponentKindName(kind);
        if (OpponentSettings(kind).gun.damage > RobotSettings{}.gun.damage) {
            // Fired at half charge: sustained fire must beat the 1.5 points a second a robot
            // repairs by default, or fights never end.
            const double perSecond = settings.gun.damage / (0.5 * settings.gun.rechargeSeconds);
            EXPECT_GT(perSecond, 1.5 * 1.5) << OpponentKindName(kind);
        }
    }
    EXPECT_EQ(ParseOpponentKind("Hunter"), std::nullopt);
    RobotSettings tooSlow = OpponentSettings(OpponentKind::Sniper);
    tooSlow.gun.speedTenths = 0.4;
    EXPECT_EQ(RefusedSetting(tooSlow), "Gun shell speed 0.4 is out of range [0.5, 5]");
}

TEST_F(OpponentPilotTest, TheEasyKindsStayOnTheirSpotAndFireOnlyAlongTheirGun) {
    struct Row {
        const char* what;
        bool spinner;
        double targetX, targetY; // the opponent starts at the origin facing +x
        bool fires;
    };
    const Row rows[] = {
        {"a sitter, a robot in its gun's line", false, 3.0, 0.0, true},
        {"a sitter, a robot beside it", false, 0.0, 3.0, false},
        {"a spinner, a robot beside it", true, 0.0, 3.0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        battle = Battle{FieldSize{30.0, 20.0}, 1};
        const auto check = [&](OpponentPilot& pilot) {
            const ArenaRobot& self = *battle.Find(pilot.RobotId());
            const BodyState start = self.Body();
            const ArenaRobot& target = Target(row.targetX, row.targetY, 0.0, 0.0);
            Run(pilot, target, 3.0);
            EXPECT_EQ(self.Body().x, start.x);
            EXPECT_EQ(self.Body().y, start.y);
            EXPECT_EQ(self.Record().shots > 0, row.fires);
            EXPECT_EQ(self.Body().heading != start.heading, row.spinner);
        };
        if (row.spinner) {
            SpinnerPilot spinner = Opponent<SpinnerPilot>(0.0, 0.0, 0.0);
            check(spinner);
        } else {
            SitterPilot sitter = Opponent<SitterPilot>(0.0, 0.0, 0.0);
            check(sitter);
        }
    }
}

TEST_F(OpponentPilotTest, HunterFindsAStillRobotClosesToItsStandOffAndFires) {
    struct Row {
        const char* what;
        double targetX, targetY; // the hunter starts at the origin facing +x
    };
    const Row rows[] = {
        {"ahead, beyond its scanner", 13.0, 0.0},
        {"behind it, found by sweeping", -8.0, 0.0},
        {"to the side, near a wall", 2.0, 8.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        battle = Battle{FieldSize{30.0, 20.0}, 1};
        HunterPilot hunter = Opponent<HunterPilot>(0.0, 0.0, 0.0);
        const ArenaRobot& target = Target(row.targetX, row.targetY, kPi / 2.0);
        const double nearest = Run(hunter, target, 10.0);
        const ArenaRobot& self = *battle.Find(hunter.RobotId());
        EXPECT_NEAR(Apart(self, target), 4.0, 0.5);
        EXPECT_GT(nearest, 3.0) << "it does not ram";
        EXPECT_GE(self.Record().hits, 3);
        EXPECT_GT(target.Record().damageTaken, 15.0);
    }
}

TEST_F(OpponentPilotTest, SniperBacksAwayFromNearRobotsAndLeadsAMovingOne) {
    struct Row {
        const char* what;
        double sniperX; // the sniper starts at (sniperX, 0) facing +x
        double targetX, targetY, targetHeading, targetSpeed;
        double seconds;
    };
    const Row rows[] = {
        {"a still robot close ahead", 0.0, 3.0, 0.0, 0.0, 0.0, 4.0},
        {"a still robot close ahead, a wall behind", -14.0, -11.0, 0.0, 0.0, 0.0, 6.0},
        {"a robot crossing at 4 units a second", 0.0, 9.0, -8.0, kPi / 2.0, 4.0, 3.5},
        {"a robot coming at it aslant", 0.0, 12.0, 6.0, -2.6, 3.0, 2.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        battle = Battle{FieldSize{30.0, 20.0}, 1};
        SniperPilot sniper = Opponent<SniperPilot>(row.sniperX, 0.0, 0.0);
        ArenaRobot& target =
            Target(row.targetX, row.targetY, row.targetHeading, std::max(row.targetSpeed, 0.1));
        target.SetEngineSpeed(row.targetSpeed > 0.0 ? 100.0 : 0.0);
        Run(sniper, target, row.seconds);
        for (int i = 0; i < 100; ++i) {
            battle.Step(kStep); // the last shells land
        }
        const ArenaRobot& self = *battle.Find(sniper.RobotId());
        if (row.targetSpeed == 0.0) {
            EXPECT_GT(Apart(self, target), 6.0);
        } else {
            // Unled, each shell would pass a body's length or more behind the target.
            EXPECT_GE(self.Record().shots, 1);
            EXPECT_EQ(self.Record().hits, self.Record().shots);
        }
    }
}

} // namespace
} // namespace botarena
