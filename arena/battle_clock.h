#pragma once

#include "arena/arena_options.h"
#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"
#include "arena/battle/opponent_pilot.h"
#include "arena/protocol/event_log.h"

#include <asio.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace botarena {

/// The battle in time: the fixed steps kept to the wall clock with the built-in opponents
/// driven before each, the rounds and their end, the end of the battle, the grace after it
/// during which the robot connections are told it is over, and the signals that end either.
/// What the rest of the arena does at each of these moments, it is told through its hooks.
class BattleClock {
  public:
    struct Hooks {
        /// After each step, with its events (already logged), before the round's end is
        /// looked at.
        std::function<void(const std::vector<BattleEvent>&)> stepped;
        /// After a step that ended no round.
        std::function<void()> steppedOn;
        /// A round has begun: the first at Start, each further one as the one before ends.
        std::function<void()> roundBegun;
        /// The battle is over, for this reason; the grace is yet to come.
        std::function<void(const std::string&)> ended;
        /// Whether a robot connection is open, to be told during the grace that it is over.
        std::function<bool()> anyoneToTell;
        /// The grace is over.
        std::function<void()> graceEnded;
    };

    /// `options`, `battle`, `board` and `log` must outlive the clock.
    BattleClock(asio::io_context& io, const ArenaOptions& options, std::uint32_t seed,
                Battle& battle, DrawingBoard& board, EventLog& log, Hooks hooks);

    /// Logs the seed and the field, places the opponents, begins the first round, starts the
    /// clock and listens for SIGINT and SIGTERM.
    void Start();
    /// Ends the battle, whatever round it is in, then the grace: for options.graceSeconds,
    /// until no robot connection is left to tell, or until a signal. Later calls do nothing.
    void Finish(const std::string& reason);
    /// After Finish: ends the grace now. Otherwise, and later, it does nothing.
    void EndGrace();

    bool IsFinished() const { return finished; }
    /// How long ago the battle's clock last read what it reads now, up to a step: a reading
    /// served between steps is taken that far into the next. [Units: s]
    double TimeIntoStep() const;

  private:
    void AddOpponents();
    void ScheduleStep();
    void OnStep(const std::error_code& error);
    /// A round ended: the next one begins, or after the last the battle is over.
    void EndRound(const std::string& reason);
    /// A signal ends the battle, or during the grace after it, the grace.
    void WaitForSignal();
    void LogEvents(const std::vector<BattleEvent>& events);

    const ArenaOptions& options;
    std::uint32_t seed;
    Battle& battle;
    DrawingBoard& board;
    EventLog& log;
    Hooks hooks;
    asio::steady_timer stepTimer;
    asio::steady_timer graceTimer;
    asio::signal_set signals;
    asio::steady_timer::time_point nextStep;
    /// When the battle's clock last read what it reads now: the schedule of its last step.
    asio::steady_timer::time_point lastStepAt;
    std::vector<std::unique_ptr<OpponentPilot>> pilots;
    bool finished = false;
    bool graceOver = false;
};

} // namespace botarena
