#include "geometry/cached_feature.h"
#include "geometry/gaussian_feature.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <utility>
#include <vector>

namespace botpilot {
namespace {

// The default playing field: 30 by 20, centred on the origin.
constexpr double kMinX = -15.0;
constexpr double kMinY = -10.0;
constexpr double kMaxX = 15.0;
constexpr double kMaxY = 10.0;

// A source that counts how often it is asked.
class CountingFeature final : public Feature {
  public:
    explicit CountingFeature(std::function<double(double, double)> height)
        : height(std::move(height)) {}

    double Height(double x, double y) const override {
        ++calls;
        return height(x, y);
    }

    mutable int calls = 0;

  private:
    std::function<double(double, double)> height;
};

double DistinctHeight(double x, double y) {
    return 1000.0 + 7.0 * x + y;
}

TEST(GaussianFeatureTest, PeaksAtItsCentreAndFallsOffWithDistance) {
    const GaussianFeature hill(3, 4, 10, 5);
    EXPECT_EQ(hill.Height(3, 4), 10.0);
    EXPECT_NEAR(hill.Height(6, 8), 10.0 * std::exp(-0.5), 1e-12); // 5 away: one width
    EXPECT_EQ(hill.Height(0, 4), hill.Height(6, 4));
}

TEST(CachedFeatureTest, GridCoversTheRectangleWithACellForTheFarEdge) {
    const CountingFeature source(DistinctHeight);
    struct Case {
        double cellSize;
        int columns;
        int rows;
    };
    const Case cases[] = {{0.5, 61, 41}, {1.0, 31, 21}, {7.0, 5, 3}, {40.0, 1, 1}};
    for (const Case& c : cases) {
        const CachedFeature cache(source, c.cellSize, kMinX, kMinY, kMaxX, kMaxY);
        EXPECT_EQ(cache.Columns(), c.columns) << "cell size " << c.cellSize;
        EXPECT_EQ(cache.Rows(), c.rows) << "cell size " << c.cellSize;
    }
    EXPECT_EQ(source.calls, 0); // nothing is computed up front
}

TEST(CachedFeatureTest, KeepsTheFirstPointAskedForInEachCell) {
    const GaussianFeature hill(3, 4, 10, 5);
    const CachedFeature cache(hill, 0.5, kMinX, kMinY, kMaxX, kMaxY);
    EXPECT_EQ(cache.Height(2, 1), hill.Height(2, 1));
    EXPECT_EQ(cache.Height(2.1, 1.1), hill.Height(2, 1)); // same cell, first point's value
    EXPECT_EQ(cache.Height(2.49, 1.49), hill.Height(2, 1));
    EXPECT_EQ(cache.Height(2.5, 1.5), hill.Height(2.5, 1.5)); // a new cell
    EXPECT_EQ(cache.Height(2.0, 1.5), hill.Height(2.0, 1.5)); // next row, same column
}

TEST(CachedFeatureTest, AsksTheSourceOncePerCell) {
    const CountingFeature source(DistinctHeight);
    const CachedFeature cache(source, 1.0, kMinX, kMinY, kMaxX, kMaxY);
    for (int i = 0; i < 5; ++i) {
        cache.Height(0.2 + 0.1 * i, 0.3);
    }
    EXPECT_EQ(source.calls, 1);
    cache.Height(1.2, 0.3);
    EXPECT_EQ(source.calls, 2);
}

TEST(CachedFeatureTest, SourceValueOfExactlyZeroIsAskedAgainEachTime) {
    const CountingFeature source([](double, double) { return 0.0; });
    const CachedFeature cache(source, 1.0, kMinX, kMinY, kMaxX, kMaxY);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cache.Height(0.5, 0.5), 0.0);
    }
    EXPECT_EQ(source.calls, 3);

    // A tiny non-zero value is a value like any other.
    const CountingFeature tiny([](double, double) { return 1e-300; });
    const CachedFeature tinyCache(tiny, 1.0, kMinX, kMinY, kMaxX, kMaxY);
    tinyCache.Height(0.5, 0.5);
    tinyCache.Height(0.5, 0.5);
    EXPECT_EQ(tiny.calls, 1);
}

// Regression: a point off the grid computed a cell index outside the cells and read and wrote
// there. Points at and beyond every edge must land in the nearest edge cell.
TEST(CachedFeatureTest, PointsAtAndBeyondEveryEdgeUseTheNearestEdgeCell) {
    const double infinity = std::numeric_limits<double>::infinity();
    struct Case {
        const char* where;
        double insideX, insideY; // a point of the edge cell, asked first
        double x, y;             // a point at or beyond the edge, in the same clamped cell
    };
    const Case cases[] = {
        {"left edge", -14.9, 0.2, -15.0, 0.3},
        {"beyond the left edge", -14.9, 0.2, -15.7, 0.3},
        {"far beyond the left edge", -14.9, 0.2, -1e12, 0.3},
        {"right edge", 15.0, 0.2, 15.0, 0.3},
        {"just beyond the right edge", 15.0, 0.2, 15.4, 0.3},
        {"a cell beyond the right edge", 15.0, 0.2, 16.0, 0.3},
        {"far beyond the right edge", 15.0, 0.2, 1e12, 0.3},
        {"bottom edge", 0.2, -9.9, 0.3, -10.0},
        {"beyond the bottom edge", 0.2, -9.9, 0.3, -11.0},
        {"top edge", 0.2, 10.0, 0.3, 10.0},
        {"beyond the top edge", 0.2, 10.0, 0.3, 12.5},
        {"beyond the lower left corner", -14.9, -9.9, -20.0, -20.0},
        {"beyond the upper right corner", 15.0, 10.0, 20.0, 20.0},
        {"beyond the upper left corner", -14.9, 10.0, -20.0, 20.0},
        {"beyond the lower right corner", 15.0, -9.9, 20.0, -20.0},
        {"infinitely far right", 15.0, 0.2, infinity, 0.3},
        {"infinitely far down", 0.2, -9.9, 0.3, -infinity},
    };
    for (const Case& c : cases) {
        const CountingFeature source(DistinctHeight);
        const CachedFeature cache(source, 1.0, kMinX, kMinY, kMaxX, kMaxY);
        const double first = cache.Height(c.insideX, c.insideY);
        EXPECT_EQ(first, DistinctHeight(c.insideX, c.insideY)) << c.where;
        EXPECT_EQ(cache.Height(c.x, c.y), first) << c.where;
        EXPECT_EQ(source.calls, 1) << c.where;
    }
}

TEST(CachedFeatureTest, PointOffTheGridAskedFirstFillsTheEdgeCell) {
    const CountingFeature source(DistinctHeight);
    const CachedFeature cache(source, 1.0, kMinX, kMinY, kMaxX, kMaxY);
    EXPECT_EQ(cache.Height(40.0, -30.0), DistinctHeight(40.0, -30.0));
    EXPECT_EQ(cache.Height(15.0, -9.5), DistinctHeight(40.0, -30.0));
    EXPECT_EQ(source.calls, 1);
}

TEST(CachedFeatureTest, NotANumberUsesACellWithoutLeavingTheGrid) {
    const CountingFeature source([](double, double) { return 5.0; });
    const CachedFeature cache(source, 1.0, kMinX, kMinY, kMaxX, kMaxY);
    EXPECT_EQ(cache.Height(std::nan(""), std::nan("")), 5.0);
    EXPECT_EQ(cache.Height(-15.0, -10.0), 5.0); // the lower left cell
    EXPECT_EQ(source.calls, 1);
}

// The cell of a point, as the cache has always chosen it: the truncated quotient, held to the
// grid. The cache may compute it differently, but must land in the same cell for every point, or
// the first point kept for a cell (and so every height after it) would change.
int ReferenceCell(double offset, double cellSize, int count) {
    const double index = std::trunc(offset / cellSize);
    if (!(index > 0.0)) {
        return 0;
    }
    if (index >= count - 1) {
        return count - 1;
    }
    return static_cast<int>(index);
}

TEST(CachedFeatureTest, PointsNearCellBoundariesLandInTheCellOfTheTruncatedQuotient) {
    const double nan = std::nan("");
    const double infinity = std::numeric_limits<double>::infinity();
    for (const double cellSize : {0.2, 0.1, 0.3, 7.0}) {
        const int columns = static_cast<int>(std::trunc((kMaxX - kMinX) / cellSize)) + 1;
        std::vector<double> xs = {nan, -infinity, infinity, -1e300, 1e300, kMinX, kMaxX};
        for (int k = -2; k <= columns + 1; ++k) {
            const double boundary = kMinX + k * cellSize;
            xs.push_back(boundary);
            xs.push_back(std::nextafter(boundary, -infinity));
            xs.push_back(std::nextafter(boundary, infinity));
        }
        for (std::size_t i = 1; i < xs.size(); ++i) {
            // Two points in turn: the second reads the first's value only if they share a cell.
            const double a = xs[i - 1];
            const double b = xs[i];
            const CountingFeature source(
                [](double x, double) { return std::isnan(x) ? 1.5 : x + 100; });
            const CachedFeature cache(source, cellSize, kMinX, kMinY, kMaxX, kMaxY);
            cache.Height(a, 0.0);
            cache.Height(b, 0.0);
            const bool sameCell = ReferenceCell(a - kMinX, cellSize, columns) ==
                                  ReferenceCell(b - kMinX, cellSize, columns);
            EXPECT_EQ(source.calls, sameCell ? 1 : 2)
                << "cell size " << cellSize << ", points " << a << " and " << b;
        }
    }
}

// A memo kept from one cache to the next must make each cache behave as one with fresh cells of
// its own: no value of an earlier cache may be seen by a later one.
TEST(FeatureMemoTest, EachCacheOverAMemoStartsFromEmptyCells) {
    FeatureMemo memo;
    const CountingFeature first(DistinctHeight);
    {
        const CachedFeature cache(first, 1.0, kMinX, kMinY, kMaxX, kMaxY, memo);
        EXPECT_EQ(cache.Height(2.2, 1.2), DistinctHeight(2.2, 1.2));
        EXPECT_EQ(cache.Height(2.7, 1.7), DistinctHeight(2.2, 1.2)); // same cell: first point's
    }
    // The next decision, over another source and other points of the same cells.
    const CountingFeature second([](double x, double y) { return -3.0 * x + y; });
    const CachedFeature cache(second, 1.0, kMinX, kMinY, kMaxX, kMaxY, memo);
    EXPECT_EQ(cache.Height(2.7, 1.7), -3.0 * 2.7 + 1.7);
    EXPECT_EQ(cache.Height(2.2, 1.2), -3.0 * 2.7 + 1.7);
    EXPECT_EQ(second.calls, 1);
}

TEST(FeatureMemoTest, ValuesThatLookLikeEmptyCellsAndNotANumberAreEmptiedToo) {
    const double nan = std::nan("");
    FeatureMemo memo;
    {
        // A NaN is kept like any value; -0.0 compares equal to an empty cell and is asked again.
        const CountingFeature odd([nan](double x, double) { return x < 0.0 ? nan : -0.0; });
        const CachedFeature cache(odd, 1.0, kMinX, kMinY, kMaxX, kMaxY, memo);
        EXPECT_TRUE(std::isnan(cache.Height(-5.5, 0.5)));
        EXPECT_TRUE(std::isnan(cache.Height(-5.5, 0.5)));
        EXPECT_EQ(cache.Height(5.5, 0.5), 0.0);
        EXPECT_EQ(cache.Height(5.5, 0.5), 0.0);
        EXPECT_EQ(odd.calls, 3);
    }
    const CountingFeature plain(DistinctHeight);
    const CachedFeature cache(plain, 1.0, kMinX, kMinY, kMaxX, kMaxY, memo);
    EXPECT_EQ(cache.Height(-5.5, 0.5), DistinctHeight(-5.5, 0.5));
    EXPECT_EQ(cache.Height(5.5, 0.5), DistinctHeight(5.5, 0.5));
    EXPECT_EQ(plain.calls, 2);
}

TEST(FeatureMemoTest, ACacheOverAMemoAnswersBitForBitAsOneWithItsOwnCells) {
    FeatureMemo memo;
    struct Grid {
        double cellSize;
        double maxX; // the rectangle changes size between decisions too
    };
    int decision = 0;
    for (const Grid grid :
         {Grid{0.2, kMaxX}, Grid{0.2, kMaxX}, Grid{0.1, kMaxX}, Grid{0.2, 20.0}}) {
        // A hill that moves between decisions, as the terrain does.
        const GaussianFeature hill(3.0 + decision++, 4.0, 10.0, 5.0);
        const CachedFeature own(hill, grid.cellSize, kMinX, kMinY, grid.maxX, kMaxY);
        const CachedFeature shared(hill, grid.cellSize, kMinX, kMinY, grid.maxX, kMaxY, memo);
        EXPECT_EQ(shared.Columns(), own.Columns());
        // Points wandering over the field and beyond it, each cell met more than once.
        for (int i = 0; i < 2000; ++i) {
            const double x = -16.0 + std::fmod(i * 0.37, 38.0);
            const double y = -11.0 + std::fmod(i * 0.23, 22.0);
            ASSERT_EQ(shared.Height(x, y), own.Height(x, y))
                << "cell size " << grid.cellSize << " point " << i;
        }
    }
}

} // namespace
} // namespace botpilot
