#pragma once

#include "geometry/feature.h"

#include <cstdint>
#include <vector>

namespace botpilot {

/// Memoises an expensive feature on a grid of square cells over a rectangle (normally the
/// playing field): each cell keeps the source's value at the first point asked for in it. A
/// source value of exactly 0.0 cannot be told from an empty cell and is asked again each time.
/// Meant to live for one decision only: it presumes the source does not change meanwhile.
class CachedFeature final : public Feature {
  public:
    /// Builds the empty grid over [minX, maxX] × [minY, maxY], read once here: later changes of
    /// the rectangle do not resize it. `source` is borrowed and must outlive the cache.
    /// [Units: world units] [Limit: cellSize > 0, minX <= maxX, minY <= maxY]
    CachedFeature(const Feature& source, double cellSize, double minX, double minY, double maxX,
                  double maxY);

    /// The memoised value of the cell containing (x, y). A point outside the rectangle uses the
    /// nearest edge cell, so the grid is never read or written out of bounds.
    double Height(double x, double y) const override;

    std::int32_t Columns() const { return columns; }
    std::int32_t Rows() const { return rows; }

  private:
    std::int32_t CellIndex(double offset, std::int32_t count) const;

    const Feature& source; // borrowed: must outlive the cache
    double cellSize;
    double minX;
    double minY;
    std::int32_t columns;
    std::int32_t rows;
    // Row-major (row·columns + column); 0.0 marks a cell not computed yet. Filled lazily by the
    // const `Height`, hence mutable.
    mutable std::vector<double> cells;
};

} // namespace botpilot
