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
    : CachedFeature(source, cellSize, minX, minY, maxX, maxY, ownMemo) {}

CachedFeature::CachedFeature(const Feature& source, double cellSize, double minX, double minY,
                             double maxX, double maxY, FeatureMemo& memo)
    : source(source), cellSize(cellSize), minX(minX), minY(minY),
      columns(CountCells(maxX - minX, cellSize)), rows(CountCells(maxY - minY, cellSize)),
      lastColumn(static_cast<double>(columns - 1)), lastRow(static_cast<double>(rows - 1)),
      memo(&memo), cells(nullptr) {
    assert(cellSize > 0.0);
    assert(columns > 0 && rows > 0);
    assert(!memo.inUse && "one cache at a time per memo");
    memo.inUse = true;
    const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    // A memo's cells are all empty between caches, so only a grid of another size needs them
    // laid out afresh.
    if (memo.cells.size() != count) {
        memo.cells.assign(count, 0.0);
    }
    cells = memo.cells.data();
}

CachedFeature::~CachedFeature() {
    for (const std::size_t index : memo->filled) {
        memo->cells[index] = 0.0;
    }
    memo->filled.clear();
    memo->inUse = false;
}

std::int32_t CachedFeature::CellIndex(double offset, std::int32_t count, double lastCell) const {
    // The cell is trunc(offset / cellSize) held to [0, count - 1]. For a quotient q, trunc(q) > 0
    // exactly when q >= 1, and trunc(q) >= n exactly when q >= n for a whole n >= 1, so the
    // bounds are tested on q itself, and the conversion truncates toward zero as trunc does.
    // Points beyond the rectangle (and NaN) use the nearest edge cell; the comparisons are made
    // on the double, before any conversion could overflow.
    const double q = offset / cellSize;
    if (!(q >= 1.0)) {
        return 0;
    }
    if (q >= lastCell) {
        return count - 1;
    }
    return static_cast<std::int32_t>(q);
}

double CachedFeature::Height(double x, double y) const {
    const std::int32_t row = CellIndex(y - minY, rows, lastRow);
    const std::int32_t column = CellIndex(x - minX, columns, lastColumn);
    const std::size_t index = static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                              static_cast<std::size_t>(column);
    // The memo keeps the first point's value, not the cell centre's: coarse on purpose. A true
    // 0.0 from the source looks like an empty cell and is asked again.
    const double cell = cells[index];
    if (cell != 0.0) {
        return cell;
    }
    return Fill(index, x, y);
}

// Kept out of `Height`, so that the lookup, by far the more frequent, pays nothing for the call
// to the source.
[[gnu::noinline]] double CachedFeature::Fill(std::size_t index, double x, double y) const {
    const double value = source.Height(x, y);
    cells[index] = value;
    // A cell left at 0.0 (or -0.0, which compares equal) still reads as empty to the next
    // cache, so only the others need emptying at the end.
    if (value != 0.0) {
        memo->filled.push_back(index);
    }
    return value;
}

} // namespace botpilot
