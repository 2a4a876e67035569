#include "arena/battle/spatial_grid.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace botarena {

namespace {

int CellsAlong(double side, double cellSize) {
    const double cells = std::ceil(side / cellSize);
    // Also a NaN or a side of nothing makes one cell.
    if (!(cells >= 1.0)) {
        return 1;
    }
    return cells >= SpatialGrid::kMaxCellsPerSide ? SpatialGrid::kMaxCellsPerSide
                                                  : static_cast<int>(cells);
}

void Include(Box& box, Vec2 p) {
    box.lo = {std::min(box.lo.x, p.x), std::min(box.lo.y, p.y)};
    box.hi = {std::max(box.hi.x, p.x), std::max(box.hi.y, p.y)};
}

} // namespace

Box ConeBounds(Vec2 apex, double heading, double range, double fieldOfView) {
    const double half = 0.5 * fieldOfView * kRadiansPerDegree;
    Box box{apex, apex};
    if (half >= kPi) {
        box = {{apex.x - range, apex.y - range}, {apex.x + range, apex.y + range}};
    } else {
        Include(box, {apex.x + range * std::cos(heading - half),
                      apex.y + range * std::sin(heading - half)});
        Include(box, {apex.x + range * std::cos(heading + half),
                      apex.y + range * std::sin(heading + half)});
        // The arc bulges beyond its ends where it crosses an axis direction. An axis just
        // outside the cone is taken in too: a box a little too large costs nothing.
        const Vec2 axes[] = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}};
        for (int i = 0; i < 4; ++i) {
            if (std::fabs(NormaliseRadians(0.5 * kPi * i - heading)) <= half + 1e-9) {
                Include(box, {apex.x + range * axes[i].x, apex.y + range * axes[i].y});
            }
        }
    }
    box.lo = {box.lo.x - kGridMargin, box.lo.y - kGridMargin};
    box.hi = {box.hi.x + kGridMargin, box.hi.y + kGridMargin};
    return box;
}

ConeScreen::ConeScreen(Vec2 apex, double heading, double range, double fieldOfView)
    : apex(apex), along{std::cos(heading), std::sin(heading)} {
    const double reach = range + kGridMargin;
    reachSquared = reach * reach;
    // InsideCone allows 1e-12 beyond the half cone and rounds its angle to about 1e-15; this
    // screen allows 1e-9 and a cosine lower by 1e-9, some millions of times the rounding of
    // a dot product and a square root.
    const double half = 0.5 * fieldOfView * kRadiansPerDegree + 1e-9;
    allRound = half >= kPi;
    edgeCosine = allRound ? -1.0 : std::cos(half) - 1e-9;
}

SpatialGrid::SpatialGrid(const FieldSize& field, double cellSize)
    : minX(field.MinX()), minY(field.MinY()), columns(CellsAlong(field.width, cellSize)),
      rows(CellsAlong(field.height, cellSize)) {
    perCellWidth = columns / field.width;
    perCellHeight = rows / field.height;
    cells.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
}

std::vector<SpatialGrid::Entry>& SpatialGrid::CellAt(Vec2 position) {
    return cells[static_cast<std::size_t>(Row(position.y)) * static_cast<std::size_t>(columns) +
                 static_cast<std::size_t>(Column(position.x))];
}

void SpatialGrid::Insert(ArenaRobot& robot) {
    const Vec2 at{robot.Body().x, robot.Body().y};
    CellAt(at).push_back({&robot, robot.Id(), at});
    ++size;
}

void SpatialGrid::Move(ArenaRobot& robot, Vec2 from) {
    const Vec2 to{robot.Body().x, robot.Body().y};
    std::vector<Entry>& before = CellAt(from);
    const auto found = std::find_if(before.begin(), before.end(),
                                    [&robot](const Entry& entry) { return entry.robot == &robot; });
    assert(found != before.end() && "a robot is moved from where the grid has it");
    if (found == before.end()) {
        return;
    }
    std::vector<Entry>& after = CellAt(to);
    if (&after == &before) {
        found->position = to;
        return;
    }
    *found = before.back();
    before.pop_back();
    after.push_back({&robot, robot.Id(), to});
}

bool SpatialGrid::Remove(const ArenaRobot& robot) {
    // Where the grid has it is where its body is, unless it never was in the grid; then the
    // other cells are looked through rather than trusting that.
    std::vector<Entry>& likely = CellAt({robot.Body().x, robot.Body().y});
    const auto inCell = [&robot](std::vector<Entry>& cell) {
        const auto found = std::find_if(cell.begin(), cell.end(), [&robot](const Entry& entry) {
            return entry.robot == &robot;
        });
        if (found == cell.end()) {
            return false;
        }
        *found = cell.back();
        cell.pop_back();
        return true;
    };
    if (inCell(likely)) {
        --size;
        return true;
    }
    for (std::vector<Entry>& cell : cells) {
        if (inCell(cell)) {
            --size;
            return true;
        }
    }
    return false;
}

void SpatialGrid::Clear() {
    for (std::vector<Entry>& cell : cells) {
        cell.clear();
    }
    size = 0;
}

} // namespace botarena
