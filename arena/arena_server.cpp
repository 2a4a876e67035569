#include "arena/arena_server.h"

#include "arena/protocol/drawing_request_handler.h"
#include "arena/protocol/robot_request_handler.h"
#include "arena/scoreboard.h"
#include "arena/viewer/snapshot.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace botarena {

namespace {

/// Attempts at finding two free consecutive ports for --port 0.
constexpr int kPortPairAttempts = 50;
/// Steps made at once to catch up after the loop fell behind; beyond that the clock is reset
/// rather than the battle rushed. [Units: steps]
constexpr int kMaxCatchUpSteps = 10;

std::uint32_t ChooseSeed(const std::optional<std::uint32_t>& given) {
    if (given) {
        return *given;
    }
    std::random_device device;
    return device();
}

/// Opens the acceptor on the endpoint; false (and closed) when the port is taken.
bool TryListen(asio::ip::tcp::acceptor& acceptor, const asio::ip::tcp::endpoint& endpoint,
               std::error_code& error) {
    acceptor.open(endpoint.protocol(), error);
    if (!error) {
        acceptor.set_option(asio::socket_base::reuse_address(true), error);
    }
    if (!error) {
        acceptor.bind(endpoint, error);
    }
    if (!error) {
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    }
    if (error) {
        std::error_code ignored;
        acceptor.close(ignored);
        return false;
    }
    return true;
}

/// The open sessions of one kind.
int OpenOf(const std::map<ClientSession*, std::shared_ptr<ClientSession>>& sessions,
           ConnectionKind kind) {
    return static_cast<int>(
        std::count_if(sessions.begin(), sessions.end(),
                      [kind](const auto& entry) { return entry.first->Record().kind == kind; }));
}

/// The session of that kind that has sent nothing for longest, when that is at least
/// `idleTime` and it has nothing in hand (neither replies in writing nor requests waiting).
ClientSession* LongestIdle(const std::map<ClientSession*, std::shared_ptr<ClientSession>>& sessions,
                           ConnectionKind kind, ClientSession::Clock::duration idleTime) {
    ClientSession* idlest = nullptr;
    for (const auto& [key, session] : sessions) {
        if (session->Record().kind == kind && !session->IsBusy() &&
            (idlest == nullptr || session->LastHeard() < idlest->LastHeard())) {
            idlest = session.get();
        }
    }
    const bool idle =
        idlest != nullptr && ClientSession::Clock::now() - idlest->LastHeard() >= idleTime;
    return idle ? idlest : nullptr;
}

} // namespace

ArenaServer::ArenaServer(asio::io_context& io, ArenaOptions options, std::ostream& out,
                         std::ostream& err)
    : options(std::move(options)), out(out), seed(ChooseSeed(this->options.seed)),
      battle(this->options.field, seed), board(this->options.field),
      log(err, [this] { return battle.Time(); }), robotAcceptor(io), drawingAcceptor(io),
      stepTimer(io), graceTimer(io), signals(io, SIGINT, SIGTERM) {}

ArenaServer::~ArenaServer() {
    if (viewer) {
        viewer->Stop();
    }
}

void ArenaServer::Start() {
    OpenPorts();
    if (options.httpPort) {
        viewer = std::make_unique<ViewerServer>(hub, ViewerLimits{}, &story);
        httpPort = viewer->Start(options.bind, *options.httpPort);
    }
    // Only once every port is open: an arena that cannot start leaves an earlier recording
    // of the same name as it was.
    if (!options.recordPath.empty()) {
        recorder = std::make_unique<RecordingWriter>(options.recordPath);
    }
    out << "botarena listening on " << options.bind << " port " << RobotPort()
        << " for robots and port " << DrawingPort() << " for drawing";
    if (viewer) {
        out << ", viewer at " << ViewerAddress(options.bind, httpPort);
    }
    out << std::endl;
    std::ostringstream opening;
    opening << "seed " << seed << ", field " << battle.Field().width << " x "
            << battle.Field().height;
    log.Line(opening.str());
    AddOpponents();
    Accept(robotAcceptor, ConnectionKind::Robot);
    Accept(drawingAcceptor, ConnectionKind::Drawing);
    WaitForSignal();
    PublishSnapshot();
    nextStep = asio::steady_timer::clock_type::now();
    lastStepAt = nextStep;
    ScheduleStep();
}

void ArenaServer::OpenPorts() {
    std::error_code error;
    const asio::ip::address address = asio::ip::make_address(options.bind, error);
    if (error) {
        throw std::runtime_error("Cannot listen on '" + options.bind + "': not an IP address");
    }
    if (options.port != 0) {
        const auto port = static_cast<std::uint16_t>(options.port);
        if (!TryListen(robotAcceptor, {address, port}, error) ||
            !TryListen(drawingAcceptor, {address, static_cast<std::uint16_t>(port + 1)}, error)) {
            throw std::runtime_error("Cannot listen on " + options.bind + " ports " +
                                     std::to_string(port) + " and " + std::to_string(port + 1) +
                                     ": " + error.message());
        }
        robotPort = port;
        return;
    }
    for (int attempt = 0; attempt < kPortPairAttempts; ++attempt) {
        if (!TryListen(robotAcceptor, {address, 0}, error)) {
            break;
        }
        const std::uint16_t port = robotAcceptor.local_endpoint().port();
        if (port < 65535 &&
            TryListen(drawingAcceptor, {address, static_cast<std::uint16_t>(port + 1)}, error)) {
            robotPort = port;
            return;
        }
        robotAcceptor.close(error);
    }
    throw std::runtime_error("Cannot find two free consecutive ports on " + options.bind);
}

void ArenaServer::Accept(asio::ip::tcp::acceptor& acceptor, ConnectionKind kind) {
    acceptor.async_accept(
        [this, &acceptor, kind](const std::error_code& error, asio::ip::tcp::socket socket) {
            if (finished || error == asio::error::operation_aborted) {
                return;
            }
            if (!error) {
                OnAccepted(std::move(socket), kind);
            } else {
                log.Line(std::string("accept failed: ") + error.message());
            }
            Accept(acceptor, kind);
        });
}

void ArenaServer::OnAccepted(asio::ip::tcp::socket socket, ConnectionKind kind) {
    std::error_code error;
    const asio::ip::tcp::endpoint peer = socket.remote_endpoint(error);
    const std::string peerText =
        error ? std::string("unknown")
              : peer.address().to_string() + ":" + std::to_string(peer.port());
    // Each kind has its own places, so that silent drawings cannot keep robots out; a place
    // held by a connection that has long sent nothing goes to the newcomer.
    const int places =
        kind == ConnectionKind::Robot ? options.maxConnections : kMaxDrawingConnections;
    const int open = OpenOf(sessions, kind);
    if (open >= places) {
        const auto idleTime = std::chrono::duration_cast<ClientSession::Clock::duration>(
            std::chrono::duration<double>(kIdleStallTimes * options.stallSeconds));
        ClientSession* idle = LongestIdle(sessions, kind, idleTime);
        if (idle == nullptr) {
            // A client reconnecting in a loop must not flood the log either.
            log.SourceLine(std::string("the ") + KindName(kind) + " port",
                           "refused " + std::string(KindName(kind)) + " connection from " +
                               peerText + ": " + std::to_string(open) + " " + KindName(kind) +
                               " connections open");
            socket.close(error);
            return;
        }
        std::ostringstream reason;
        reason << "sent nothing for " << kIdleStallTimes * options.stallSeconds
               << " s; its place went to a new connection";
        idle->Close(reason.str());
    }
    // Every reply is small and awaited: Nagle's delay would only slow each exchange.
    socket.set_option(asio::ip::tcp::no_delay(true), error);

    auto record = std::make_shared<ConnectionRecord>();
    record->id = nextConnectionId++;
    record->kind = kind;
    record->peer = peerText;
    record->peerAddress = error ? "" : peer.address().to_string();
    records.push_back(record);

    ClientSession::Hooks hooks;
    hooks.accepted = [this](ClientSession& session) { return MakeHandler(session); };
    hooks.closed = [this](ClientSession& session) { OnClosed(session); };
    auto session = std::make_shared<ClientSession>(std::move(socket), record, log,
                                                   options.stallSeconds, std::move(hooks));
    sessions.emplace(session.get(), session);
    session->Start();
}

std::unique_ptr<RequestHandler> ArenaServer::MakeHandler(ClientSession& session) {
    const ConnectionRecord& record = session.Record();
    if (record.kind == ConnectionKind::Drawing) {
        board.AddLayer(record.id, record.clientName);
        AttributeDrawings();
        return std::make_unique<DrawingRequestHandler>(board, record.id);
    }
    const int robotId = battle.AddRobot(false).Id();
    session.Record().robotId = robotId;
    AttributeDrawings();
    // A reading is taken when it is served, between steps: the client stamps it then.
    auto sinceStep = [this] {
        const std::chrono::duration<double> since =
            asio::steady_timer::clock_type::now() - lastStepAt;
        return std::clamp(since.count(), 0.0, options.stepSeconds);
    };
    return std::make_unique<RobotRequestHandler>(battle, robotId, log, record.id, sinceStep);
}

void ArenaServer::AttributeDrawings() {
    // Nothing on the wire says whose a drawing is. A client draws from the machine it drives
    // its robot from, so a machine with one robot and one drawing open names it; where two
    // clients share a machine, no drawing is named after a robot that may not be its own.
    struct Machine {
        int robots = 0;
        int drawings = 0;
        int robotId = 0;
    };
    std::map<std::string, Machine> machines;
    for (const auto& record : records) {
        if (!record->open || record->peerAddress.empty()) {
            continue;
        }
        Machine& machine = machines[record->peerAddress];
        if (record->kind == ConnectionKind::Robot && record->robotId != 0) {
            ++machine.robots;
            machine.robotId = record->robotId;
        } else if (record->kind == ConnectionKind::Drawing && board.Layers().count(record->id)) {
            ++machine.drawings;
        }
    }
    for (const auto& record : records) {
        if (record->open && record->kind == ConnectionKind::Drawing) {
            const auto machine = machines.find(record->peerAddress);
            const bool known = machine != machines.end() && machine->second.robots == 1 &&
                               machine->second.drawings == 1;
            board.SetLayerRobot(record->id, known ? machine->second.robotId : 0);
        }
    }
}

void ArenaServer::OnClosed(ClientSession& session) {
    ConnectionRecord& record = session.Record();
    if (record.robotId != 0) {
        battle.RemoveRobot(record.robotId);
    }
    // A drawing shows what its client sees now: it goes with the connection.
    board.RemoveLayer(record.id);
    AttributeDrawings();
    if (records.size() > kMaxListedConnections) {
        const auto listed = std::find_if(records.begin(), records.end(),
                                         [&](const auto& entry) { return entry.get() == &record; });
        if (listed != records.end()) {
            ++unlisted.count;
            unlisted.requestsServed += record.requestsServed;
            unlisted.protocolErrors += record.protocolErrors;
            records.erase(listed);
        }
    }
    sessions.erase(&session);
    // Nobody left to tell that the battle is over.
    if (finished && !graceOver && OpenOf(sessions, ConnectionKind::Robot) == 0) {
        EndGrace();
    }
}

void ArenaServer::AddOpponents() {
    pilots = StartOpponents(battle, options.opponents, options.bots, seed);
    for (const std::unique_ptr<OpponentPilot>& pilot : pilots) {
        log.Line("robot " + std::to_string(pilot->RobotId()) + " (" +
                 battle.Find(pilot->RobotId())->Identity().name + "): built-in opponent started");
    }
}

void ArenaServer::ScheduleStep() {
    nextStep += std::chrono::duration_cast<asio::steady_timer::duration>(
        std::chrono::duration<double>(options.stepSeconds));
    stepTimer.expires_at(nextStep);
    stepTimer.async_wait([this](const std::error_code& error) { OnStep(error); });
}

void ArenaServer::OnStep(const std::error_code& error) {
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
        KeepForSnapshot(events);
        if (battle.Time() + 1e-9 >= nextStatusSecond) {
            LogStatus();
            ++nextStatusSecond;
        }
        if (options.duration > 0.0 && battle.RoundTime() + 1e-9 >= options.duration) {
            EndRound("duration reached");
        } else if (battle.IsDecided()) {
            EndRound(battle.RunningCount() == 1 ? "one robot left" : "no robot left");
        } else if (battle.Time() + 1e-9 >= nextSnapshotTime) {
            // On the battle's own clock, also while catching up: a recording keeps an even pace.
            PublishSnapshot();
        }
    }
    lastStepAt = nextStep;
    if (!finished) {
        ScheduleStep();
    }
}

void ArenaServer::LogEvents(const std::vector<BattleEvent>& events) {
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

void ArenaServer::KeepForSnapshot(const std::vector<BattleEvent>& events) {
    if (!viewer && !recorder) {
        return;
    }
    for (const BattleEvent& event : events) {
        // Hundreds of robots all hit at once would only make one snapshot huge; the hit
        // points in it still tell the rest.
        if (pendingEvents.size() >= kMaxEventsPerSnapshot) {
            return;
        }
        pendingEvents.push_back({battle.Time(), event});
    }
}

void ArenaServer::LogStatus() {
    std::uint64_t requests = unlisted.requestsServed;
    for (const auto& record : records) {
        requests += record->requestsServed;
    }
    std::ostringstream text;
    text << "status: " << battle.RunningCount() << " robots running, " << battle.ShellCount()
         << " shells, " << sessions.size() << " connections, " << requests << " requests ("
         << requests - requestsAtLastStatus << " in the last second)";
    requestsAtLastStatus = requests;
    log.Line(text.str());
}

void ArenaServer::WaitForSignal() {
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

void ArenaServer::EndRound(const std::string& reason) {
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
    PublishSnapshot();
}

void ArenaServer::Finish(const std::string& reason) {
    if (finished) {
        return;
    }
    finished = true;
    if (!battle.IsOver()) {
        battle.EndRound(reason);
    }
    log.Line("battle over: " + reason);
    std::error_code ignored;
    stepTimer.cancel();
    robotAcceptor.close(ignored);
    drawingAcceptor.close(ignored);
    // Written at the end of the battle, not of the grace: the robots on the field survived. The
    // summary is written again when the grace ends, with the connections as they closed.
    PrintScoreboard(out, battle, {reason, seed});
    WriteSummary(reason);
    PublishSnapshot(reason);
    // The viewer's streams send this final snapshot and end; the threads stop with the server.
    hub.Close();
    if (recorder && !recorder->Close()) {
        log.Line("cannot write the recording to " + options.recordPath);
        exitCode = 1;
    }
    // A client that asks during the grace learns who won rather than finding its connection
    // gone, which it could not tell from a fault.
    if (OpenOf(sessions, ConnectionKind::Robot) == 0) {
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

void ArenaServer::EndGrace() {
    if (!finished || graceOver) {
        return;
    }
    graceOver = true;
    std::error_code ignored;
    graceTimer.cancel();
    signals.cancel(ignored);
    // Closing a session removes it from the map: close from a copy.
    const auto open = sessions;
    for (const auto& [key, session] : open) {
        session->Close("battle over");
    }
    log.EndAllSources();
    // Regression: the only summary was the one written before the grace, which listed every
    // connection still open then as open, though it closed cleanly a moment later.
    // The battle's last round ended with the reason it was finished for.
    WriteSummary(battle.Rounds().back().reason);
}

void ArenaServer::WriteSummary(const std::string& reason) {
    if (options.summaryPath.empty()) {
        return;
    }
    std::ofstream file(options.summaryPath);
    // Names are whatever bytes the clients sent: text that is not UTF-8 is written with
    // replacement characters rather than failing the whole summary.
    file << SummaryJson(battle, {reason, seed}, records, unlisted)
                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
         << '\n';
    file.close();
    if (!file) {
        log.Line("cannot write the summary to " + options.summaryPath);
        exitCode = 1;
    }
}

void ArenaServer::PublishSnapshot(const std::string& over) {
    if (!viewer && !recorder) {
        return;
    }
    while (nextSnapshotTime <= battle.Time() + 1e-9) {
        nextSnapshotTime += kSnapshotSeconds;
    }
    nlohmann::json snapshot = SnapshotJson(battle, board, pendingEvents);
    // Told once, here: the recording and the page take the story's new entries from the
    // snapshot, and /story serves it whole.
    snapshot["story"] = story.Tell(StoryStepOf(battle, pendingEvents));
    pendingEvents.clear();
    if (!over.empty()) {
        snapshot["over"] = over;
    }
    // Names are whatever bytes the clients sent; the viewer needs UTF-8.
    std::string text = snapshot.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (recorder && !recorder->Write(text, battle.Time())) {
        log.Line("cannot write the recording to " + options.recordPath + "; recording stopped");
        recorder->Close();
        recorder.reset();
        exitCode = 1;
    }
    if (viewer) {
        hub.Publish(std::move(text));
    }
}

} // namespace botarena
