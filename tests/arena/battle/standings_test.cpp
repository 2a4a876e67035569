#include "arena/battle/arena_math.h"
#include "arena/battle/battle.h"
#include "arena/battle/standings.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

constexpr double kStep = 0.01;

/// One thing that happens in a scripted round.
struct Action {
    enum class Kind { Fire, Leave, Run };
    Kind kind = Kind::Run;
    int robot = 0;      ///< index of the robot that fires or leaves
    double value = 0.0; ///< the shell's damage, or seconds to run
};

Action Fire(int robot, double damage) {
    return {Action::Kind::Fire, robot, damage};
}
Action Leave(int robot) {
    return {Action::Kind::Leave, robot, 0.0};
}
Action RunFor(double seconds) {
    return {Action::Kind::Run, 0, seconds};
}

TEST(StandingsTest, ScriptedRoundsGiveTheirScoresRanksAndWinner) {
    struct Case {
        const char* what;
        int robots; // in a row 2 units apart facing +x: each one's shell hits its neighbour
        std::vector<Action> script;
        std::vector<double> scores; // by robot
        std::vector<int> ranks;     // by robot
        int winner;                 // a robot's index, or -1 for a draw
    };
    const Case cases[] = {
        // Outlived 1 (50), 50 hit points dealt (50), last standing against 1 opponent (10).
        {"one destroys the other", 2, {Fire(0, 60.0), RunFor(0.5)}, {110.0, 0.0}, {1, 2}, 0},
        // Time runs out with two on the field: no bonus; the one that left gets nothing.
        {"a hit and a departure",
         3,
         {Fire(0, 10.0), RunFor(0.5), Leave(2)},
         {60.0, 50.0, 0.0},
         {1, 2, 3},
         0},
        // Equal on score, time alive and damage: the id orders them, but nobody wins.
        {"two untouched survivors", 2, {RunFor(0.3)}, {0.0, 0.0}, {1, 2}, -1},
        // Destroyed robots outlive nobody after them; the bonus counts every opponent of the
        // round, the departed one included.
        {"last of three",
         3,
         {Leave(2), RunFor(0.2), Fire(0, 60.0), RunFor(0.5)},
         {50.0 + 50.0 + 50.0 + 20.0, 50.0, 0.0},
         {1, 2, 3},
         0},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        Battle battle(FieldSize{30.0, 20.0}, 1);
        std::vector<int> ids;
        for (int i = 0; i < each.robots; ++i) {
            ArenaRobot& robot = battle.AddRobot(false);
            robot.Identity().name = "R" + std::to_string(i);
            battle.StartRobotAt(robot.Id(), {2.0 * i, 0.0, 0.0});
            ids.push_back(robot.Id());
        }
        for (const Action& action : each.script) {
            ArenaRobot& robot = *battle.Find(ids[static_cast<std::size_t>(action.robot)]);
            switch (action.kind) {
            case Action::Kind::Fire:
                robot.Settings().gun.damage = action.value;
                battle.FireGun(robot.Id());
                break;
            case Action::Kind::Leave:
                battle.RemoveRobot(robot.Id());
                break;
            case Action::Kind::Run:
                for (int step = 0; step < static_cast<int>(action.value / kStep + 0.5); ++step) {
                    battle.Step(kStep);
                }
                break;
            }
        }
        const RoundResult& round = battle.EndRound(battle.IsDecided() ? "decided" : "time");
        EXPECT_TRUE(battle.IsOver());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const Placing* placing = round.standings.Of(ids[i]);
            ASSERT_NE(placing, nullptr) << i;
            EXPECT_DOUBLE_EQ(placing->score, each.scores[i]) << i;
            EXPECT_EQ(placing->rank, each.ranks[i]) << i;
            EXPECT_EQ(battle.Overall().Of(ids[i])->rank, each.ranks[i]) << i;
        }
        const int winner = each.winner < 0 ? 0 : ids[static_cast<std::size_t>(each.winner)];
        EXPECT_EQ(round.standings.winnerId, winner);
        EXPECT_EQ(battle.Overall().winnerName,
                  each.winner < 0 ? "" : "R" + std::to_string(each.winner));
    }
}

Contender Entrant(int id, bool tookPart, int outlived, double damageDealt, double timeAlive) {
    Contender contender;
    contender.id = id;
    contender.name = "R" + std::to_string(id);
    contender.record.tookPart = tookPart;
    contender.record.outlived = outlived;
    contender.record.damageDealt = damageDealt;
    contender.record.timeAlive = timeAlive;
    return contender;
}

TEST(StandingsTest, TiesAreBrokenByTimeAliveThenDamageThenIdAndAnExactTieIsADraw) {
    struct Case {
        const char* what;
        std::vector<Contender> contenders;
        std::vector<int> order; // ids by rank
        int winnerId;
    };
    const Case cases[] = {
        {"score first", {Entrant(1, true, 0, 10.0, 9.0), Entrant(2, true, 1, 0.0, 1.0)}, {2, 1}, 2},
        {"then time alive",
         {Entrant(1, true, 1, 0.0, 3.0), Entrant(2, true, 1, 0.0, 5.0)},
         {2, 1},
         2},
        // 50 survival points against 50 hit points of damage.
        {"then damage", {Entrant(1, true, 1, 0.0, 4.0), Entrant(2, true, 0, 50.0, 4.0)}, {2, 1}, 2},
        {"then id, a draw",
         {Entrant(2, true, 1, 5.0, 4.0), Entrant(1, true, 1, 5.0, 4.0)},
         {1, 2},
         0},
        // Never on the field: ranked after every robot that was, and never the winner.
        {"unstarted last",
         {Entrant(1, false, 0, 0.0, 0.0), Entrant(2, true, 0, 0.0, 0.0)},
         {2, 1},
         2},
        {"nobody started", {Entrant(1, false, 0, 0.0, 0.0)}, {1}, 0},
        {"nobody at all", {}, {}, 0},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        const Standings standings = Rank(each.contenders);
        std::vector<int> order;
        for (const Placing& placing : standings.placings) {
            order.push_back(placing.id);
            EXPECT_EQ(placing.rank, static_cast<int>(order.size()));
        }
        EXPECT_EQ(order, each.order);
        EXPECT_EQ(standings.winnerId, each.winnerId);
    }
}

} // namespace
} // namespace botarena
