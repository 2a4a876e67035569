#pragma once

#include "geometry/point.h"
#include "link/server_interface.h"
#include "wire/drawing_catalogue.h"

#include <cstdint>
#include <memory>

namespace botpilot {

/// The second, optional channel to the server, for diagnostic drawings only. It is opened on the
/// first drawing, on the server host at the robot connection's port plus 1.
class Graphics final : public ServerInterface {
  public:
    /// The process's drawing client. The first call creates it and then connects it to the
    /// settings' server host and port plus 1 (so a failed connect leaves it created but unusable).
    static Graphics& Instance();

    /// Makes `replacement` the process's drawing client from now on (the previous one is
    /// destroyed); null makes the next `Instance` create and connect a fresh one. Tests only.
    static void SetInstanceForTesting(std::unique_ptr<Graphics> replacement);

    /// A drawing client on its own TCP connection, not yet connected.
    Graphics();
    /// A drawing client on another channel, such as a scripted one in tests.
    explicit Graphics(std::unique_ptr<MessageChannel> channel);

    /// Sends one drawing item. What the display makes of the extents, the third value and the
    /// code is the server's business. The reply is awaited and dropped unread, so an error the
    /// server reports in it is ignored. [Limit: red, green, blue in 0..255]
    void DrawItem(std::int32_t id, Point position, double firstExtent, double secondExtent,
                  double third, std::int32_t code, std::int32_t red, std::int32_t green,
                  std::int32_t blue);
};

} // namespace botpilot
