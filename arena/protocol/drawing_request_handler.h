#pragma once

#include "arena/battle/drawing_board.h"
#include "arena/protocol/request_handler.h"

#include <cstdint>

namespace botarena {

/// Serves a drawing connection by its catalogue (wire/drawing_catalogue.h): checks each DrawItem,
/// counts it and answers with an empty error text. Cells (code 8) go onto the connection's layer of
/// the board for the viewer; items of other codes are counted only.
class DrawingRequestHandler final : public RequestHandler {
  public:
    /// `board` must outlive the handler; the connection's layer is on it already.
    DrawingRequestHandler(DrawingBoard& board, int connectionId)
        : board(board), connectionId(connectionId) {}

    Reply Handle(Request& request) override;

    std::uint64_t ItemsDrawn() const { return itemsDrawn; }

  private:
    DrawingBoard& board;
    int connectionId;
    std::uint64_t itemsDrawn = 0;
};

} // namespace botarena
