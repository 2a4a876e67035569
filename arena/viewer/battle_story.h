#pragma once

#include "arena/viewer/story_step.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
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

/// How a battle went, told once, step by step: who joined, hit, destroyed and left whom when,
/// and each robot's hit points over time. The viewer's page draws its event feed and hit-point
/// chart from it: live, the battle so far; in a replay, the whole recording.
///
/// Tell takes the battle's typed step and gives the entries it added, which each snapshot
/// carries; Append adds such entries again (a recording's), so a replay is told what the battle
/// told. The battle's events name who hit whom; a fall in hit points or a destruction that no
/// event explains (recordings made before snapshots carried events, or a step with more events
/// than a snapshot carries) is told without a shooter. Safe to use from several threads.
///
/// As JSON: {time (s, of the last snapshot told), events [{time, kind "joined" | "left" | "hit" |
/// "destroyed", robot, name, by, byName, damage, hitPoints}] (by and byName only when known,
/// damage and hitPoints for hits), omitted (events left out), robots [{id, name, colour,
/// armour, points [[time, hitPoints]]}]}. The points are a step function: the value at a
/// robot's first snapshot on the field, at each change, and at its end. A robot joins when it
/// is first seen on the field; one whose client left before starting it is not told.
///
/// The entries of one telling, as a snapshot's `story`: {since (s, the time of the telling
/// before; absent at the first), robots [{id, name, colour, armour}] (those that joined or
/// changed), events [as above], points [[robot, time, hitPoints]]}, each list only when not
/// empty.
class BattleStory {
  public:
    /// Tells one more step, which must not come before the last one told; returns the entries
    /// it added.
    nlohmann::json Tell(const StoryStep& step);
    /// Adds the entries another story told at `time` (a recorded snapshot's `story`). They are
    /// input from a file: what is not an entry is passed over, and names are cut as Tell cuts
    /// them.
    void Append(double time, const nlohmann::json& told);
    /// The story so far as compact JSON text; built again only after a change.
    std::shared_ptr<const std::string> Text() const;

  private:
    struct Robot {
        std::string name;
        std::array<int, 3> colour = {200, 200, 200};
        double armour = 0.0;
        std::vector<std::pair<double, double>> points;
        // What the last telling saw, to tell what changed.
        RobotStage stage = RobotStage::Running;
        double hitPoints = 0.0;
    };

    /// The step's hits and destructions; those of robots the story does not follow are left
    /// out. Adds the robots they concern to `hit` and `destroyed`.
    void TellEvents(const StoryStep& step, nlohmann::json& told, std::set<int>& hit,
                    std::set<int>& destroyed) const;
    void TellRobot(double at, const StoryRobot& seen, const std::set<int>& hit,
                   const std::set<int>& destroyed, nlohmann::json& told);
    /// Adds the entries, under the lock.
    void Take(double at, const nlohmann::json& told);
    void AddEvent(nlohmann::json event);
    static void AddPoint(Robot& robot, double at, double hitPoints);
    /// Thins the lines of the robots given to their share of kMaxStoryPoints.
    void Thin(const std::set<int>& ids);
    nlohmann::json EventFor(double at, const char* kind, int id) const;

    mutable std::mutex mutex;
    double time = 0.0;
    bool told = false; ///< at least once
    std::map<int, Robot> robots;
    std::deque<nlohmann::json> events;
    std::size_t omitted = 0;
    mutable bool changed = true;
    mutable std::shared_ptr<const std::string> text;
    mutable std::chrono::steady_clock::time_point builtAt;
};

} // namespace botarena
