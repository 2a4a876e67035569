#include "arena/viewer/battle_story.h"
#include "arena/viewer/recorded_story.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botarena {
namespace {

nlohmann::json Robot(int id, const std::string& state, double hitPoints) {
    return {{"id", id},
            {"name", "R" + std::to_string(id)},
            {"colour", {1, 2, 3}},
            {"armour", 50},
            {"state", state},
            {"hitPoints", hitPoints}};
}

/// "kind robot [by] [damage]" for each event, which is what a reader of the feed sees.
std::vector<std::string> Told(const BattleStory& story) {
    std::vector<std::string> lines;
    const nlohmann::json told = nlohmann::json::parse(*story.Text());
    for (const nlohmann::json& event : told.at("events")) {
        std::string line = event.at("kind").get<std::string>() + " " +
                           event.at("name").get<std::string>() + " at " +
                           std::to_string(event.at("time").get<double>()).substr(0, 4);
        if (event.contains("byName")) {
            line += " by " + event.at("byName").get<std::string>();
        }
        if (event.contains("damage")) {
            line += " for " + std::to_string(event.at("damage").get<double>()).substr(0, 3);
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(BattleStoryTest, TellsJoinsHitsDestructionsAndDeparturesFromSnapshots) {
    struct Row {
        const char* what;
        std::vector<nlohmann::json> snapshots;
        std::vector<std::string> told;
    };
    const Row rows[] = {
        {"recorded before snapshots carried events: hits and destructions have no shooter",
         {{{"time", 0.0},
           {"robots",
            {Robot(1, "configuring", 0), Robot(2, "alive", 50), Robot(3, "configuring", 0)}}},
          {{"time", 0.5}, {"robots", {Robot(1, "alive", 50), Robot(2, "alive", 47)}}},
          {{"time", 1.0},
           {"robots",
            {Robot(1, "departed", 50), Robot(2, "destroyed", 0), Robot(3, "departed", 0)}}}},
         {"joined R2 at 0.00", "joined R1 at 0.50", "hit R2 at 0.50 for 3.0", "left R1 at 1.00",
          "hit R2 at 1.00 for 47.", "destroyed R2 at 1.00"}},
        {"events name the shooter, and the fall they explain is not told twice",
         {{{"time", 0.0}, {"robots", {Robot(1, "alive", 50), Robot(2, "alive", 50)}}},
          {{"time", 0.05},
           {"events",
            {{{"time", 0.02}, {"kind", "hit"}, {"robot", 2}, {"by", 1}, {"damage", 50}},
             {{"time", 0.02}, {"kind", "destroyed"}, {"robot", 2}, {"by", 1}},
             {{"time", 0.03}, {"kind", "hit"}, {"robot", 99}, {"by", 1}},
             {{"kind", 7}, {"robot", "2"}},
             "not an event"}},
           {"robots", {Robot(1, "alive", 50), Robot(2, "destroyed", 0)}}}},
         {"joined R1 at 0.00", "joined R2 at 0.00", "hit R2 at 0.02 by R1 for 50.",
          "destroyed R2 at 0.02 by R1"}},
        {"whatever is not a snapshot is passed over",
         {nlohmann::json::array(), {{"time", "soon"}, {"robots", 3}}, {{"robots", {1, "x"}}}},
         {}},
    };
    for (const Row& row : rows) {
        BattleStory story;
        for (const nlohmann::json& snapshot : row.snapshots) {
            TellRecordedSnapshot(story, snapshot);
        }
        EXPECT_EQ(Told(story), row.told) << row.what;
    }
    // Regression: a robot's line began at 0 hit points while its client was still declaring it.
    BattleStory story;
    for (const nlohmann::json& snapshot : rows[0].snapshots) {
        TellRecordedSnapshot(story, snapshot);
    }
    const nlohmann::json robots = nlohmann::json::parse(*story.Text()).at("robots");
    ASSERT_EQ(robots.size(), 2u); // R3 never came onto the field
    EXPECT_EQ(robots.at(0).at("points"), nlohmann::json::parse("[[0.5, 50.0], [1.0, 50.0]]"));
}

TEST(BattleStoryTest, StaysBoundedAndKeepsTheWholeSpanOfEachLine) {
    BattleStory story;
    // Many robots leave each a small share of the points.
    const int robots = 500;
    nlohmann::json crowd = nlohmann::json::array();
    for (int id = 1; id <= robots; ++id) {
        crowd.push_back(Robot(id, "alive", 50));
    }
    TellRecordedSnapshot(story, {{"time", 0.0}, {"robots", crowd}});
    const int snapshots = 12'000;
    for (int i = 1; i < snapshots; ++i) {
        // Hit points that change at every snapshot, and a hit told at each.
        TellRecordedSnapshot(
            story, {{"time", i * 0.05},
                    {"events", {{{"time", i * 0.05}, {"kind", "hit"}, {"robot", 1}, {"by", 1}}}},
                    {"robots", {Robot(1, "alive", i % 2 == 0 ? 50.0 : 49.0)}}});
    }
    const nlohmann::json told = nlohmann::json::parse(*story.Text());
    EXPECT_EQ(told.at("events").size(), kMaxStoryEvents);
    EXPECT_EQ(told.at("omitted"), snapshots - 1 + robots - kMaxStoryEvents); // hits and joins
    const nlohmann::json& points = told.at("robots").at(0).at("points");
    EXPECT_LE(points.size(), kMaxStoryPoints / robots);
    EXPECT_GE(points.size(), kMaxStoryPoints / robots / 2);
    EXPECT_EQ(points.front().at(0), 0.0);
    EXPECT_DOUBLE_EQ(points.back().at(0).get<double>(), (snapshots - 1) * 0.05);
}

// Regression: every event carries its robot's name, so a recording of one robot named with 8 MB
// and 5,000 hits grew a replay past 1.6 GB. A name longer than a client may declare is cut.
TEST(BattleStoryTest, NamesBeyondWhatAClientDeclaresAreCutAtACharacter) {
    struct Row {
        std::string name;
        std::string told;
    };
    const std::string e = "\xC3\xA9"; // é, two bytes
    const Row rows[] = {
        {std::string(64, 'n'), std::string(64, 'n')},
        {std::string(65, 'n'), std::string(64, 'n') + "\u2026"},
        {std::string(63, 'n') + e, std::string(63, 'n') + "\u2026"},
        {std::string(62, 'n') + e, std::string(62, 'n') + e},
        {std::string(1 << 20, 'n'), std::string(64, 'n') + "\u2026"},
    };
    for (const Row& row : rows) {
        BattleStory story;
        nlohmann::json named = Robot(1, "alive", 50);
        named["name"] = row.name;
        nlohmann::json hits = nlohmann::json::array();
        for (int i = 0; i < 1000; ++i) {
            hits.push_back({{"time", 0.05}, {"kind", "hit"}, {"robot", 1}, {"by", 1}});
        }
        TellRecordedSnapshot(story, {{"time", 0.0}, {"robots", {named}}});
        TellRecordedSnapshot(story, {{"time", 0.05}, {"events", hits}, {"robots", {named}}});
        const std::shared_ptr<const std::string> text = story.Text();
        EXPECT_LT(text->size(), 1u << 20) << row.name.size();
        const nlohmann::json told = nlohmann::json::parse(*text);
        EXPECT_EQ(told.at("robots").at(0).at("name"), row.told) << row.name.size();
        EXPECT_EQ(told.at("events").back().at("byName"), row.told) << row.name.size();
    }
}

} // namespace
} // namespace botarena
