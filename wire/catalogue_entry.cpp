#include "wire/catalogue_entry.h"

#include <cassert>
#include <cmath>
#include <sstream>

namespace botpilot {

namespace {

/// "WHAT VALUE is out of range [LOW, HIGH]", with "(" for an excluded low bound.
template <typename Value> std::string OutOfRange(const SettingLimit& limit, Value value) {
    std::ostringstream text;
    text << limit.what << ' ' << value << " is out of range " << (limit.lowIncluded ? '[' : '(')
         << limit.low << ", " << limit.high << ']';
    return text.str();
}

template <typename Value> bool Within(const SettingLimit& limit, Value value) {
    const bool aboveLow = limit.lowIncluded ? value >= limit.low : value > limit.low;
    // Written so that NaN fails both comparisons and is refused.
    return aboveLow && value <= limit.high;
}

} // namespace

std::optional<std::string> CheckSetting(const SettingLimit& limit, double value) {
    if (Within(limit, value)) {
        return std::nullopt;
    }
    return OutOfRange(limit, value);
}

std::optional<std::string> CheckValue(const ValueRule& rule, std::int32_t value) {
    assert(rule.kind == MessageValueTag::Integer);
    if (rule.check != ValueCheck::Range || Within(rule.limit, value)) {
        return std::nullopt;
    }
    return OutOfRange(rule.limit, value);
}

std::optional<std::string> CheckValue(const ValueRule& rule, double value) {
    assert(rule.kind == MessageValueTag::Double);
    switch (rule.check) {
    case ValueCheck::Range:
        return CheckSetting(rule.limit, value);
    case ValueCheck::Finite:
        if (!std::isfinite(value)) {
            std::ostringstream text;
            text << rule.limit.what << ' ' << value << " is not a finite number";
            return text.str();
        }
        return std::nullopt;
    case ValueCheck::None:
    case ValueCheck::Length:
        break;
    }
    return std::nullopt;
}

std::optional<std::string> CheckValue(const ValueRule& rule, const std::string& value) {
    assert(rule.kind == MessageValueTag::String);
    if (rule.check != ValueCheck::Length || Within(rule.limit, static_cast<double>(value.size()))) {
        return std::nullopt;
    }
    return std::string(rule.limit.what) + " must be " +
           std::to_string(static_cast<std::size_t>(rule.limit.low)) + " to " +
           std::to_string(static_cast<std::size_t>(rule.limit.high)) + " bytes long, not " +
           std::to_string(value.size());
}

std::string RequestKinds(const CatalogueEntry& entry) {
    std::string kinds;
    for (std::size_t i = 0; i < entry.valueCount; ++i) {
        kinds += LetterOfKind(entry.values[i].kind);
    }
    return kinds;
}

void AddAcceptedValue(Message& message, const ValueRule& rule) {
    const double middle = (rule.limit.low + rule.limit.high) / 2.0;
    switch (rule.kind) {
    case MessageValueTag::Integer:
        message.AddInt(rule.check == ValueCheck::Range ? static_cast<std::int32_t>(middle) : 1);
        break;
    case MessageValueTag::Double:
        message.AddDouble(rule.check == ValueCheck::Range ? middle : 0.5);
        break;
    case MessageValueTag::String:
        message.AddString(std::string(
            rule.check == ValueCheck::Length ? static_cast<std::size_t>(rule.limit.low) : 1, 'x'));
        break;
    }
}

Message AcceptedRequest(const CatalogueEntry& entry) {
    Message request;
    for (std::size_t i = 0; i < entry.valueCount; ++i) {
        AddAcceptedValue(request, entry.values[i]);
    }
    return request;
}

} // namespace botpilot
