#pragma once

#include "geometry/feature.h"
#include "link/graphics.h"

#include <functional>

namespace botpilot {

/// True when the run must end now (a stop signal, a key). A drawing pass looks between its items
/// and abandons the rest, so that a slow drawing server cannot hold a stop for a whole pass.
using DrawingInterruption = std::function<bool()>;

/// Sets the check that the process's drawing passes use; an empty one never interrupts.
void SetDrawingInterruption(DrawingInterruption check);

/// Sends a coloured map of `terrain` over the process's drawing connection (opened here on the
/// first call): one square item per unit cell of a 30 by 20 area centred on the origin, 600 in
/// all, with ids 1 to 600 in every pass, x outer and y inner. Positive heights are red, negative
/// ones green, a height of 0 black; the brightness grows with |height| up to 100.
void DrawTerrain(const Feature& terrain);

/// The same pass over a given drawing client, abandoned before the first item for which
/// `interrupted` says so.
void DrawTerrain(Graphics& graphics, const Feature& terrain,
                 const DrawingInterruption& interrupted = {});

} // namespace botpilot
