#pragma once

#include "geometry/cached_feature.h"
#include "geometry/feature.h"
#include "geometry/point.h"

namespace botpilot {

/// The rectangle of the battle, centred on the world origin. Its size comes from the server once
/// at start-up; until then (and in the self-test) it is 30 by 20. As a `Feature` it repels from
/// its four walls. A process-wide singleton; single-threaded. [Units: world units]
class PlayingField final : public Feature {
  public:
    /// Extents before the server has been asked. [Units: world units]
    static constexpr double kDefaultXSize = 30.0;
    static constexpr double kDefaultYSize = 20.0;
    /// The largest side the client accepts from a server. The rover caches the field on a fine
    /// grid every cycle, so the size bounds that memory; a larger (or zero, negative or not a
    /// number) size is refused as a broken reply. [Units: world units]
    static constexpr double kMaxExtent = 200.0;

    /// The one playing field, created with the default size on the first call, never destroyed.
    static PlayingField& Instance();

    PlayingField(const PlayingField&) = delete;
    PlayingField& operator=(const PlayingField&) = delete;

    /// Asks the server for the size, the first time only (it is the first request of a run, so
    /// it connects the controller). A failed request propagates and leaves the size and the
    /// asked-once flag as they were, so a later call asks again. A side outside (0, kMaxExtent]
    /// throws std::runtime_error naming the size.
    void FetchSize();
    /// Replaces both extents: the server's answer, or a known size for a check or a test.
    /// [Units: world units] [Limit: > 0]
    void SetSize(double newXSize, double newYSize);

    double XSize() const { return xSize; }
    double YSize() const { return ySize; }
    // The bounds, computed from the present size on every call.
    double MinX() const { return -0.5 * xSize; }
    double MaxX() const { return 0.5 * xSize; }
    double MinY() const { return -0.5 * ySize; }
    double MaxY() const { return 0.5 * ySize; }

    /// Whether (x, y) lies in the rectangle, edges included.
    bool Contains(double x, double y) const;
    /// The nearest point of the rectangle, each coordinate held to its bounds on its own.
    /// Inline: the path chooser clamps every point it samples.
    Point Clamp(double x, double y) const {
        Point clamped{x, y};
        if (clamped.x < MinX()) {
            clamped.x = MinX();
        } else if (clamped.x > MaxX()) {
            clamped.x = MaxX();
        }
        if (clamped.y < MinY()) {
            clamped.y = MinY();
        } else if (clamped.y > MaxY()) {
            clamped.y = MaxY();
        }
        return clamped;
    }

    /// The wall potential: a Gaussian of amplitude 30 and width 1 of the distance to each of the
    /// four walls, summed. 30 on a wall, 60 in a corner, practically 0 beyond four units.
    double Height(double x, double y) const override;

  private:
    PlayingField() = default;

    double xSize = kDefaultXSize;
    double ySize = kDefaultYSize;
    bool sizeFetched = false;
};

/// A cache of `source` on square cells of `cellSize` over the playing field's present bounds
/// (read once: build it after the size has been fetched). `source` must outlive the cache.
/// [Units: world units] [Limit: cellSize > 0]
CachedFeature CacheOverPlayingField(const Feature& source, double cellSize);

/// The same over the cells of `memo`, kept by the caller from one decision to the next (see
/// `FeatureMemo`); `memo` must outlive the cache.
CachedFeature CacheOverPlayingField(const Feature& source, double cellSize, FeatureMemo& memo);

} // namespace botpilot
