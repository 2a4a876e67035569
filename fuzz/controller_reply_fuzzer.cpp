// Fuzzes every Controller reply parser: the first byte picks the request (the catalogue's served
// types in order, as the seed writer numbers them), the rest is the reply payload the server
// "sent", handed over by a channel without a socket. A parser may fail only
// with std::runtime_error (a decoding error or the server's own text) or, for a negative list
// count, std::length_error; it must send exactly its one request, and a list never holds more
// entries than the reply had room for.
#include "link/controller.h"
#include "link/message_channel.h"
#include "wire/controller_catalogue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using botpilot::Controller;
using botpilot::Message;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// Answers every request with the fuzzed payload and counts the requests.
class FuzzedReplyChannel final : public botpilot::MessageChannel {
  public:
    explicit FuzzedReplyChannel(std::vector<std::uint8_t> payload) : payload(std::move(payload)) {}

    void Connect(const std::string&, std::int32_t) override {}

    Message Exchange(std::int32_t messageType, const Message&) override {
        ++exchanges;
        lastType = messageType;
        return Message(payload);
    }

    std::vector<std::uint8_t> payload;
    int exchanges = 0;
    std::int32_t lastType = 0;
};

using botpilot::ControllerMessage;
using botpilot::Describe;

// The fewest bytes a list entry takes on the wire.
constexpr std::size_t kMinRobotEntryBytes =
    botpilot::MinimumBytes(Describe(ControllerMessage::GetSeenRobots).each);
constexpr std::size_t kMinObjectEntryBytes =
    botpilot::MinimumBytes(Describe(ControllerMessage::GetSeenObjects).each);

using Call = std::function<void(Controller&, std::size_t payloadBytes)>;

struct Operation {
    const botpilot::CatalogueEntry* entry;
    Call call;
};

/// The call that sends each served type.
const std::map<ControllerMessage, Call>& Calls() {
    using M = ControllerMessage;
    static const std::map<ControllerMessage, Call> calls = {
        {M::GetPlayingFieldSize, [](Controller& c, std::size_t) { c.GetPlayingFieldSize(); }},
        {M::GetRobotId, [](Controller& c, std::size_t) { c.GetRobotId(); }},
        {M::SetRobotType, [](Controller& c, std::size_t) { c.SetRobotType("Plimb"); }},
        {M::SetRobotName, [](Controller& c, std::size_t) { c.SetRobotName("Nolix"); }},
        {M::ConfigureEngine, [](Controller& c, std::size_t) { c.ConfigureEngine(3.0, 75.0); }},
        {M::ConfigureScanner,
         [](Controller& c, std::size_t) { c.ConfigureScanner(10.0, 60.0, 60.0); }},
        {M::ConfigureFirstFitting,
         [](Controller& c, std::size_t) { c.ConfigureFirstFitting(50.0); }},
        {M::ConfigureTurret, [](Controller& c, std::size_t) { c.ConfigureTurret(0.0, 0.0); }},
        {M::ConfigureGun, [](Controller& c, std::size_t) { c.ConfigureGun(1.3, 4.0, 2.0, 4.5); }},
        {M::ConfigureSecondFitting,
         [](Controller& c, std::size_t) { c.ConfigureSecondFitting(1.5); }},
        {M::StartRobot, [](Controller& c, std::size_t) { c.StartRobot(); }},
        {M::GetPosition, [](Controller& c, std::size_t) { c.GetPosition(); }},
        {M::GetOrientation, [](Controller& c, std::size_t) { c.GetOrientation(); }},
        {M::SetEngineSpeed, [](Controller& c, std::size_t) { c.SetEngineSpeed(50.0); }},
        {M::SetEngineOrientation, [](Controller& c, std::size_t) { c.SetEngineOrientation(1.0); }},
        {M::GetScannerOrientation, [](Controller& c, std::size_t) { c.GetScannerOrientation(); }},
        {M::SetScannerOrientation,
         [](Controller& c, std::size_t) { c.SetScannerOrientation(-1.0); }},
        {M::GetSeenRobots,
         [](Controller& c, std::size_t bytes) {
             Require(c.GetSeenRobots().size() <= bytes / kMinRobotEntryBytes);
         }},
        {M::GetSeenObjects,
         [](Controller& c, std::size_t bytes) {
             Require(c.GetSeenObjects().size() <= bytes / kMinObjectEntryBytes);
         }},
        {M::GetTurretOrientation, [](Controller& c, std::size_t) { c.GetTurretOrientation(); }},
        {M::GetGunCharge, [](Controller& c, std::size_t) { c.GetGunCharge(); }},
        {M::FireGun, [](Controller& c, std::size_t) { c.FireGun(); }},
        {M::SetRobotColour, [](Controller& c, std::size_t) { c.SetRobotColour(0, 255, 0); }},
    };
    return calls;
}

/// The catalogue's served types in order, each with its call: every one has a call.
const std::vector<Operation>& Operations() {
    static const std::vector<Operation> operations = [] {
        std::vector<Operation> list;
        for (const botpilot::CatalogueEntry& entry : botpilot::kControllerCatalogue) {
            if (entry.supported) {
                const auto call = Calls().find(static_cast<ControllerMessage>(entry.type));
                Require(call != Calls().end());
                list.push_back({&entry, call->second});
            }
        }
        return list;
    }();
    return operations;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Operation& operation = Operations()[data[0] % Operations().size()];
    auto owned =
        std::make_unique<FuzzedReplyChannel>(std::vector<std::uint8_t>(data + 1, data + size));
    FuzzedReplyChannel& channel = *owned;
    Controller controller(std::move(owned));
    try {
        operation.call(controller, size - 1);
    } catch (const std::length_error&) {
        // A negative list count; any other length_error would be a fault, but none is thrown.
        Require(*operation.entry->each != '\0');
    } catch (const std::runtime_error&) {
        // A decoding error or the server's error text: both end the request cleanly.
    }
    Require(channel.exchanges == 1 && channel.lastType == operation.entry->type);
    return 0;
}
