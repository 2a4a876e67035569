// Fuzzes every Controller reply parser: the first byte picks the request, the rest is the reply
// payload the server "sent", handed over by a channel without a socket. A parser may fail only
// with std::runtime_error (a decoding error or the server's own text) or, for a negative list
// count, std::length_error; it must send exactly its one request, and a list never holds more
// entries than the reply had room for.
#include "link/controller.h"
#include "link/message_channel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
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

// The fewest bytes a list entry takes on the wire (as in the controller).
constexpr std::size_t kMinRobotEntryBytes = 5 + 3 * 9 + 2 * 5;
constexpr std::size_t kMinObjectEntryBytes = 5 + 2 * 9;

struct Operation {
    std::int32_t type;
    std::function<void(Controller&, std::size_t payloadBytes)> call;
};

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> operations = {
        {1, [](Controller& c, std::size_t) { c.GetPlayingFieldSize(); }},
        {2, [](Controller& c, std::size_t) { c.GetRobotId(); }},
        {5, [](Controller& c, std::size_t) { c.SetRobotType("Plimb"); }},
        {6, [](Controller& c, std::size_t) { c.SetRobotName("Nolix"); }},
        {8, [](Controller& c, std::size_t) { c.ConfigureEngine(3.0, 75.0); }},
        {9, [](Controller& c, std::size_t) { c.ConfigureScanner(10.0, 60.0, 60.0); }},
        {10, [](Controller& c, std::size_t) { c.ConfigureFirstFitting(50.0); }},
        {11, [](Controller& c, std::size_t) { c.ConfigureTurret(0.0, 0.0); }},
        {12, [](Controller& c, std::size_t) { c.ConfigureGun(1.3, 4.0, 2.0, 4.5); }},
        {13, [](Controller& c, std::size_t) { c.ConfigureSecondFitting(1.5); }},
        {14, [](Controller& c, std::size_t) { c.StartRobot(); }},
        {16, [](Controller& c, std::size_t) { c.GetPosition(); }},
        {17, [](Controller& c, std::size_t) { c.GetOrientation(); }},
        {18, [](Controller& c, std::size_t) { c.SetEngineSpeed(50.0); }},
        {19, [](Controller& c, std::size_t) { c.SetEngineOrientation(1.0); }},
        {20, [](Controller& c, std::size_t) { c.GetScannerOrientation(); }},
        {21, [](Controller& c, std::size_t) { c.SetScannerOrientation(-1.0); }},
        {22,
         [](Controller& c, std::size_t bytes) {
             Require(c.GetSeenRobots().size() <= bytes / kMinRobotEntryBytes);
         }},
        {23,
         [](Controller& c, std::size_t bytes) {
             Require(c.GetSeenObjects().size() <= bytes / kMinObjectEntryBytes);
         }},
        {25, [](Controller& c, std::size_t) { c.GetTurretOrientation(); }},
        {27, [](Controller& c, std::size_t) { c.GetGunCharge(); }},
        {28, [](Controller& c, std::size_t) { c.FireGun(); }},
        {29, [](Controller& c, std::size_t) { c.SetRobotColour(0, 255, 0); }},
    };
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
        Require(operation.type == 22 || operation.type == 23);
    } catch (const std::runtime_error&) {
        // A decoding error or the server's error text: both end the request cleanly.
    }
    Require(channel.exchanges == 1 && channel.lastType == operation.type);
    return 0;
}
