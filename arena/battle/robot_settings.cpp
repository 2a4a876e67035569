#include "arena/battle/robot_settings.h"

#include <sstream>

namespace botarena {

std::optional<std::string> CheckSetting(const SettingLimit& limit, double value) {
    const bool aboveLow = limit.lowIncluded ? value >= limit.low : value > limit.low;
    // Written so that NaN fails both comparisons and is refused.
    if (aboveLow && value <= limit.high) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << limit.what << ' ' << value << " is out of range " << (limit.lowIncluded ? '[' : '(')
         << limit.low << ", " << limit.high << ']';
    return text.str();
}

std::optional<std::string> CheckIdentityText(const char* what, const std::string& text) {
    if (!text.empty() && text.size() <= kMaxIdentityTextBytes) {
        return std::nullopt;
    }
    return std::string(what) + " must be 1 to " + std::to_string(kMaxIdentityTextBytes) +
           " bytes long, not " + std::to_string(text.size());
}

std::optional<std::string> CheckColour(const char* what, std::int32_t value) {
    if (value >= 0 && value <= 255) {
        return std::nullopt;
    }
    return std::string(what) + ' ' + std::to_string(value) + " is out of range [0, 255]";
}

} // namespace botarena
