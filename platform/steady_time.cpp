#include "platform/steady_time.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <thread>

namespace botpilot {

double SteadySeconds() {
    using namespace std::chrono;
    const auto sinceOrigin = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
    return static_cast<double>(sinceOrigin.count()) / 1000.0;
}

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

Deadline Deadline::After(double seconds) {
    return Deadline(SteadySeconds() + seconds);
}

int Deadline::RemainingMilliseconds() const {
    const double remaining = std::ceil((atSeconds - SteadySeconds()) * 1000.0);
    if (remaining <= 0.0) {
        return 0;
    }
    return remaining >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(remaining);
}

} // namespace botpilot
