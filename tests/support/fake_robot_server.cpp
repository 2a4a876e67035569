#include "tests/support/fake_robot_server.h"

#include "wire/frame.h"
#include "wire/message.h"

#include <stdexcept>
#include <utility>

namespace botpilot::testing {

namespace {

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
    robotServer = std::make_unique<FrameServer>(
        std::move(robot),
        [this](std::int32_t type, const std::vector<std::uint8_t>& payload,
               std::vector<std::uint8_t>& reply) { Handle(false, type, payload, reply); });
    drawingServer = std::make_unique<FrameServer>(
        std::move(drawing),
        [this](std::int32_t type, const std::vector<std::uint8_t>& payload,
               std::vector<std::uint8_t>& reply) { Handle(true, type, payload, reply); });
}

FakeRobotServer::~FakeRobotServer() {
    Stop();
}

void FakeRobotServer::Stop() {
    robotServer->Stop();
    drawingServer->Stop();
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

void FakeRobotServer::Handle(bool drawing, std::int32_t type,
                             const std::vector<std::uint8_t>& payload,
                             std::vector<std::uint8_t>& reply) {
    RecordedRequest request;
    request.drawing = drawing;
    request.type = type;
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
    reply = tampered ? std::move(*tampered) : ReplyTo(request);
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
