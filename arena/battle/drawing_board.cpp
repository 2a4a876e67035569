#include "arena/battle/drawing_board.h"

#include <cmath>

namespace botarena {

bool DrawingBoard::FitsTheField(const DrawnCell& cell) const {
    // Written so that NaN fails every comparison.
    return std::fabs(cell.x) <= field.MaxX() + field.width &&
           std::fabs(cell.y) <= field.MaxY() + field.height && cell.halfWidth <= field.width &&
           cell.halfHeight <= field.height;
}

void DrawingBoard::AddLayer(int connectionId, const std::string& clientName, int robotId) {
    DrawingLayer& layer = layers[connectionId];
    cellCount -= layer.cells.size();
    layer = DrawingLayer{connectionId, clientName, {}, robotId};
}

void DrawingBoard::SetLayerRobot(int connectionId, int robotId) {
    const auto found = layers.find(connectionId);
    if (found != layers.end()) {
        found->second.robotId = robotId;
    }
}

void DrawingBoard::RemoveLayer(int connectionId) {
    const auto found = layers.find(connectionId);
    if (found != layers.end()) {
        cellCount -= found->second.cells.size();
        layers.erase(found);
    }
}

bool DrawingBoard::PutCell(int connectionId, std::int32_t itemId, const DrawnCell& cell) {
    const auto found = layers.find(connectionId);
    if (found == layers.end()) {
        return false;
    }
    DrawingLayer& layer = found->second;
    std::map<std::int32_t, DrawnCell>& cells = layer.cells;
    const auto drawn = cells.find(itemId);
    if (drawn != cells.end()) {
        drawn->second = cell;
        layer.lastDrawn = now;
        return true;
    }
    if (cells.size() >= kMaxCellsPerLayer || cellCount >= kMaxCellsOnBoard) {
        return false;
    }
    cells.emplace(itemId, cell);
    layer.lastDrawn = now;
    ++cellCount;
    return true;
}

} // namespace botarena
