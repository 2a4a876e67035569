#include "link/graphics.h"

#include "link/connection.h"
#include "link/settings.h"

#include <utility>

namespace botpilot {

namespace {

// The process's drawing client: stored before it connects, and never destroyed in a normal run,
// so the connection stays open once drawing has started, even while drawing is switched off.
Graphics* instance = nullptr;

// The drawing port follows the robot port. Only the low 16 bits of a port count when connecting,
// so the sum is formed wide and cut to them: an extreme port from the command line cannot
// overflow here.
std::int32_t DrawingPort(std::int32_t serverPort) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(serverPort) + 1) & 0xFFFF);
}

} // namespace

Graphics& Graphics::Instance() {
    if (instance == nullptr) {
        instance = new Graphics();
        const Settings& settings = ProcessSettings();
        instance->Connect(settings.serverHost, DrawingPort(settings.serverPort));
    }
    return *instance;
}

void Graphics::SetInstanceForTesting(std::unique_ptr<Graphics> replacement) {
    delete instance;
    instance = replacement.release();
}

Graphics::Graphics() : ServerInterface(kGraphicsClientName, kGraphicsInterfaceCode) {}

Graphics::Graphics(std::unique_ptr<MessageChannel> channel) : ServerInterface(std::move(channel)) {}

void Graphics::DrawItem(std::int32_t id, Point position, double firstExtent, double secondExtent,
                        double third, std::int32_t code, std::int32_t red, std::int32_t green,
                        std::int32_t blue) {
    static_assert(RequestIs(kDrawItemEntry, "idddddiiii"), "DrawItem holds the values sent here");
    ExchangeHold exchange(*this);
    Message& request = exchange.Request();
    request.AddInt(id);
    request.AddDouble(position.x);
    request.AddDouble(position.y);
    request.AddDouble(firstExtent);
    request.AddDouble(secondExtent);
    request.AddDouble(third);
    request.AddInt(code);
    request.AddInt(red);
    request.AddInt(green);
    request.AddInt(blue);
    // The whole reply frame is received (the connection insists on it), but nothing in it is
    // read: drawing is diagnostic, and a refused item must not end the run.
    exchange.Send(kDrawItemMessage);
}

} // namespace botpilot
