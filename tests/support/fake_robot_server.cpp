#include "tests/support/fake_robot_server.h"

#include "link/frame.h"
#include "link/message.h"
#include "tests/support/scripted_server.h"

#include <stdexcept>
#include <utility>

namespace botpilot::testing {

namespace {

/// How often the server's waits look at the stop flag. [Units: s]
constexpr double kStopCheckSeconds = 0.05;

/// Listens on a free pair of consecutive ports: robot connections, then drawing connections.
std::pair<TcpListener, TcpListener> ListenOnPortPair() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        TcpListener robot = TcpListener::Listen("127.0.0.1", 0);
        if (robot.Port() == 65535) {
            continue;
        }
        try {
            TcpListener drawing =
                TcpListener::Listen("127.0.0.1", static_cast<std::uint16_t>(robot.Port() + 1));
            return {std::move(robot), std::move(drawing)};
        } catch (const std::runtime_error&) {
            // The next port is taken: try another pair.
        }
    }
    throw std::runtime_error("No free pair of consecutive ports on 127.0.0.1");
}

bool ReadExactly(TcpSocket& client, std::uint8_t* into, std::size_t count,
                 const std::atomic<bool>& stopping) {
    std::size_t held = 0;
    while (held < count) {
        const IoResult result =
            client.ReceiveSome(into + held, count - held, Deadline::After(kStopCheckSeconds));
        if (result.status == IoStatus::TimedOut) {
            if (stopping) {
                return false;
            }
            continue;
        }
        if (result.status != IoStatus::Ok) {
            return false;
        }
        held += result.bytes;
    }
    return true;
}

} // namespace

std::vector<WireValue> DecodeValues(const std::vector<std::uint8_t>& payload) {
    Message message(payload);
    std::vector<WireValue> values;
    try {
        while (message.ReadPosition() < payload.size()) {
            switch (static_cast<MessageValueTag>(payload[message.ReadPosition()])) {
            case MessageValueTag::Integer:
                values.emplace_back(message.ReadInt());
                break;
            case MessageValueTag::Double:
                values.emplace_back(message.ReadDouble());
                break;
            case MessageValueTag::String:
                values.emplace_back(message.ReadString());
                break;
            default:
                return values;
            }
        }
    } catch (const std::runtime_error&) {
    }
    return values;
}

FakeRobotServer::FakeRobotServer(WorldScript world) : world(std::move(world)) {
    auto [robot, drawing] = ListenOnPortPair();
    robotListener = std::move(robot);
    drawingListener = std::move(drawing);
    threads.emplace_back([this] { AcceptLoop(robotListener, false); });
    threads.emplace_back([this] { AcceptLoop(drawingListener, true); });
}

FakeRobotServer::~FakeRobotServer() { Stop(); }

void FakeRobotServer::Stop() {
    stopping = true;
    // Connection threads are added by the accept loops; join until none is left.
    for (;;) {
        std::thread next;
        {
            std::lock_guard<std::mutex> hold(threadsLock);
            if (threads.empty()) {
                break;
            }
            next = std::move(threads.front());
            threads.erase(threads.begin());
        }
        if (next.joinable()) {
            next.join();
        }
    }
    robotListener.Close();
    drawingListener.Close();
}

void FakeRobotServer::FailNext(std::int32_t type, const std::string& errorText) {
    std::lock_guard<std::mutex> hold(lock);
    pendingErrors[type] = errorText;
}

void FakeRobotServer::SetTamper(Tamper newTamper) {
    std::lock_guard<std::mutex> hold(lock);
    tamper = std::move(newTamper);
}

std::vector<RecordedRequest> FakeRobotServer::Requests() const {
    std::lock_guard<std::mutex> hold(lock);
    return requests;
}

std::vector<std::int32_t> FakeRobotServer::RobotRequestTypes() const {
    std::vector<std::int32_t> types;
    for (const RecordedRequest& request : Requests()) {
        if (!request.drawing) {
            types.push_back(request.type);
        }
    }
    return types;
}

bool FakeRobotServer::WaitForRequests(std::size_t count) const {
    std::unique_lock<std::mutex> hold(lock);
    return arrived.wait_for(hold, std::chrono::seconds(10),
                            [&] { return requests.size() >= count; });
}

void FakeRobotServer::AcceptLoop(TcpListener& listener, bool drawing) {
    while (!stopping) {
        std::optional<TcpSocket> client = listener.Accept(Deadline::After(kStopCheckSeconds));
        if (!client) {
            continue;
        }
        std::lock_guard<std::mutex> hold(threadsLock);
        threads.emplace_back(
            [this, drawing, socket = std::move(*client)]() mutable { Serve(std::move(socket), drawing); });
    }
}

void FakeRobotServer::Serve(TcpSocket client, bool drawing) {
    if (!ReadHandshake(client)) {
        return;
    }
    WriteBytes(client, {kHandshakeAccepted});
    for (;;) {
        std::uint8_t header[kRequestHeaderBytes];
        if (!ReadExactly(client, header, sizeof header, stopping)) {
            return;
        }
        RecordedRequest request;
        request.drawing = drawing;
        request.type = static_cast<std::int32_t>(
            header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24);
        const std::uint32_t length =
            header[4] | header[5] << 8 | header[6] << 16 | static_cast<std::uint32_t>(header[7]) << 24;
        std::vector<std::uint8_t> payload(length);
        if (!ReadExactly(client, payload.data(), payload.size(), stopping)) {
            return;
        }
        request.values = DecodeValues(payload);

        std::optional<std::vector<std::uint8_t>> tampered;
        {
            std::lock_guard<std::mutex> hold(lock);
            requests.push_back(request);
            if (tamper) {
                tampered = tamper(request);
            }
        }
        arrived.notify_all();
        WriteBytes(client, tampered ? *tampered : ReplyTo(request));
    }
}

std::vector<std::uint8_t> FakeRobotServer::ReplyTo(const RecordedRequest& request) {
    std::lock_guard<std::mutex> hold(lock);
    Message reply;
    if (request.drawing) {
        reply.AddString("");
        return BuildReplyFrame(reply);
    }
    const FakeWorld now = world(cycle);
    const auto error = pendingErrors.find(request.type);
    if (error != pendingErrors.end() &&
        request.type != static_cast<std::int32_t>(ControllerMessage::GetPlayingFieldSize)) {
        reply.AddString(error->second);
        pendingErrors.erase(error);
        return BuildReplyFrame(reply);
    }
    if (request.type == static_cast<std::int32_t>(ControllerMessage::GetPosition)) {
        ++cycle; // the last read of a robot cycle
    }
    return BuildReplyFrame(WorldReply(request.type, now));
}

} // namespace botpilot::testing
