#include "arena/arena_server.h"

#include "arena/viewer/viewer_server.h"

#include <algorithm>
#include <random>

namespace botarena {

namespace {

std::uint32_t ChooseSeed(const std::optional<std::uint32_t>& given) {
    if (given) {
        return *given;
    }
    std::random_device device;
    return device();
}

} // namespace

ArenaServer::ArenaServer(asio::io_context& io, ArenaOptions options, std::ostream& out,
                         std::ostream& err)
    : options(std::move(options)), out(out), seed(ChooseSeed(this->options.seed)),
      battle(this->options.field, seed), board(this->options.field),
      log(err, [this] { return battle.Time(); }),
      ports(io, this->options, battle, board, log, PortHooks()),
      publisher(this->options, battle, board, log),
      results(out, this->options.summaryPath, seed, battle, ports, log),
      clock(io, this->options, seed, battle, board, log, ClockHooks()) {}

ArenaPorts::Hooks ArenaServer::PortHooks() {
    ArenaPorts::Hooks hooks;
    hooks.timeIntoStep = [this] { return clock.TimeIntoStep(); };
    // Nobody left to tell that the battle is over: the grace, if it has begun, ends.
    hooks.closed = [this] {
        if (ports.OpenRobotConnections() == 0) {
            clock.EndGrace();
        }
    };
    return hooks;
}

BattleClock::Hooks ArenaServer::ClockHooks() {
    BattleClock::Hooks hooks;
    hooks.stepped = [this](const std::vector<BattleEvent>& events) {
        publisher.KeepForSnapshot(events);
        results.LogStatusEachSecond();
    };
    hooks.steppedOn = [this] { publisher.PublishWhenDue(); };
    hooks.roundBegun = [this] { publisher.PublishSnapshot(); };
    hooks.ended = [this](const std::string& reason) {
        ports.Close();
        // Written at the end of the battle, not of the grace: the robots on the field survived.
        // The summary is written again when the grace ends, with the connections as they closed.
        results.PrintScoreboard(reason);
        results.WriteSummary(reason);
        publisher.Finish(reason);
    };
    hooks.anyoneToTell = [this] { return ports.OpenRobotConnections() > 0; };
    hooks.graceEnded = [this] {
        ports.CloseAll("battle over");
        // Regression: the only summary was the one written before the grace, which listed every
        // connection still open then as open, though it closed cleanly a moment later.
        // The battle's last round ended with the reason it was finished for.
        results.WriteSummary(battle.Rounds().back().reason);
    };
    return hooks;
}

void ArenaServer::Start() {
    ports.Open();
    publisher.Open();
    out << "botarena listening on " << options.bind << " port " << RobotPort()
        << " for robots and port " << DrawingPort() << " for drawing";
    if (publisher.HasViewer()) {
        out << ", viewer at " << ViewerAddress(options.bind, HttpPort());
    }
    out << std::endl;
    clock.Start();
    ports.Accept();
}

int ArenaServer::ExitCode() const {
    return std::max(results.ExitCode(), publisher.ExitCode());
}

} // namespace botarena
