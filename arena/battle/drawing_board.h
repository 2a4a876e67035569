#pragma once

#include "arena/battle/spatial.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace botarena {

/// The DrawItem code of a danger-map cell, the one kind of item the viewer shows.
constexpr std::int32_t kCellItemCode = 8;

/// Cells one drawing connection may keep; the client's danger map is 600.
constexpr std::size_t kMaxCellsPerLayer = 2048;
/// Cells all drawing connections together may keep. Every snapshot carries them to every
/// viewer, so this bounds the snapshot's size (about 30 bytes a cell).
constexpr std::size_t kMaxCellsOnBoard = 4096;

/// One cell of a drawing: a rectangle centred on its position, reaching its half extents
/// either side, in one colour.
struct DrawnCell {
    double x = 0.0;          ///< centre [Units: field units]
    double y = 0.0;          ///< centre [Units: field units]
    double halfWidth = 0.0;  ///< [Units: field units] [Limit: >= 0]
    double halfHeight = 0.0; ///< [Units: field units] [Limit: >= 0]
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

/// What one drawing connection has drawn. An item with an id already drawn replaces the
/// earlier one, as the client redraws its whole map with the same ids on every pass.
struct DrawingLayer {
    int connectionId = 0;
    std::string clientName; ///< from the connection's handshake
    std::map<std::int32_t, DrawnCell> cells;
    /// The robot whose client draws this, as far as the arena can tell; 0 when unknown.
    int robotId = 0;
    /// When the connection last drew a cell, on the board's clock; below 0 before its first.
    /// A client that stops drawing sends nothing more, so the viewer fades a layer that has
    /// gone quiet. [Units: s of battle time]
    double lastDrawn = -1.0;
};

/// The drawings of the open drawing connections, one layer each, for the viewer. A layer
/// lives as long as its connection.
class DrawingBoard {
  public:
    /// Cells are drawn over this field.
    explicit DrawingBoard(FieldSize field = {}) : field(field) {}

    /// Whether a cell lies within the field's size of the field (its centre at most one field
    /// beyond each wall) and is no larger than the field: a cell further out or larger shows
    /// nothing and only costs every viewer its numbers.
    bool FitsTheField(const DrawnCell& cell) const;

    /// An empty layer for a newly accepted drawing connection, drawn for robot `robotId` (0
    /// when unknown).
    void AddLayer(int connectionId, const std::string& clientName, int robotId = 0);
    /// Names the robot a layer is drawn for (0: unknown); nothing when there is no such layer.
    void SetLayerRobot(int connectionId, int robotId);
    /// Forgets the layer of a connection that closed; nothing when it has none.
    void RemoveLayer(int connectionId);
    /// Puts the cell under its item id. False, and nothing changed, when the connection has no
    /// layer, or when a new id would take the layer or the board over its limit.
    bool PutCell(int connectionId, std::int32_t itemId, const DrawnCell& cell);

    /// Cells put from now on are stamped with `time`. [Units: s of battle time]
    void SetClock(double time) { now = time; }

    /// By connection id.
    const std::map<int, DrawingLayer>& Layers() const { return layers; }
    std::size_t CellCount() const { return cellCount; }

  private:
    FieldSize field;
    std::map<int, DrawingLayer> layers;
    std::size_t cellCount = 0;
    double now = 0.0;
};

} // namespace botarena
