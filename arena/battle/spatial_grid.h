#pragma once

#include "arena/battle/arena_robot.h"
#include "arena/battle/spatial.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace botarena {

/// An axis-aligned box on the field, edges included. [Units: field units]
struct Box {
    Vec2 lo;
    Vec2 hi;
};

/// The box around every point the scanner cone (as InsideCone has it) can take in, widened by
/// kGridMargin: the apex, both ends of the arc and the arc's extremes along the axes.
/// [Units: heading in radians, fieldOfView in degrees]
Box ConeBounds(Vec2 apex, double heading, double range, double fieldOfView);

/// A quick screen for points that may lie in a scanner cone (as InsideCone has it), far cheaper
/// than InsideCone itself: within reach and not clearly off to a side. It lets through every
/// point InsideCone takes in, and a few beyond its edges. [Units: heading in radians,
/// fieldOfView in degrees]
class ConeScreen {
  public:
    ConeScreen(Vec2 apex, double heading, double range, double fieldOfView);

    bool MayContain(Vec2 p) const {
        const double dx = p.x - apex.x;
        const double dy = p.y - apex.y;
        const double squared = dx * dx + dy * dy;
        if (squared > reachSquared) {
            return false;
        }
        // The angle off the heading exceeds the half cone when its cosine falls below the half
        // cone's; a cone of a half turn or more has no sides.
        return allRound || dx * along.x + dy * along.y >= edgeCosine * std::sqrt(squared);
    }

  private:
    Vec2 apex;
    Vec2 along; ///< unit vector of the heading
    double reachSquared = 0.0;
    /// Of the half cone widened far beyond InsideCone's tolerance, lowered by far more than the
    /// rounding of the products above. [Units: field units per field unit]
    double edgeCosine = -1.0;
    bool allRound = false;
};

/// Every box a grid query asks for is widened by this, so that a point the exact test takes in
/// by the last bit of a rounding is never left out. Far above the rounding of coordinates of a
/// field of up to thousands of units, far below anything a robot or a scanner can resolve.
/// [Units: field units]
constexpr double kGridMargin = 1e-6;

/// The running robots indexed by where their centres are, in a uniform grid of square cells
/// over the field, so that what a scanner, a move or a shell can meet is found among the robots
/// nearby rather than among all of them. Queries visit every robot in the cells a box touches:
/// all those inside the box and some beyond it, in no particular order, so callers apply their
/// exact test and settle ties themselves. A position outside the field counts in the nearest
/// border cell.
///
/// The grid keeps its own copy of each robot's position: whoever moves a robot's body tells it
/// (Move) before the next query. It borrows the robots, which must outlive their entries.
class SpatialGrid {
  public:
    /// What a query needs to pass over a robot without reaching into the robot itself.
    struct Entry {
        ArenaRobot* robot = nullptr;
        int id = 0;
        Vec2 position; ///< the robot's centre when it was inserted or last moved
    };

    /// Cells of about `cellSize` a side, no more than kMaxCellsPerSide along either side.
    /// [Limit: field sides > 0, cellSize > 0]
    SpatialGrid(const FieldSize& field, double cellSize);

    /// Adds a robot that is not in the grid, at its body's position.
    void Insert(ArenaRobot& robot);
    /// The robot's body has moved from `from`, where the grid last had it.
    void Move(ArenaRobot& robot, Vec2 from);
    /// Takes the robot out; false when it was not in the grid.
    bool Remove(const ArenaRobot& robot);
    void Clear();
    std::size_t Size() const { return size; }

    /// Calls visit(const Entry&) for every robot in a cell the box touches.
    template <typename Visit> void ForEachInBox(const Box& box, Visit&& visit) const {
        const int lastColumn = Column(box.hi.x);
        const int lastRow = Row(box.hi.y);
        for (int row = Row(box.lo.y); row <= lastRow; ++row) {
            const std::size_t rowStart = static_cast<std::size_t>(row) * columns;
            for (int column = Column(box.lo.x); column <= lastColumn; ++column) {
                for (const Entry& entry : cells[rowStart + static_cast<std::size_t>(column)]) {
                    visit(entry);
                }
            }
        }
    }

    /// Every robot whose centre may lie within `reach` of `centre`: at least all those that do.
    template <typename Visit> void ForEachNear(Vec2 centre, double reach, Visit&& visit) const {
        const double r = reach + kGridMargin;
        ForEachInBox(Box{{centre.x - r, centre.y - r}, {centre.x + r, centre.y + r}}, visit);
    }

    /// Every robot whose centre may lie within `reach` of the segment: at least all those that
    /// do, however many cells the segment crosses.
    template <typename Visit>
    void ForEachNearSegment(Vec2 from, Vec2 to, double reach, Visit&& visit) const {
        const double r = reach + kGridMargin;
        ForEachInBox(Box{{std::min(from.x, to.x) - r, std::min(from.y, to.y) - r},
                         {std::max(from.x, to.x) + r, std::max(from.y, to.y) + r}},
                     visit);
    }

    /// Every robot whose centre may lie in the scanner cone: at least all those InsideCone
    /// takes in. [Units: heading in radians, fieldOfView in degrees]
    template <typename Visit>
    void ForEachInCone(Vec2 apex, double heading, double range, double fieldOfView,
                       Visit&& visit) const {
        const ConeScreen screen(apex, heading, range, fieldOfView);
        ForEachInBox(ConeBounds(apex, heading, range, fieldOfView), [&](const Entry& entry) {
            if (screen.MayContain(entry.position)) {
                visit(entry);
            }
        });
    }

    /// Cells along either side at most, whatever the field: a grid made for an absurd field
    /// takes coarser cells rather than more memory.
    static constexpr int kMaxCellsPerSide = 256;

  private:
    int Column(double x) const { return Index(x, minX, perCellWidth, columns); }
    int Row(double y) const { return Index(y, minY, perCellHeight, rows); }
    /// The cell along one side; clamped to the border cells, NaN included. Monotonic in `at`,
    /// so a point inside a box lies in a cell between those of the box's corners.
    static int Index(double at, double start, double perCell, int count) {
        const double cell = std::floor((at - start) * perCell);
        // Compared before the conversion, which a NaN or a far-off point would make undefined.
        if (!(cell >= 0.0)) {
            return 0;
        }
        return cell >= count - 1 ? count - 1 : static_cast<int>(cell);
    }
    std::vector<Entry>& CellAt(Vec2 position);

    double minX;
    double minY;
    double perCellWidth;  ///< cells per unit along x [Units: 1 / field units]
    double perCellHeight; ///< cells per unit along y [Units: 1 / field units]
    int columns;
    int rows;
    std::vector<std::vector<Entry>> cells; ///< row by row from the lowest y
    std::size_t size = 0;
};

} // namespace botarena
