#pragma once

#include "arena/battle/opponent_pilot.h"
#include "arena/battle/spatial.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace botarena {

/// Built-in opponents at most: the battle's step stays within its 10 ms with this many on the
/// largest field, with room to spare for the connections.
constexpr int kMaxBots = 1024;

/// Everything the command line sets, with the arena's defaults.
struct ArenaOptions {
    std::string bind = "127.0.0.1";
    /// Robot connections; drawing connections use the next port. 0 picks a free pair.
    /// [Limit: 0 to 65534]
    int port = 9386;
    /// Built-in opponents. [Limit: 0 to kMaxBots]
    int bots = 0;
    /// The opponents' kinds, taken in turn by the `bots` opponents. [Limit: not empty]
    std::vector<OpponentKind> opponents = {OpponentKind::Hunter, OpponentKind::Sniper};
    /// Fixes spawn points and the opponents' choices; nothing draws one at random.
    std::optional<std::uint32_t> seed;
    FieldSize field;
    /// Each round ends after this much simulated time; 0 for no limit. [Units: s]
    double duration = 0.0;
    /// Rounds in the battle: every open connection's robot goes back on the field for each.
    /// [Limit: 1 to 100]
    int rounds = 1;
    /// Where to write the JSON summary; empty for nowhere.
    std::string summaryPath;
    /// The viewer's HTTP port on the bind address; 0 picks a free one; nothing for no viewer.
    /// Off here, so that an arena made in code opens no fixed port; the command line's
    /// default is 8080. [Limit: 0 to 65535]
    std::optional<int> httpPort;
    /// Where to record the battle as JSON lines; empty for no recording.
    std::string recordPath;
    /// A recording to serve to the viewer instead of running a battle; empty for a battle.
    std::string replayPath;

    // Not on the command line: tests shorten them.
    double stallSeconds = 10.0; ///< a frame, handshake or write may wait this long [Units: s]
    double stepSeconds = 0.01;  ///< the physics step: 100 Hz [Units: s]
    int maxConnections = 64;    ///< robot connections open at once; further ones are closed at once
    /// After the battle, robot connections stay open this long to be told it is over. [Units: s]
    double graceSeconds = 2.0;
};

/// What ParseArenaOptions decided.
struct ParsedOptions {
    std::optional<ArenaOptions> options; ///< nothing when the program should end
    int exitCode = 0;                    ///< when it should end: 0 after --help, else 2
    std::string message;                 ///< help or error text to print
};

/// Reads the command line (the first argument is the program name).
ParsedOptions ParseArenaOptions(const std::vector<std::string>& arguments);

/// The value of --http: a port, or no viewer at all. (A plain pair rather than a nested
/// optional, whose copies GCC 12 at -O3 mistakes for reads of uninitialised memory.)
struct HttpPortChoice {
    bool off = false; ///< "off": no viewer
    int port = 0;     ///< when not off [Limit: 0 to 65535]
};

/// Reads the value of --http: a port from 0 to 65535, or "off". Nothing when it is neither.
std::optional<HttpPortChoice> ParseHttpPort(const std::string& text);

/// Reads "30x20" into a field size; nothing when the text is not two sizes within 4 to 200.
std::optional<FieldSize> ParseFieldSize(const std::string& text);

} // namespace botarena
