#pragma once

namespace botpilot {

/// The last value sent to the server for one setting, so that an unchanged setting is not sent
/// again.
class CachedDouble {
  public:
    /// Accepts the candidate unless it lies strictly within 0.0001 of the value already accepted.
    /// True when accepted: the caller should send it on. The first call always accepts.
    bool Update(double candidate);

    /// False until the first `Update`; stays true afterwards.
    bool Valid() const { return valid; }

    /// The last value accepted (0 before the first).
    double Value() const { return value; }

  private:
    bool valid = false;
    double value = 0.0;
};

} // namespace botpilot
