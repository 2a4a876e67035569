#include "arena/protocol/drawing_request_handler.h"

#include "wire/drawing_catalogue.h"

#include <cmath>
#include <sstream>

namespace botarena {

namespace {

/// "(1.5, nan)" for refusal texts.
std::string PairText(double first, double second) {
    std::ostringstream text;
    text << '(' << first << ", " << second << ')';
    return text.str();
}

} // namespace

Reply DrawingRequestHandler::Handle(Request& request) {
    return ServeWithErrorText([&](botpilot::Message&) {
        const botpilot::CatalogueEntry* entry = botpilot::FindDrawingMessage(request.type);
        if (entry == nullptr) {
            throw ProtocolFault("Unknown message type " + std::to_string(request.type) +
                                " on a drawing connection");
        }
        // The values of a DrawItem; its colour is checked on the way.
        const RequestArguments values = ReadRequest(request.payload, *entry);
        const std::int32_t itemId = values.Int(0);
        DrawnCell cell;
        cell.x = values.Double(1);
        cell.y = values.Double(2);
        cell.halfWidth = values.Double(3);
        cell.halfHeight = values.Double(4);
        // values.Double(5) is a third value, which nothing drawn here uses.
        const std::int32_t code = values.Int(6);
        const std::int32_t red = values.Int(7);
        const std::int32_t green = values.Int(8);
        const std::int32_t blue = values.Int(9);
        if (code == kCellItemCode) {
            // Every viewer draws these numbers: nothing that is not a plain size gets through.
            if (!std::isfinite(cell.x) || !std::isfinite(cell.y)) {
                throw Refusal("Cell position " + PairText(cell.x, cell.y) + " is not finite");
            }
            if (!(cell.halfWidth >= 0.0 && cell.halfHeight >= 0.0) ||
                !std::isfinite(cell.halfWidth) || !std::isfinite(cell.halfHeight)) {
                throw Refusal("Cell extents " + PairText(cell.halfWidth, cell.halfHeight) +
                              " are not finite sizes of 0 or more");
            }
            if (!board.FitsTheField(cell)) {
                throw Refusal("Cell at " + PairText(cell.x, cell.y) + " reaching " +
                              PairText(cell.halfWidth, cell.halfHeight) +
                              " lies further from the field than its size");
            }
            cell.red = static_cast<std::uint8_t>(red);
            cell.green = static_cast<std::uint8_t>(green);
            cell.blue = static_cast<std::uint8_t>(blue);
            if (!board.PutCell(connectionId, itemId, cell)) {
                throw Refusal("No room for cell " + std::to_string(itemId) + ": at most " +
                              std::to_string(kMaxCellsPerLayer) + " cells a connection and " +
                              std::to_string(kMaxCellsOnBoard) + " in all");
            }
        }
        ++itemsDrawn;
    });
}

} // namespace botarena
