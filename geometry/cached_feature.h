#pragma once

#include "geometry/feature.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace botpilot {

/// The cells of a `CachedFeature`, kept from one cache to the next by a user that builds a cache
/// for every decision: a new cache over the same grid then needs neither an allocation nor a
/// sweep of the whole grid, because each cache empties, when it ends, the cells it filled. One
/// cache at a time may use a memo. Between caches every cell is empty.
class FeatureMemo {
  public:
    FeatureMemo() = default;
    FeatureMemo(const FeatureMemo&) = delete;
    FeatureMemo& operator=(const FeatureMemo&) = delete;

  private:
    friend class CachedFeature;

    std::vector<double> cells;       ///< 0.0: not computed yet
    std::vector<std::size_t> filled; ///< indices of the cells the cache in use wrote
    bool inUse = false;
};

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

    /// The same over the cells of `memo`, which must outlive the cache and serve no other cache
    /// meanwhile. The cache behaves exactly as one with cells of its own.
    CachedFeature(const Feature& source, double cellSize, double minX, double minY, double maxX,
                  double maxY, FeatureMemo& memo);

    /// Empties the cells this cache filled, so that the memo is ready for the next one.
    ~CachedFeature() override;

    // A cache is used where it is built (built in place, it can still be returned by value).
    CachedFeature(const CachedFeature&) = delete;
    CachedFeature& operator=(const CachedFeature&) = delete;

    /// The memoised value of the cell containing (x, y). A point outside the rectangle uses the
    /// nearest edge cell, so the grid is never read or written out of bounds.
    double Height(double x, double y) const override;

    std::int32_t Columns() const { return columns; }
    std::int32_t Rows() const { return rows; }

  private:
    /// `lastCell` is the count of cells less one, as a double.
    std::int32_t CellIndex(double offset, std::int32_t count, double lastCell) const;
    /// Asks the source for the empty cell `index`, stores and returns its value.
    double Fill(std::size_t index, double x, double y) const;

    const Feature& source; // borrowed: must outlive the cache
    double cellSize;
    double minX;
    double minY;
    std::int32_t columns;
    std::int32_t rows;
    double lastColumn;   ///< columns - 1, converted once rather than at every point
    double lastRow;      ///< rows - 1, likewise
    FeatureMemo ownMemo; // the cells of a cache built without a memo
    // The cells in use: `ownMemo` or a borrowed one. Filled lazily by the const `Height`.
    FeatureMemo* memo;
    // The memo's cells, which keep their place while the cache lives.
    double* cells;
};

} // namespace botpilot
