#include "arena/viewer/recorded_story.h"

#include <cmath>
#include <string>

namespace botarena {

namespace {

double NumberIn(const nlohmann::json& object, const char* key, double otherwise) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number()) {
        return otherwise;
    }
    const double value = found->get<double>();
    return std::isfinite(value) ? value : otherwise;
}

int IdIn(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number_integer() ? found->get<int>() : 0;
}

std::string TextIn(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

RobotStage StageNamed(const std::string& name) {
    for (const RobotStage stage : {RobotStage::Configuring, RobotStage::Destroyed,
                                   RobotStage::Departed, RobotStage::Survived}) {
        if (name == StageName(stage)) {
            return stage;
        }
    }
    return RobotStage::Running;
}

/// The colour as the page would show it: grey when it is not three numbers.
std::array<int, 3> ColourIn(const nlohmann::json& object) {
    std::array<int, 3> colour = StoryRobot{}.colour;
    const auto found = object.find("colour");
    if (found == object.end() || !found->is_array() || found->size() != 3) {
        return colour;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        const nlohmann::json& part = (*found)[i];
        if (!part.is_number() || !std::isfinite(part.get<double>())) {
            return StoryRobot{}.colour;
        }
        colour[i] = static_cast<int>(std::round(std::clamp(part.get<double>(), 0.0, 255.0)));
    }
    return colour;
}

std::optional<TimedBattleEvent> RecordedEvent(const nlohmann::json& entry, double otherwise) {
    if (!entry.is_object()) {
        return std::nullopt;
    }
    const std::string kind = TextIn(entry, "kind");
    if (kind != "hit" && kind != "destroyed") {
        return std::nullopt;
    }
    TimedBattleEvent timed;
    timed.time = NumberIn(entry, "time", otherwise);
    timed.event.kind = kind == "hit" ? BattleEvent::Kind::Hit : BattleEvent::Kind::Destroyed;
    timed.event.targetId = IdIn(entry, "robot");
    timed.event.shooterId = IdIn(entry, "by");
    timed.event.damage = NumberIn(entry, "damage", 0.0);
    timed.event.hitPoints = NumberIn(entry, "hitPoints", 0.0);
    return timed;
}

} // namespace

StoryStep RecordedStep(const nlohmann::json& snapshot) {
    StoryStep step;
    step.time = NumberIn(snapshot, "time", 0.0);
    const auto events = snapshot.find("events");
    if (events != snapshot.end() && events->is_array()) {
        for (const nlohmann::json& entry : *events) {
            if (const std::optional<TimedBattleEvent> timed = RecordedEvent(entry, step.time)) {
                step.events.push_back(*timed);
            }
        }
    }
    const auto robots = snapshot.find("robots");
    if (robots != snapshot.end() && robots->is_array()) {
        for (const nlohmann::json& entry : *robots) {
            if (!entry.is_object()) {
                continue;
            }
            step.robots.push_back({IdIn(entry, "id"), TextIn(entry, "name"), ColourIn(entry),
                                   NumberIn(entry, "armour", 0.0),
                                   StageNamed(TextIn(entry, "state")),
                                   NumberIn(entry, "hitPoints", 0.0)});
        }
    }
    return step;
}

void TellRecordedSnapshot(BattleStory& story, const nlohmann::json& snapshot) {
    if (!snapshot.is_object()) {
        return;
    }
    const auto told = snapshot.find("story");
    if (told != snapshot.end()) {
        story.Append(NumberIn(snapshot, "time", 0.0), *told);
        return;
    }
    story.Tell(RecordedStep(snapshot));
}

} // namespace botarena
