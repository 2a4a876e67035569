#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace botarena {

/// Events a story keeps; older ones are left out and counted.
constexpr std::size_t kMaxStoryEvents = 5000;
/// Hit-point points all robots of a story keep together. A robot over its share (this over the
/// robots, at least kMinStoryPointsPerRobot) keeps every other point, so that its line spans
/// the whole battle at a coarser grain.
constexpr std::size_t kMaxStoryPoints = 200'000;
constexpr std::size_t kMinStoryPointsPerRobot = 64;
/// Robots a story follows; later newcomers are left out of it.
constexpr std::size_t kMaxStoryRobots = 4096;
/// A name longer than this, which only a recording can hold (a client declares 1 to 64 bytes),
/// is cut to it (at a character's start) and marked with "…": every event carries its robot's
/// name, and an 8 MB name told 5,000 times would take 40 GB. [Units: bytes]
constexpr std::size_t kMaxStoryNameBytes = 64;

/// How a battle went, told from its snapshots one after another: who joined, hit, destroyed and
/// left whom when, and each robot's hit points over time. The viewer's page draws its event
/// feed and hit-point chart from it: live, the battle so far; in a replay, the whole recording.
///
/// A snapshot's `events` name who hit whom; a fall in hit points or a destruction that no event
/// explains (recordings made before snapshots carried events, or a step with more events than a
/// snapshot carries) is told without a shooter. Safe to use from several threads.
///
/// As JSON: {time (s, of the last snapshot told), events [{time, kind "joined" | "left" | "hit" |
/// "destroyed", robot, name, by, byName, damage, hitPoints}] (by and byName only when known,
/// damage and hitPoints for hits), omitted (events left out), robots [{id, name, colour,
/// armour, points [[time, hitPoints]]}]}. The points are a step function: the value at a
/// robot's first snapshot on the field, at each change, and at its end. A robot joins when it
/// is first seen on the field; one whose client left before starting it is not told.
class BattleStory {
  public:
    /// Tells one more snapshot, which must not come before the last one told. Snapshots that
    /// lack a field the story needs are taken as far as they go.
    void Add(const nlohmann::json& snapshot);
    /// The story so far as compact JSON text; built again only after a change.
    std::shared_ptr<const std::string> Text() const;

  private:
    struct Robot {
        std::string name;
        nlohmann::json colour;
        double armour = 0.0;
        std::string state;
        bool joined = false; ///< on the field once at least
        double hitPoints = 0.0;
        std::vector<std::pair<double, double>> points;
    };

    void AddEvent(nlohmann::json event);
    void AddPoint(Robot& robot, double at, double hitPoints);
    nlohmann::json EventFor(double at, const char* kind, int id) const;

    mutable std::mutex mutex;
    double time = 0.0;
    std::map<int, Robot> robots;
    std::deque<nlohmann::json> events;
    std::size_t omitted = 0;
    mutable bool changed = true;
    mutable std::shared_ptr<const std::string> text;
    mutable std::chrono::steady_clock::time_point builtAt;
};

} // namespace botarena
