#include "arena/arena_ports.h"

#include "arena/protocol/drawing_request_handler.h"
#include "arena/protocol/robot_request_handler.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <stdexcept>

namespace botarena {

namespace {

/// Attempts at finding two free consecutive ports for --port 0.
constexpr int kPortPairAttempts = 50;

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

ArenaPorts::ArenaPorts(asio::io_context& io, const ArenaOptions& options, Battle& battle,
                       DrawingBoard& board, EventLog& log, Hooks hooks)
    : options(options), battle(battle), board(board), log(log), hooks(std::move(hooks)),
      robotAcceptor(io), drawingAcceptor(io) {}

void ArenaPorts::Open() {
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

void ArenaPorts::Accept() {
    Accept(robotAcceptor, ConnectionKind::Robot);
    Accept(drawingAcceptor, ConnectionKind::Drawing);
}

void ArenaPorts::Close() {
    closed = true;
    std::error_code ignored;
    robotAcceptor.close(ignored);
    drawingAcceptor.close(ignored);
}

void ArenaPorts::CloseAll(const std::string& reason) {
    // Closing a session removes it from the map: close from a copy.
    const auto open = sessions;
    for (const auto& [key, session] : open) {
        session->Close(reason);
    }
    log.EndAllSources();
}

int ArenaPorts::OpenRobotConnections() const {
    return OpenOf(sessions, ConnectionKind::Robot);
}

std::uint64_t ArenaPorts::RequestsServed() const {
    std::uint64_t requests = unlisted.requestsServed;
    for (const auto& record : records) {
        requests += record->requestsServed;
    }
    return requests;
}

void ArenaPorts::Accept(asio::ip::tcp::acceptor& acceptor, ConnectionKind kind) {
    acceptor.async_accept(
        [this, &acceptor, kind](const std::error_code& error, asio::ip::tcp::socket socket) {
            if (closed || error == asio::error::operation_aborted) {
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

void ArenaPorts::OnAccepted(asio::ip::tcp::socket socket, ConnectionKind kind) {
    std::error_code error;
    const asio::ip::tcp::endpoint peer = socket.remote_endpoint(error);
    // A peer that left before it was accepted has no address: it is named, not attributed.
    const std::string peerAddress = error ? std::string() : peer.address().to_string();
    const std::string peerText =
        error ? std::string("unknown") : peerAddress + ":" + std::to_string(peer.port());
    if (!MakePlace(kind, peerText)) {
        socket.close(error);
        return;
    }
    // Every reply is small and awaited: Nagle's delay would only slow each exchange.
    std::error_code optionError;
    socket.set_option(asio::ip::tcp::no_delay(true), optionError);

    auto record = std::make_shared<ConnectionRecord>();
    record->id = nextConnectionId++;
    record->kind = kind;
    record->peer = peerText;
    record->peerAddress = peerAddress;
    records.push_back(record);

    ClientSession::Hooks sessionHooks;
    sessionHooks.accepted = [this](ClientSession& session) { return MakeHandler(session); };
    sessionHooks.closed = [this](ClientSession& session) { OnClosed(session); };
    auto session = std::make_shared<ClientSession>(std::move(socket), record, log,
                                                   options.stallSeconds, std::move(sessionHooks));
    sessions.emplace(session.get(), session);
    session->Start();
}

bool ArenaPorts::MakePlace(ConnectionKind kind, const std::string& peerText) {
    // Each kind has its own places, so that silent drawings cannot keep robots out; a place
    // held by a connection that has long sent nothing goes to the newcomer.
    const int places =
        kind == ConnectionKind::Robot ? options.maxConnections : kMaxDrawingConnections;
    const int open = OpenOf(sessions, kind);
    if (open < places) {
        return true;
    }
    const auto idleTime = std::chrono::duration_cast<ClientSession::Clock::duration>(
        std::chrono::duration<double>(kIdleStallTimes * options.stallSeconds));
    ClientSession* idle = LongestIdle(sessions, kind, idleTime);
    if (idle == nullptr) {
        // A client reconnecting in a loop must not flood the log either.
        log.SourceLine(std::string("the ") + KindName(kind) + " port",
                       "refused " + std::string(KindName(kind)) + " connection from " + peerText +
                           ": " + std::to_string(open) + " " + KindName(kind) +
                           " connections open");
        return false;
    }
    std::ostringstream reason;
    reason << "sent nothing for " << kIdleStallTimes * options.stallSeconds
           << " s; its place went to a new connection";
    idle->Close(reason.str());
    return true;
}

std::unique_ptr<RequestHandler> ArenaPorts::MakeHandler(ClientSession& session) {
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
    return std::make_unique<RobotRequestHandler>(battle, robotId, log, record.id,
                                                 hooks.timeIntoStep);
}

void ArenaPorts::AttributeDrawings() {
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

void ArenaPorts::OnClosed(ClientSession& session) {
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
    hooks.closed();
}

} // namespace botarena
