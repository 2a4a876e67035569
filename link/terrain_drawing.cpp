#include "link/terrain_drawing.h"

#include "geometry/interpolation.h"
#include "geometry/point.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace botpilot {

namespace {

// The grid is fixed: the centres of unit cells over the default playing field (30 by 20), whatever
// size the server reports. Steps of 1 from these starts are exact, so the loops run exactly 30 and
// 20 times. [Units: world units]
constexpr double kFirstX = -14.5;
constexpr double kLastX = 14.5;
constexpr double kFirstY = -9.5;
constexpr double kLastY = 9.5;
constexpr double kCellStep = 1.0;

// The fixed values of every cell item; what the display makes of them is the server's business.
constexpr double kCellExtent = 0.5;
constexpr double kThirdValue = 0.0;
constexpr std::int32_t kCellItemCode = 8;

// Brightness runs from 50 at height 0 to 255 at |height| 100 and stays there beyond.
constexpr double kDimLevel = 50.0;
constexpr double kFullLevel = 255.0;
constexpr double kFullLevelHeight = 100.0;

struct Colour {
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
};

std::int32_t Level(double height) {
    // Truncated toward zero: 101.25 is drawn as 101.
    return static_cast<std::int32_t>(
        BoundedLinearInterpolate(0.0, kDimLevel, kFullLevelHeight, kFullLevel, std::fabs(height)));
}

// Red for danger, green for attraction; exactly 0 is black. A height that is not a number is
// neither above nor below 0, so it is black too, and the brightness is then never converted.
Colour CellColour(double height) {
    Colour colour;
    if (height > 0.0) {
        colour.red = Level(height);
    } else if (height < 0.0) {
        colour.green = Level(height);
    }
    return colour;
}

DrawingInterruption& ProcessInterruption() {
    static DrawingInterruption check;
    return check;
}

} // namespace

void SetDrawingInterruption(DrawingInterruption check) {
    ProcessInterruption() = std::move(check);
}

void DrawTerrain(const Feature& terrain) {
    DrawTerrain(Graphics::Instance(), terrain, ProcessInterruption());
}

void DrawTerrain(Graphics& graphics, const Feature& terrain,
                 const DrawingInterruption& interrupted) {
    std::int32_t id = 0;
    for (double x = kFirstX; x <= kLastX; x += kCellStep) {
        for (double y = kFirstY; y <= kLastY; y += kCellStep) {
            if (interrupted && interrupted()) {
                return;
            }
            ++id;
            const Colour colour = CellColour(terrain.Height(x, y));
            graphics.DrawItem(id, Point{x, y}, kCellExtent, kCellExtent, kThirdValue, kCellItemCode,
                              colour.red, colour.green, colour.blue);
        }
    }
}

} // namespace botpilot
