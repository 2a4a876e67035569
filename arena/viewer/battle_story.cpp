#include "arena/viewer/battle_story.h"

#include <algorithm>
#include <cmath>
#include <set>

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

/// A robot's name as the story keeps it: at most kMaxStoryNameBytes bytes of it.
std::string NameIn(const nlohmann::json& object) {
    std::string name = TextIn(object, "name");
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

} // namespace

void BattleStory::Add(const nlohmann::json& snapshot) {
    if (!snapshot.is_object()) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    time = std::max(time, NumberIn(snapshot, "time", time));
    std::set<int> hit;
    std::set<int> destroyed;
    const auto told = snapshot.find("events");
    if (told != snapshot.end() && told->is_array()) {
        for (const nlohmann::json& entry : *told) {
            if (!entry.is_object()) {
                continue;
            }
            const std::string kind = TextIn(entry, "kind");
            const int id = IdIn(entry, "robot");
            if ((kind != "hit" && kind != "destroyed") || robots.count(id) == 0) {
                continue;
            }
            nlohmann::json event = EventFor(NumberIn(entry, "time", time), kind.c_str(), id);
            const int by = IdIn(entry, "by");
            if (robots.count(by) != 0) {
                event["by"] = by;
                event["byName"] = robots.at(by).name;
            }
            if (kind == "hit") {
                event["damage"] = Thousandth(NumberIn(entry, "damage", 0.0));
                event["hitPoints"] = Thousandth(NumberIn(entry, "hitPoints", 0.0));
                hit.insert(id);
            } else {
                destroyed.insert(id);
            }
            AddEvent(std::move(event));
        }
    }
    const auto listed = snapshot.find("robots");
    if (listed == snapshot.end() || !listed->is_array()) {
        return;
    }
    for (const nlohmann::json& entry : *listed) {
        if (!entry.is_object()) {
            continue;
        }
        const int id = IdIn(entry, "id");
        const double hitPoints = NumberIn(entry, "hitPoints", 0.0);
        const std::string state = TextIn(entry, "state");
        auto found = robots.find(id);
        if (found == robots.end()) {
            if (robots.size() >= kMaxStoryRobots) {
                continue;
            }
            found = robots.emplace(id, Robot{}).first;
        }
        Robot& robot = found->second;
        // A robot is named only once its client declares it.
        robot.name = NameIn(entry);
        robot.colour = entry.value("colour", nlohmann::json::array());
        robot.armour = NumberIn(entry, "armour", robot.armour);
        if (!robot.joined) {
            // Its hit points mean nothing before it is on the field, and a robot whose client
            // left before starting it never was.
            if (state == "configuring" || state == "departed") {
                continue;
            }
            robot.joined = true;
            robot.hitPoints = hitPoints;
            robot.state = state;
            AddEvent(EventFor(time, "joined", id));
            AddPoint(robot, time, hitPoints);
        }
        if (hitPoints != robot.hitPoints) {
            if (hitPoints < robot.hitPoints && hit.count(id) == 0) {
                nlohmann::json event = EventFor(time, "hit", id);
                event["damage"] = Thousandth(robot.hitPoints - hitPoints);
                event["hitPoints"] = Thousandth(hitPoints);
                AddEvent(std::move(event));
            }
            robot.hitPoints = hitPoints;
            AddPoint(robot, time, hitPoints);
        }
        if (state != robot.state) {
            if (state == "destroyed" && destroyed.count(id) == 0) {
                AddEvent(EventFor(time, "destroyed", id));
            } else if (state == "departed") {
                AddEvent(EventFor(time, "left", id));
                AddPoint(robot, time, hitPoints);
            }
            robot.state = state;
        }
    }
    changed = true;
}

std::shared_ptr<const std::string> BattleStory::Text() const {
    std::unique_lock<std::mutex> lock(mutex);
    // Building the text of a long battle takes milliseconds, part of them under the lock the
    // arena's loop needs too: however often it is asked for, it is built at most four times a
    // second, so that a page opened during a battle misses at most that much of it.
    const auto now = std::chrono::steady_clock::now();
    if (text && (!changed || now - builtAt < std::chrono::milliseconds(250))) {
        return text;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [id, robot] : robots) {
        if (!robot.joined) {
            continue;
        }
        nlohmann::json points = nlohmann::json::array();
        for (const auto& [at, value] : robot.points) {
            points.push_back({at, Thousandth(value)});
        }
        list.push_back({{"id", id},
                        {"name", robot.name},
                        {"colour", robot.colour},
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
    // A snapshot told while the text is written out marks it changed again.
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
    const std::size_t share = std::max(kMinStoryPointsPerRobot, kMaxStoryPoints / robots.size());
    if (points.size() > share) {
        // Every other point goes; the first and the newest stay, so the line still spans it all.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (i % 2 == 0 || i + 1 == points.size()) {
                points[kept++] = points[i];
            }
        }
        points.resize(kept);
    }
}

nlohmann::json BattleStory::EventFor(double at, const char* kind, int id) const {
    return {{"time", at}, {"kind", kind}, {"robot", id}, {"name", robots.at(id).name}};
}

} // namespace botarena
