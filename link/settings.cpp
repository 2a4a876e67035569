#include "link/settings.h"

namespace botpilot {

Settings& ProcessSettings() {
    static Settings settings;
    return settings;
}

} // namespace botpilot
