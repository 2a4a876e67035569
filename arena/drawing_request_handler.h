#pragma once

#include "arena/request_handler.h"

#include <cstdint>

namespace botarena {

/// Serves a drawing connection. The arena has no display: it checks each DrawItem, counts it
/// and answers with an empty error text.
class DrawingRequestHandler final : public RequestHandler {
  public:
    /// The one request type of a drawing connection.
    static constexpr std::int32_t kDrawItem = 2;

    Reply Handle(Request& request) override;

    std::uint64_t ItemsDrawn() const { return itemsDrawn; }

  private:
    std::uint64_t itemsDrawn = 0;
};

} // namespace botarena
