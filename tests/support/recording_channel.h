#pragma once

#include "link/controller.h"
#include "link/message_channel.h"
#include "tests/support/fake_robot_server.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace botpilot::testing {

/// A channel without a socket: answers each request from a per-cycle world, as the fake server
/// does, and records every request. A cycle ends with the GetPosition reply.
class RecordingChannel final : public MessageChannel {
  public:
    explicit RecordingChannel(FakeRobotServer::WorldScript world = [](int) { return FakeWorld(); })
        : world(std::move(world)) {}

    void Connect(const std::string&, std::int32_t) override {}

    Message Exchange(std::int32_t type, const Message& request) override {
        requests.push_back({false, type, DecodeValues(request.Bytes())});
        if (const auto error = pendingErrors.find(type); error != pendingErrors.end()) {
            Message reply;
            reply.AddString(error->second);
            pendingErrors.erase(error);
            return reply;
        }
        Message reply = WorldReply(type, world(cycle));
        if (type == static_cast<std::int32_t>(ControllerMessage::GetPosition)) {
            ++cycle;
        }
        return reply;
    }

    /// The next request of this type is answered with this error text.
    void FailNext(std::int32_t type, const std::string& errorText) {
        pendingErrors[type] = errorText;
    }

    std::vector<std::int32_t> Types() const {
        std::vector<std::int32_t> types;
        for (const RecordedRequest& request : requests) {
            types.push_back(request.type);
        }
        return types;
    }

    FakeRobotServer::WorldScript world;
    std::vector<RecordedRequest> requests;
    std::map<std::int32_t, std::string> pendingErrors;
    int cycle = 0;
};

/// Makes a controller over a recording channel the process's controller; returns the channel,
/// which lives until the next installation.
inline RecordingChannel& InstallRecordingController(FakeRobotServer::WorldScript world = [](int) {
    return FakeWorld();
}) {
    auto channel = std::make_unique<RecordingChannel>(std::move(world));
    RecordingChannel& recorder = *channel;
    Controller::SetInstanceForTesting(std::make_unique<Controller>(std::move(channel)));
    return recorder;
}

} // namespace botpilot::testing
