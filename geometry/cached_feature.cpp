#include "geometry/cached_feature.h"

#include <cassert>
#include <cmath>

namespace botpilot {

namespace {

std::int32_t CountCells(double extent, double cellSize) {
    // One more than the whole cells in the extent, so that the far edge has a cell of its own.
    return static_cast<std::int32_t>(std::trunc(extent / cellSize)) + 1;
}

} // namespace

CachedFeature::CachedFeature(const Feature& source, double cellSize, double minX, double minY,
                             double maxX, double maxY)
    : source(source), cellSize(cellSize), minX(minX), minY(minY),
      columns(CountCells(maxX - minX, cellSize)), rows(CountCells(maxY - minY, cellSize)) {
    assert(cellSize > 0.0);
    assert(columns > 0 && rows > 0);
    cells.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0.0);
}

std::int32_t CachedFeature::CellIndex(double offset, std::int32_t count) const {
    const double index = std::trunc(offset / cellSize);
    // Points beyond the rectangle (and NaN) use the nearest edge cell; the comparison is made on
    // the double, before any conversion could overflow.
    if (!(index > 0.0)) {
        return 0;
    }
    if (index >= static_cast<double>(count - 1)) {
        return count - 1;
    }
    return static_cast<std::int32_t>(index);
}

double CachedFeature::Height(double x, double y) const {
    const std::int32_t row = CellIndex(y - minY, rows);
    const std::int32_t column = CellIndex(x - minX, columns);
    double& cell = cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                         static_cast<std::size_t>(column)];
    // The memo keeps the first point's value, not the cell centre's: coarse on purpose. A true
    // 0.0 from the source looks like an empty cell and is asked again.
    if (cell == 0.0) {
        cell = source.Height(x, y);
    }
    return cell;
}

} // namespace botpilot
