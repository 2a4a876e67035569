#include "arena/viewer/battle_story.h"

#include <algorithm>
#include <cmath>

namespace botarena {

namespace {

/// A robot's name as the story keeps it: at most kMaxStoryNameBytes bytes of it. Cutting a cut
/// name again leaves it as it is.
std::string StoryName(std::string name) {
    if (name.size() > kMaxStoryNameBytes) {
        std::size_t cut = kMaxStoryNameBytes;
        // Back to the start of a UTF-8 character, so that no character is split.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
        name += "\u2026";
    }
    return name;
}

double Thousandth(double value) {
    return std::round(value * 1e3) / 1e3;
}

/// The text at `key`, or "" when there is none.
std::string TextIn(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

bool IsFinite(const nlohmann::json& value) {
    return value.is_number() && std::isfinite(value.get<double>());
}

/// The list `key` of the entries, or an empty one.
const nlohmann::json& ListIn(const nlohmann::json& told, const char* key) {
    static const nlohmann::json none = nlohmann::json::array();
    const auto found = told.find(key);
    return found != told.end() && found->is_array() ? *found : none;
}

/// A told event as the story keeps it, its fields checked; nothing when it is not one.
std::optional<nlohmann::json> CheckedEvent(const nlohmann::json& entry) {
    static const std::set<std::string> kinds = {"joined", "left", "hit", "destroyed"};
    if (!entry.is_object() || !IsFinite(entry.value("time", nlohmann::json())) ||
        !entry.value("robot", nlohmann::json()).is_number_integer() ||
        !kinds.count(TextIn(entry, "kind"))) {
        return std::nullopt;
    }
    nlohmann::json event = {{"time", entry.at("time")},
                            {"kind", entry.at("kind")},
                            {"robot", entry.at("robot")},
                            {"name", StoryName(TextIn(entry, "name"))}};
    if (entry.value("by", nlohmann::json()).is_number_integer()) {
        event["by"] = entry.at("by");
        event["byName"] = StoryName(TextIn(entry, "byName"));
    }
    for (const char* figure : {"damage", "hitPoints"}) {
        if (IsFinite(entry.value(figure, nlohmann::json()))) {
            event[figure] = entry.at(figure);
        }
    }
    return event;
}

nlohmann::json ColourJson(const std::array<int, 3>& colour) {
    return {colour[0], colour[1], colour[2]};
}

} // namespace

nlohmann::json BattleStory::Tell(const StoryStep& step) {
    const std::lock_guard<std::mutex> lock(mutex);
    nlohmann::json entries = nlohmann::json::object();
    if (told) {
        entries["since"] = time;
    }
    const double at = std::max(time, step.time);
    std::set<int> hit;
    std::set<int> destroyed;
    TellEvents(step, entries, hit, destroyed);
    for (const StoryRobot& robot : step.robots) {
        TellRobot(at, robot, hit, destroyed, entries);
    }
    Take(at, entries);
    return entries;
}

void BattleStory::Append(double at, const nlohmann::json& entries) {
    if (!entries.is_object()) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    Take(std::max(time, at), entries);
}

void BattleStory::TellEvents(const StoryStep& step, nlohmann::json& entries, std::set<int>& hit,
                             std::set<int>& destroyed) const {
    for (const TimedBattleEvent& timed : step.events) {
        const BattleEvent& battleEvent = timed.event;
        const int id = battleEvent.targetId;
        if (robots.count(id) == 0) {
            continue;
        }
        const bool isHit = battleEvent.kind == BattleEvent::Kind::Hit;
        nlohmann::json event = EventFor(timed.time, isHit ? "hit" : "destroyed", id);
        if (robots.count(battleEvent.shooterId) != 0) {
            event["by"] = battleEvent.shooterId;
            event["byName"] = robots.at(battleEvent.shooterId).name;
        }
        if (isHit) {
            event["damage"] = Thousandth(battleEvent.damage);
            event["hitPoints"] = Thousandth(battleEvent.hitPoints);
            hit.insert(id);
        } else {
            destroyed.insert(id);
        }
        entries["events"].push_back(std::move(event));
    }
}

void BattleStory::TellRobot(double at, const StoryRobot& seen, const std::set<int>& hit,
                            const std::set<int>& destroyed, nlohmann::json& entries) {
    const double hitPoints = Thousandth(seen.hitPoints);
    const std::string name = StoryName(seen.name);
    auto found = robots.find(seen.id);
    const bool joins = found == robots.end();
    if (joins) {
        // Its hit points mean nothing before it is on the field, and a robot whose client left
        // before starting it never was.
        if (seen.stage == RobotStage::Configuring || seen.stage == RobotStage::Departed ||
            robots.size() >= kMaxStoryRobots) {
            return;
        }
        found = robots.emplace(seen.id, Robot{}).first;
        found->second.stage = seen.stage;
        found->second.hitPoints = hitPoints;
    }
    Robot& robot = found->second;
    if (joins || name != robot.name || seen.colour != robot.colour || seen.armour != robot.armour) {
        robot.name = name;
        robot.colour = seen.colour;
        robot.armour = seen.armour;
        entries["robots"].push_back({{"id", seen.id},
                                     {"name", name},
                                     {"colour", ColourJson(seen.colour)},
                                     {"armour", seen.armour}});
    }
    if (joins) {
        entries["events"].push_back(EventFor(at, "joined", seen.id));
        entries["points"].push_back({seen.id, at, hitPoints});
        return;
    }
    if (hitPoints != robot.hitPoints) {
        if (hitPoints < robot.hitPoints && hit.count(seen.id) == 0) {
            nlohmann::json event = EventFor(at, "hit", seen.id);
            event["damage"] = Thousandth(robot.hitPoints - hitPoints);
            event["hitPoints"] = hitPoints;
            entries["events"].push_back(std::move(event));
        }
        robot.hitPoints = hitPoints;
        entries["points"].push_back({seen.id, at, hitPoints});
    }
    if (seen.stage != robot.stage) {
        if (seen.stage == RobotStage::Destroyed && destroyed.count(seen.id) == 0) {
            entries["events"].push_back(EventFor(at, "destroyed", seen.id));
        } else if (seen.stage == RobotStage::Departed) {
            entries["events"].push_back(EventFor(at, "left", seen.id));
            entries["points"].push_back({seen.id, at, hitPoints});
        }
        robot.stage = seen.stage;
    }
}

void BattleStory::Take(double at, const nlohmann::json& entries) {
    time = at;
    told = true;
    changed = true;
    for (const nlohmann::json& entry : ListIn(entries, "robots")) {
        if (!entry.is_object() || !entry.value("id", nlohmann::json()).is_number_integer()) {
            continue;
        }
        const int id = entry.at("id").get<int>();
        if (robots.count(id) == 0 && robots.size() >= kMaxStoryRobots) {
            continue;
        }
        Robot& robot = robots[id];
        robot.name = StoryName(TextIn(entry, "name"));
        const nlohmann::json colour = entry.value("colour", nlohmann::json());
        if (colour.is_array() && colour.size() == 3 &&
            std::all_of(colour.begin(), colour.end(), IsFinite)) {
            for (std::size_t i = 0; i < 3; ++i) {
                robot.colour[i] =
                    static_cast<int>(std::clamp(std::round(colour[i].get<double>()), 0.0, 255.0));
            }
        }
        if (IsFinite(entry.value("armour", nlohmann::json()))) {
            robot.armour = entry.at("armour").get<double>();
        }
    }
    for (const nlohmann::json& entry : ListIn(entries, "events")) {
        if (std::optional<nlohmann::json> event = CheckedEvent(entry)) {
            AddEvent(std::move(*event));
        }
    }
    std::set<int> lengthened;
    for (const nlohmann::json& point : ListIn(entries, "points")) {
        if (!point.is_array() || point.size() != 3 || !point[0].is_number_integer() ||
            !IsFinite(point[1]) || !IsFinite(point[2])) {
            continue;
        }
        const auto robot = robots.find(point[0].get<int>());
        if (robot != robots.end()) {
            AddPoint(robot->second, point[1].get<double>(), point[2].get<double>());
            lengthened.insert(robot->first);
        }
    }
    Thin(lengthened);
}

std::shared_ptr<const std::string> BattleStory::Text() const {
    std::unique_lock<std::mutex> lock(mutex);
    // Building the text of a long battle takes milliseconds, part of them under the lock the
    // arena's loop needs too: however often it is asked for, it is built at most four times a
    // second. A page opened during a battle takes what the text lacks from the entries of the
    // snapshots that follow.
    const auto now = std::chrono::steady_clock::now();
    if (text && (!changed || now - builtAt < std::chrono::milliseconds(250))) {
        return text;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [id, robot] : robots) {
        nlohmann::json points = nlohmann::json::array();
        for (const auto& [at, value] : robot.points) {
            points.push_back({at, Thousandth(value)});
        }
        list.push_back({{"id", id},
                        {"name", robot.name},
                        {"colour", ColourJson(robot.colour)},
                        {"armour", robot.armour},
                        {"points", std::move(points)}});
    }
    nlohmann::json told = nlohmann::json::array();
    for (const nlohmann::json& event : events) {
        told.push_back(event);
    }
    const nlohmann::json story = {{"time", time},
                                  {"events", std::move(told)},
                                  {"omitted", omitted},
                                  {"robots", std::move(list)}};
    // A step told while the text is written out marks it changed again.
    changed = false;
    builtAt = now;
    lock.unlock();
    // Names are whatever bytes the clients sent; the page needs UTF-8.
    auto built = std::make_shared<const std::string>(
        story.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    lock.lock();
    text = built;
    return built;
}

void BattleStory::AddEvent(nlohmann::json event) {
    if (events.size() >= kMaxStoryEvents) {
        events.pop_front();
        ++omitted;
    }
    events.push_back(std::move(event));
}

void BattleStory::AddPoint(Robot& robot, double at, double hitPoints) {
    std::vector<std::pair<double, double>>& points = robot.points;
    if (!points.empty() && points.back().first == at) {
        points.back().second = hitPoints;
        return;
    }
    points.emplace_back(at, hitPoints);
}

void BattleStory::Thin(const std::set<int>& ids) {
    if (ids.empty()) {
        return;
    }
    // Once a telling is taken in whole, so that the share is the same however its entries
    // were ordered.
    const std::size_t share = std::max(kMinStoryPointsPerRobot, kMaxStoryPoints / robots.size());
    for (const int id : ids) {
        std::vector<std::pair<double, double>>& points = robots.at(id).points;
        while (points.size() > share) {
            // Every other point goes; the first and the newest stay, so the line still spans
            // it all.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < points.size(); ++i) {
                if (i % 2 == 0 || i + 1 == points.size()) {
                    points[kept++] = points[i];
                }
            }
            points.resize(kept);
        }
    }
}

nlohmann::json BattleStory::EventFor(double at, const char* kind, int id) const {
    return {{"time", at}, {"kind", kind}, {"robot", id}, {"name", robots.at(id).name}};
}

} // namespace botarena
