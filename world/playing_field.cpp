#include "world/playing_field.h"

#include "geometry/interpolation.h"
#include "link/controller.h"

#include <sstream>
#include <stdexcept>
#include <utility>

namespace botpilot {

namespace {

// Each wall: a Gaussian hill of this height on the wall, this wide. [Units: world units]
constexpr double kWallAmplitude = 30.0;
constexpr double kWallWidth = 1.0;

} // namespace

PlayingField& PlayingField::Instance() {
    // Never destroyed, so that it outlives every user, static ones included.
    static PlayingField* instance = new PlayingField();
    return *instance;
}

void PlayingField::FetchSize() {
    if (sizeFetched) {
        return;
    }
    // Both values are read before either is stored, so a failed reply changes nothing.
    const std::pair<double, double> size = Controller::Instance().GetPlayingFieldSize();
    const auto usable = [](double side) { return side > 0.0 && side <= kMaxExtent; };
    if (!usable(size.first) || !usable(size.second)) {
        std::ostringstream text;
        text << "Playing field size " << size.first << " x " << size.second
             << " is not usable: each side must be above 0 and at most " << kMaxExtent;
        throw std::runtime_error(text.str());
    }
    SetSize(size.first, size.second);
    sizeFetched = true;
}

void PlayingField::SetSize(double newXSize, double newYSize) {
    xSize = newXSize;
    ySize = newYSize;
}

bool PlayingField::Contains(double x, double y) const {
    return MinX() <= x && x <= MaxX() && MinY() <= y && y <= MaxY();
}

double PlayingField::Height(double x, double y) const {
    // Signed distances: the Gaussian is even, so a point outside is pushed back as if inside.
    double sum = Gaussian(y - MinY(), kWallAmplitude, kWallWidth); // lower wall
    sum += Gaussian(MaxY() - y, kWallAmplitude, kWallWidth);       // upper wall
    sum += Gaussian(x - MinX(), kWallAmplitude, kWallWidth);       // left wall
    sum += Gaussian(MaxX() - x, kWallAmplitude, kWallWidth);       // right wall
    return sum;
}

CachedFeature CacheOverPlayingField(const Feature& source, double cellSize) {
    const PlayingField& field = PlayingField::Instance();
    return CachedFeature(source, cellSize, field.MinX(), field.MinY(), field.MaxX(), field.MaxY());
}

CachedFeature CacheOverPlayingField(const Feature& source, double cellSize, FeatureMemo& memo) {
    const PlayingField& field = PlayingField::Instance();
    return CachedFeature(source, cellSize, field.MinX(), field.MinY(), field.MaxX(), field.MaxY(),
                         memo);
}

} // namespace botpilot
