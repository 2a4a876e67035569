#include "arena/protocol/event_log.h"

#include <cmath>
#include <cstdio>

namespace botarena {

namespace {

/// The length of the well-formed UTF-8 character at the start of `text`, or 0 when its first
/// byte does not begin one (a stray continuation byte, an overlong form, a surrogate, a code
/// point beyond U+10FFFF, a character cut short). C1 controls (U+0080 to U+009F), which some
/// terminals obey, count as not well formed, so they are escaped too.
std::size_t CharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80; // the second byte's range, narrowed where the lead allows less
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        low = lead == 0xc2 ? 0xa0 : 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::string EscapeText(std::string_view text, std::size_t maxBytes) {
    std::string escaped;
    escaped.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        std::size_t length = 1;
        char unit[8];
        const char* piece = text.data() + at;
        std::size_t pieceSize = 1;
        if (byte >= 0x80) {
            length = CharacterLength(text.substr(at));
            pieceSize = length;
        }
        if (byte < 0x20 || byte == 0x7f || byte == '\\' || length == 0) {
            std::snprintf(unit, sizeof unit, "\\x%02x", byte);
            piece = unit;
            pieceSize = 4;
            length = 1;
        }
        if (escaped.size() + pieceSize > maxBytes) {
            break;
        }
        escaped.append(piece, pieceSize);
        at += length;
    }
    return escaped;
}

std::string ConnectionSource(int connectionId) {
    return "connection " + std::to_string(connectionId);
}

void EventLog::Line(const std::string& text) {
    Write(text);
}

void EventLog::SourceLine(const std::string& source, const std::string& text) {
    Budget& budget = budgets[source];
    const auto second = static_cast<std::int64_t>(std::floor(Now()));
    if (second != budget.second) {
        AnnounceHeldBack(source, budget);
        budget.second = second;
        budget.written = 0;
    }
    if (budget.written >= kSourceLinesPerSecond) {
        ++budget.heldBack;
        return;
    }
    ++budget.written;
    Write(text);
}

void EventLog::EndSource(const std::string& source) {
    const auto found = budgets.find(source);
    if (found != budgets.end()) {
        AnnounceHeldBack(source, found->second);
        budgets.erase(found);
    }
}

void EventLog::EndAllSources() {
    for (auto& [source, budget] : budgets) {
        AnnounceHeldBack(source, budget);
    }
    budgets.clear();
}

void EventLog::AnnounceHeldBack(const std::string& source, Budget& budget) {
    if (budget.heldBack > 0) {
        Write("... " + std::to_string(budget.heldBack) + " more lines from " + source);
        budget.heldBack = 0;
    }
}

void EventLog::Write(const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%7.2f] ", Now());
    // Flushed line by line: the log is watched live and read after a crash. Escaped whole, so
    // that no text of a client's, wherever it sits in the line, can start a line of its own.
    out << stamp << EscapeText(text) << std::endl;
}

} // namespace botarena
