#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

namespace botarena {

/// Lines one source (a connection, a port) may write in each second of battle time; the rest
/// are counted and summed up in one line. [Units: lines per second]
constexpr int kSourceLinesPerSecond = 5;

/// The text with every control byte (below 0x20, and 0x7f), every backslash and every byte
/// that is not part of well-formed UTF-8 written as \xNN, so that client text can neither break
/// a line nor steer a terminal. At most `maxBytes` bytes come back, cut before a whole escape or
/// a whole UTF-8 character. [Units: maxBytes in bytes]
std::string EscapeText(std::string_view text, std::size_t maxBytes = std::string_view::npos);

/// The log source of one connection's lines: "connection 3".
std::string ConnectionSource(int connectionId);

/// One line per event on a stream (standard error in the arena), each stamped with the
/// seconds since the battle began, with control bytes escaped (see EscapeText). Lines about the
/// battle as a whole are never held back; those a client causes are limited per source.
class EventLog {
  public:
    /// `out` must outlive the log; `clock` gives the stamp. [Units: s]
    EventLog(std::ostream& out, std::function<double()> clock)
        : out(out), clock(std::move(clock)) {}

    /// A line about the battle as a whole (hits, destroyed robots, status, the end).
    void Line(const std::string& text);
    /// A line a client caused: at most kSourceLinesPerSecond per source and second of battle
    /// time. Those held back are announced as "... N more lines from SOURCE" before the
    /// source's next line in a later second, or when the source ends.
    void SourceLine(const std::string& source, const std::string& text);
    /// The source is gone (its connection closed): announces its held-back lines and forgets it.
    void EndSource(const std::string& source);
    /// EndSource for every source, at the end of the battle.
    void EndAllSources();

  private:
    struct Budget {
        std::int64_t second = -1; ///< the battle second these counts belong to
        int written = 0;
        std::uint64_t heldBack = 0;
    };

    double Now() const { return clock ? clock() : 0.0; }
    void Write(const std::string& text);
    void AnnounceHeldBack(const std::string& source, Budget& budget);

    std::ostream& out;
    std::function<double()> clock;
    /// Only live sources: a source's entry goes when it ends, so the map stays as small as the
    /// number of open connections.
    std::map<std::string, Budget> budgets;
};

} // namespace botarena
