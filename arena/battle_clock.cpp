#include "arena/battle_clock.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sstream>

namespace botarena {

namespace {

/// Steps made at once to catch up after the loop fell behind; beyond that the clock is reset
/// rather than the battle rushed. [Units: steps]
constexpr int kMaxCatchUpSteps = 10;

} // namespace

BattleClock::BattleClock(asio::io_context& io, const ArenaOptions& options, std::uint32_t seed,
                         Battle& battle, DrawingBoard& board, EventLog& log, Hooks hooks)
    : options(options), seed(seed), battle(battle), board(board), log(log), hooks(std::move(hooks)),
      stepTimer(io), graceTimer(io), signals(io, SIGINT, SIGTERM) {}

void BattleClock::Start() {
    std::ostringstream opening;
    opening << "seed " << seed << ", field " << battle.Field().width << " x "
            << battle.Field().height;
    log.Line(opening.str());
    AddOpponents();
    WaitForSignal();
    hooks.roundBegun();
    nextStep = asio::steady_timer::clock_type::now();
    lastStepAt = nextStep;
    ScheduleStep();
}

double BattleClock::TimeIntoStep() const {
    const std::chrono::duration<double> since = asio::steady_timer::clock_type::now() - lastStepAt;
    return std::clamp(since.count(), 0.0, options.stepSeconds);
}

void BattleClock::AddOpponents() {
    pilots = StartOpponents(battle, options.opponents, options.bots, seed);
    for (const std::unique_ptr<OpponentPilot>& pilot : pilots) {
        log.Line("robot " + std::to_string(pilot->RobotId()) + " (" +
                 battle.Find(pilot->RobotId())->Identity().name + "): built-in opponent started");
    }
}

void BattleClock::ScheduleStep() {
    nextStep += std::chrono::duration_cast<asio::steady_timer::duration>(
        std::chrono::duration<double>(options.stepSeconds));
    stepTimer.expires_at(nextStep);
    stepTimer.async_wait([this](const std::error_code& error) { OnStep(error); });
}

void BattleClock::OnStep(const std::error_code& error) {
    if (error || finished) {
        return;
    }
    // Fixed steps on a fixed schedule: a late wake-up makes up the missed steps, so simulated
    // time keeps to the wall clock the clients stamp their readings with.
    const auto stepLength = std::chrono::duration_cast<asio::steady_timer::duration>(
        std::chrono::duration<double>(options.stepSeconds));
    int steps = 1;
    const auto now = asio::steady_timer::clock_type::now();
    while (nextStep + stepLength <= now && steps < kMaxCatchUpSteps) {
        nextStep += stepLength;
        ++steps;
    }
    if (nextStep + stepLength <= now) {
        nextStep = now;
    }
    for (int i = 0; i < steps && !finished; ++i) {
        for (const std::unique_ptr<OpponentPilot>& pilot : pilots) {
            pilot->Update(battle);
        }
        const std::vector<BattleEvent> events = battle.Step(options.stepSeconds);
        board.SetClock(battle.Time());
        LogEvents(events);
        hooks.stepped(events);
        if (options.duration > 0.0 && battle.RoundTime() + 1e-9 >= options.duration) {
            EndRound("duration reached");
        } else if (battle.IsDecided()) {
            EndRound(battle.RunningCount() == 1 ? "one robot left" : "no robot left");
        } else {
            hooks.steppedOn();
        }
    }
    lastStepAt = nextStep;
    if (!finished) {
        ScheduleStep();
    }
}

void BattleClock::LogEvents(const std::vector<BattleEvent>& events) {
    for (const BattleEvent& event : events) {
        std::ostringstream text;
        text.precision(4);
        if (event.kind == BattleEvent::Kind::Hit) {
            text << "hit: robot " << event.shooterId << " hit robot " << event.targetId << " for "
                 << event.damage << ", " << event.hitPoints << " left";
        } else {
            text << "destroyed: robot " << event.targetId << " by robot " << event.shooterId;
        }
        log.Line(text.str());
    }
}

void BattleClock::WaitForSignal() {
    signals.async_wait([this](const std::error_code& error, int number) {
        if (error) {
            return;
        }
        if (!finished) {
            Finish("stopped by signal " + std::to_string(number));
        } else {
            EndGrace();
        }
        if (!graceOver) {
            WaitForSignal();
        }
    });
}

void BattleClock::EndRound(const std::string& reason) {
    if (battle.Round() >= options.rounds) {
        Finish(reason);
        return;
    }
    const RoundResult& result = battle.EndRound(reason);
    const Standings& standings = result.standings;
    log.Line("round " + std::to_string(result.number) + " over: " + reason + "; " +
             (standings.winnerId == 0 ? std::string("draw") : standings.winnerName + " wins"));
    battle.BeginRound();
    log.Line("round " + std::to_string(battle.Round()) + ": " +
             std::to_string(battle.RunningCount()) + " robots back on the field");
    hooks.roundBegun();
}

void BattleClock::Finish(const std::string& reason) {
    if (finished) {
        return;
    }
    finished = true;
    if (!battle.IsOver()) {
        battle.EndRound(reason);
    }
    log.Line("battle over: " + reason);
    stepTimer.cancel();
    hooks.ended(reason);
    // A client that asks during the grace learns who won rather than finding its connection
    // gone, which it could not tell from a fault.
    if (!hooks.anyoneToTell()) {
        EndGrace();
        return;
    }
    graceTimer.expires_after(std::chrono::duration_cast<asio::steady_timer::duration>(
        std::chrono::duration<double>(options.graceSeconds)));
    graceTimer.async_wait([this](const std::error_code& error) {
        if (!error) {
            EndGrace();
        }
    });
}

void BattleClock::EndGrace() {
    if (!finished || graceOver) {
        return;
    }
    graceOver = true;
    std::error_code ignored;
    graceTimer.cancel();
    signals.cancel(ignored);
    hooks.graceEnded();
}

} // namespace botarena
