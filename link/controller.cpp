#include "link/controller.h"

#include "link/settings.h"
#include "wire/controller_catalogue.h"

#include <algorithm>
#include <stdexcept>

namespace botpilot {

namespace {

// The process's controller: stored before it connects, and never destroyed in a normal run, so
// the connection lives as long as the process.
Controller* instance = nullptr;

// The fewest bytes one list entry can take on the wire, as the catalogue declares the entries.
constexpr std::size_t kMinRobotEntryBytes =
    MinimumBytes(Describe(ControllerMessage::GetSeenRobots).each);
constexpr std::size_t kMinObjectEntryBytes =
    MinimumBytes(Describe(ControllerMessage::GetSeenObjects).each);

/// Whether the catalogue's entry of `type` holds the values `request` in its request, and
/// `reply` (and a list of `each`) in its reply after the error text: each operation below
/// checks at compile time that it sends and reads what the catalogue says.
constexpr bool Declares(ControllerMessage type, const char* request, const char* reply,
                        const char* each = "") {
    const CatalogueEntry& entry = Describe(type);
    return entry.supported && entry.errorText && RequestIs(entry, request) &&
           RepliesWith(entry, reply, each);
}

/// Reads a list's count. The list then grows entry by entry as they decode, so a count larger
/// than the reply can hold ends in a decoding error, never in a huge allocation.
std::size_t ReadCount(Message& reply) {
    const std::int32_t count = reply.ReadInt();
    if (count < 0) {
        throw std::length_error("List reply declares a negative count of " + std::to_string(count) +
                                " entries");
    }
    return static_cast<std::size_t>(count);
}

std::size_t PlausibleEntries(const Message& reply, std::size_t count, std::size_t minEntryBytes) {
    const std::size_t remaining = reply.Bytes().size() - reply.ReadPosition();
    return std::min(count, remaining / minEntryBytes);
}

} // namespace

Controller& Controller::Instance() {
    if (instance == nullptr) {
        instance = new Controller();
        const Settings& settings = ProcessSettings();
        instance->Connect(settings.serverHost, settings.serverPort);
    }
    return *instance;
}

void Controller::SetInstanceForTesting(std::unique_ptr<Controller> replacement) {
    delete instance;
    instance = replacement.release();
}

Controller::Controller() : ServerInterface(kControllerClientName, kControllerInterfaceCode) {}

Controller::Controller(std::unique_ptr<MessageChannel> channel)
    : ServerInterface(std::move(channel)) {}

// Every operation builds its request in the kept request and reads the kept reply while it
// holds the exchange, so that a cycle's requests and replies allocate nothing; only the lists
// of sightings it returns do.

Message& Controller::Request(ExchangeHold& exchange, ControllerMessage type) {
    Message& reply = exchange.Send(static_cast<std::int32_t>(type));
    const std::string error = reply.ReadString();
    if (!error.empty()) {
        throw std::runtime_error(error);
    }
    return reply;
}

template <ControllerMessage type, typename... Doubles>
void Controller::RequestDoubles(Doubles... values) {
    static_assert(TakesOnly(Describe(type), MessageValueTag::Double, sizeof...(Doubles)) &&
                      Describe(type).errorText && RepliesWith(Describe(type), ""),
                  "The catalogue's request of doubles only, with an empty reply");
    ExchangeHold exchange(*this);
    Message& request = exchange.Request();
    (request.AddDouble(values), ...);
    Request(exchange, type);
}

template <ControllerMessage type> double Controller::RequestDouble() {
    static_assert(Declares(type, "", "d"), "The catalogue's request of a double");
    ExchangeHold exchange(*this);
    return Request(exchange, type).ReadDouble();
}

std::pair<double, double> Controller::GetPlayingFieldSize() {
    constexpr const CatalogueEntry& entry = Describe(ControllerMessage::GetPlayingFieldSize);
    static_assert(!entry.errorText && RequestIs(entry, "") && RepliesWith(entry, "dd"),
                  "The field size's reply: two doubles and no error text");
    ExchangeHold exchange(*this);
    Message& reply =
        exchange.Send(static_cast<std::int32_t>(ControllerMessage::GetPlayingFieldSize));
    const double xSize = reply.ReadDouble();
    const double ySize = reply.ReadDouble();
    return {xSize, ySize};
}

std::int32_t Controller::GetRobotId() {
    static_assert(Declares(ControllerMessage::GetRobotId, "", "i"));
    ExchangeHold exchange(*this);
    return Request(exchange, ControllerMessage::GetRobotId).ReadInt();
}

void Controller::SetRobotType(const std::string& type) {
    static_assert(Declares(ControllerMessage::SetRobotType, "s", ""));
    ExchangeHold exchange(*this);
    exchange.Request().AddString(type);
    Request(exchange, ControllerMessage::SetRobotType);
}

void Controller::SetRobotName(const std::string& name) {
    static_assert(Declares(ControllerMessage::SetRobotName, "s", ""));
    ExchangeHold exchange(*this);
    exchange.Request().AddString(name);
    Request(exchange, ControllerMessage::SetRobotName);
}

void Controller::ConfigureEngine(double maxSpeed, double maxTurnRate) {
    RequestDoubles<ControllerMessage::ConfigureEngine>(maxSpeed, maxTurnRate);
}

void Controller::ConfigureScanner(double first, double second, double third) {
    RequestDoubles<ControllerMessage::ConfigureScanner>(first, second, third);
}

void Controller::ConfigureFirstFitting(double setting) {
    RequestDoubles<ControllerMessage::ConfigureFirstFitting>(setting);
}

void Controller::ConfigureTurret(double first, double second) {
    RequestDoubles<ControllerMessage::ConfigureTurret>(first, second);
}

void Controller::ConfigureGun(double first, double second, double third, double fourth) {
    RequestDoubles<ControllerMessage::ConfigureGun>(first, second, third, fourth);
}

void Controller::ConfigureSecondFitting(double setting) {
    RequestDoubles<ControllerMessage::ConfigureSecondFitting>(setting);
}

void Controller::StartRobot() {
    static_assert(Declares(ControllerMessage::StartRobot, "", ""));
    ExchangeHold exchange(*this);
    Request(exchange, ControllerMessage::StartRobot);
}

std::pair<double, double> Controller::GetPosition() {
    static_assert(Declares(ControllerMessage::GetPosition, "", "dd"));
    ExchangeHold exchange(*this);
    Message& reply = Request(exchange, ControllerMessage::GetPosition);
    const double x = reply.ReadDouble();
    const double y = reply.ReadDouble();
    return {x, y};
}

double Controller::GetOrientation() {
    return RequestDouble<ControllerMessage::GetOrientation>();
}

void Controller::SetEngineSpeed(double speed) {
    RequestDoubles<ControllerMessage::SetEngineSpeed>(speed);
}

void Controller::SetEngineOrientation(double orientation) {
    RequestDoubles<ControllerMessage::SetEngineOrientation>(orientation);
}

double Controller::GetScannerOrientation() {
    return RequestDouble<ControllerMessage::GetScannerOrientation>();
}

void Controller::SetScannerOrientation(double orientation) {
    RequestDoubles<ControllerMessage::SetScannerOrientation>(orientation);
}

std::vector<RobotSighting> Controller::GetSeenRobots() {
    static_assert(Declares(ControllerMessage::GetSeenRobots, "", "i", "idddss"));
    ExchangeHold exchange(*this);
    Message& reply = Request(exchange, ControllerMessage::GetSeenRobots);
    const std::size_t count = ReadCount(reply);
    std::vector<RobotSighting> robots;
    robots.reserve(PlausibleEntries(reply, count, kMinRobotEntryBytes));
    for (std::size_t i = 0; i < count; ++i) {
        RobotSighting robot;
        robot.id = reply.ReadInt();
        robot.x = reply.ReadDouble();
        robot.y = reply.ReadDouble();
        robot.orientation = reply.ReadDouble();
        robot.type = reply.ReadString();
        robot.name = reply.ReadString();
        robots.push_back(std::move(robot));
    }
    return robots;
}

std::vector<ObjectSighting> Controller::GetSeenObjects() {
    static_assert(Declares(ControllerMessage::GetSeenObjects, "", "i", "idd"));
    ExchangeHold exchange(*this);
    Message& reply = Request(exchange, ControllerMessage::GetSeenObjects);
    const std::size_t count = ReadCount(reply);
    std::vector<ObjectSighting> objects;
    objects.reserve(PlausibleEntries(reply, count, kMinObjectEntryBytes));
    for (std::size_t i = 0; i < count; ++i) {
        ObjectSighting object;
        object.id = reply.ReadInt();
        object.x = reply.ReadDouble();
        object.y = reply.ReadDouble();
        objects.push_back(object);
    }
    return objects;
}

double Controller::GetTurretOrientation() {
    return RequestDouble<ControllerMessage::GetTurretOrientation>();
}

double Controller::GetGunCharge() {
    return RequestDouble<ControllerMessage::GetGunCharge>();
}

std::int32_t Controller::FireGun() {
    static_assert(Declares(ControllerMessage::FireGun, "", "i"));
    ExchangeHold exchange(*this);
    return Request(exchange, ControllerMessage::FireGun).ReadInt();
}

void Controller::SetRobotColour(std::int32_t red, std::int32_t green, std::int32_t blue) {
    static_assert(Declares(ControllerMessage::SetRobotColour, "iii", ""));
    ExchangeHold exchange(*this);
    Message& request = exchange.Request();
    request.AddInt(red);
    request.AddInt(green);
    request.AddInt(blue);
    Request(exchange, ControllerMessage::SetRobotColour);
}

} // namespace botpilot
