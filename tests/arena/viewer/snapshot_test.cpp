#include "arena/viewer/snapshot.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

TEST(SnapshotTest, CarriesTheFieldOneRobotOneShellAndOneDrawingLayer) {
    Battle battle(FieldSize{30.0, 20.0}, 1);
    ArenaRobot& shooter = battle.AddRobot(true);
    shooter.Identity().name = "Bot 1";
    shooter.Identity().red = 255;
    shooter.Identity().green = 64;
    shooter.Identity().blue = 64;
    battle.StartRobotAt(shooter.Id(), BodyState{1.0, -2.0, 0.5});
    ASSERT_EQ(battle.FireGun(shooter.Id()), 1);
    battle.Step(0.01);
    ArenaRobot& waiting = battle.AddRobot(false); // joined, not yet on the field

    DrawingBoard board;
    board.AddLayer(4, "Graphics", shooter.Id());
    board.SetClock(0.01);
    ASSERT_TRUE(board.PutCell(4, 17, DrawnCell{-14.5, 9.5, 0.5, 0.25, 101, 0, 7}));
    BattleEvent hit{BattleEvent::Kind::Hit, shooter.Id(), waiting.Id(), 2.25, 47.75};

    const nlohmann::json snapshot = SnapshotJson(battle, board, {{0.01, hit}});
    // The page reads exactly these names; a renamed field breaks it silently.
    for (const char* key : {"time", "field", "robots", "shells", "drawings"}) {
        EXPECT_TRUE(snapshot.contains(key)) << key;
    }
    EXPECT_FALSE(snapshot.contains("over"));
    EXPECT_DOUBLE_EQ(snapshot.at("time").get<double>(), 0.01);
    EXPECT_EQ(snapshot.at("field"), nlohmann::json({{"width", 30.0}, {"height", 20.0}}));

    ASSERT_EQ(snapshot.at("robots").size(), 2u);
    const nlohmann::json& robot = snapshot.at("robots").at(0);
    for (const char* key :
         {"id",        "name",    "type",    "colour",         "builtIn",      "state",
          "x",         "y",       "heading", "scannerHeading", "scannerRange", "scannerFieldOfView",
          "hitPoints", "armour",  "shots",   "hits",           "damageDealt",  "damageTaken",
          "timeAlive", "distance"}) {
        EXPECT_TRUE(robot.contains(key)) << key;
    }
    EXPECT_EQ(robot.at("id"), shooter.Id());
    EXPECT_EQ(robot.at("name"), "Bot 1");
    EXPECT_EQ(robot.at("colour"), nlohmann::json({255, 64, 64}));
    EXPECT_EQ(robot.at("state"), "alive");
    EXPECT_EQ(robot.at("x"), 1.0);
    EXPECT_EQ(robot.at("y"), -2.0);
    EXPECT_EQ(robot.at("heading"), 0.5);
    EXPECT_EQ(robot.at("scannerFieldOfView"), 60.0);
    EXPECT_EQ(robot.at("hitPoints"), 50.0);
    EXPECT_EQ(robot.at("shots"), 1);
    EXPECT_EQ(snapshot.at("robots").at(1).at("id"), waiting.Id());
    EXPECT_EQ(snapshot.at("robots").at(1).at("state"), "configuring");

    ASSERT_EQ(snapshot.at("shells").size(), 1u);
    const nlohmann::json& shell = snapshot.at("shells").at(0);
    EXPECT_EQ(shell.at("id"), 1);
    EXPECT_EQ(shell.at("owner"), shooter.Id());
    // 13 units/s along heading 0.5 for one step, rounded to a ten-thousandth.
    EXPECT_NEAR(shell.at("x").get<double>(), 1.0 + 0.13 * std::cos(0.5), 1e-4);
    EXPECT_NEAR(shell.at("y").get<double>(), -2.0 + 0.13 * std::sin(0.5), 1e-4);
    EXPECT_NEAR(shell.at("vx").get<double>(), 13.0 * std::cos(0.5), 1e-4);
    EXPECT_NEAR(shell.at("vy").get<double>(), 13.0 * std::sin(0.5), 1e-4);

    ASSERT_EQ(snapshot.at("drawings").size(), 1u);
    EXPECT_EQ(snapshot.at("drawings").at(0),
              nlohmann::json({{"connection", 4},
                              {"client", "Graphics"},
                              {"robot", {{"id", shooter.Id()}, {"name", "Bot 1"}}},
                              {"lastDrawn", 0.01},
                              {"cells", {{-14.5, 9.5, 0.5, 0.25, 101, 0, 7}}}}));
    EXPECT_EQ(snapshot.at("events"), nlohmann::json::parse(R"([{"time": 0.01, "kind": "hit",
        "robot": 2, "by": 1, "damage": 2.25, "hitPoints": 47.75}])"));
}

TEST(SnapshotTest, RoundsToWhatAPictureShows) {
    Battle battle(FieldSize{}, 1);
    ArenaRobot& robot = battle.AddRobot(true);
    battle.StartRobotAt(robot.Id(), BodyState{1.234567891, -0.000049, 3.0});
    const nlohmann::json entry = SnapshotJson(battle, DrawingBoard()).at("robots").at(0);
    EXPECT_EQ(entry.at("x"), 1.2346);
    EXPECT_EQ(entry.at("y").get<double>(), 0.0);
    // Shortest text: no "1.2346000000000001" on the wire.
    EXPECT_EQ(entry.at("x").dump(), "1.2346");
}

} // namespace
} // namespace botarena
