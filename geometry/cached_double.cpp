#include "geometry/cached_double.h"

#include <cmath>

namespace botpilot {

namespace {

// Changes smaller than this are not worth a request to the server.
constexpr double kResendThreshold = 0.0001;

} // namespace

bool CachedDouble::Update(double candidate) {
    // Strict: a value that drifts by less than the threshold per call is never re-sent.
    if (valid && std::abs(value - candidate) < kResendThreshold) {
        return false;
    }
    value = candidate;
    valid = true;
    return true;
}

} // namespace botpilot
