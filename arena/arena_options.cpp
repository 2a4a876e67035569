#include "arena/arena_options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace botarena {

namespace {

/// Sides of the field outside this are refused; the client itself refuses sides above 200,
/// which it caches on a fine grid every cycle. [Units: field units]
constexpr double kMinFieldSide = 4.0;
constexpr double kMaxFieldSide = 200.0;

/// Digits with at most one decimal point among them: no sign, no blanks, no exponent, no hex,
/// no "nan" or "inf", which the library's own number reading would all accept.
bool IsPlainDecimal(const std::string& text, bool fractionAllowed) {
    const std::size_t point = text.find('.');
    if (point != std::string::npos && (!fractionAllowed || point == 0 || point + 1 == text.size() ||
                                       text.find('.', point + 1) != std::string::npos)) {
        return false;
    }
    return !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
}

/// A command-line check that lets only plain decimals through to the range checks.
CLI::Validator PlainDecimal(bool fractionAllowed) {
    return CLI::Validator(
        [fractionAllowed](std::string& text) {
            return IsPlainDecimal(text, fractionAllowed)
                       ? std::string()
                       : "'" + text + "' is not a plain decimal number";
        },
        fractionAllowed ? "DECIMAL" : "DIGITS");
}

/// Whether two paths name one file: the same file on disk when both exist (hard links and
/// symbolic links included), else the same path once made absolute and normal ("./x" and "x").
bool SameFile(const std::string& first, const std::string& second) {
    std::error_code error;
    if (std::filesystem::equivalent(first, second, error)) {
        return true;
    }
    const auto resolved = [&error](const std::string& path) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error)
            .lexically_normal();
    };
    const std::filesystem::path a = resolved(first);
    const std::filesystem::path b = resolved(second);
    return !error && a == b;
}

bool ParseSide(const std::string& text, double& side) {
    if (!IsPlainDecimal(text, true)) {
        return false;
    }
    side = std::strtod(text.c_str(), nullptr);
    return side >= kMinFieldSide && side <= kMaxFieldSide;
}

} // namespace

std::optional<FieldSize> ParseFieldSize(const std::string& text) {
    const std::size_t cross = text.find('x');
    if (cross == std::string::npos) {
        return std::nullopt;
    }
    FieldSize field;
    if (!ParseSide(text.substr(0, cross), field.width) ||
        !ParseSide(text.substr(cross + 1), field.height)) {
        return std::nullopt;
    }
    return field;
}

std::optional<HttpPortChoice> ParseHttpPort(const std::string& text) {
    if (text == "off") {
        return HttpPortChoice{true, 0};
    }
    if (text.size() > 5 || !IsPlainDecimal(text, false)) {
        return std::nullopt;
    }
    const int port = std::atoi(text.c_str());
    if (port > 65535) {
        return std::nullopt;
    }
    return HttpPortChoice{false, port};
}

namespace {

/// A command line the arena refuses; what() is the whole message to print.
class Refusal : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The command line's values as read, before they are checked and turned into ArenaOptions.
struct CommandLine {
    /// Where the values that need no more than the parser's own checks go as they are.
    ArenaOptions options;
    std::vector<std::string> opponentLists;
    std::string field = "30x20";
    std::uint32_t seed = 0;
    /// Tells whether --seed was given.
    CLI::Option* seedOption = nullptr;
    std::string http = "8080";
};

/// Declares every option: bound to its value in `line`, with its help text and the checks the
/// parser makes of that value as it reads it (which the help names: plain decimals, ranges,
/// the options a replay excludes). `line` must outlive the parsing.
void Declare(CLI::App& app, CommandLine& line) {
    ArenaOptions& options = line.options;
    app.set_version_flag("--version", "botarena " BOTARENA_VERSION, "Print the version and end");
    app.footer("To report a fault, see \"Reporting a fault\" in the README.");
    app.add_option("--bind", options.bind, "Address to listen on")->capture_default_str();
    app.add_option("--port", options.port,
                   "Port for robot connections; drawing uses the next one; 0 picks a free pair")
        ->check(PlainDecimal(false))
        ->check(CLI::Range(0, 65534))
        ->capture_default_str();
    app.add_option("--bots", options.bots, "Built-in opponents")
        ->check(PlainDecimal(false))
        ->check(CLI::Range(0, kMaxBots))
        ->capture_default_str();
    app.add_option("--opponent", line.opponentLists,
                   "Kinds of the built-in opponents, taken in turn: " + OpponentKindList() +
                       "; repeatable or a comma list [default: hunter,sniper]")
        ->allow_extra_args(false);
    line.seedOption =
        app.add_option("--seed", line.seed, "Seed for spawn points and the opponents' choices")
            ->check(PlainDecimal(false));
    app.add_option("--field", line.field, "Field size WIDTHxHEIGHT, centred on the origin")
        ->capture_default_str();
    app.add_option("--duration", options.duration,
                   "End each round after this many seconds; 0: never")
        ->check(PlainDecimal(true))
        ->check(CLI::Range(0.0, 1.0e6))
        ->capture_default_str();
    app.add_option("--rounds", options.rounds,
                   "Rounds in the battle; each puts every connected robot back on the field")
        ->check(PlainDecimal(false))
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    CLI::Option* summaryOption =
        app.add_option("--summary", options.summaryPath, "Write the final figures as JSON to FILE");
    app.add_option("--http", line.http,
                   "Port of the battle viewer on the bind address; 0 picks a free one; off")
        ->capture_default_str();
    CLI::Option* recordOption =
        app.add_option("--record", options.recordPath,
                       "Record the battle as JSON lines to FILE, gzip-compressed when FILE ends in "
                       ".gz, for --replay");
    CLI::Option* replayOption =
        app.add_option("--replay", options.replayPath,
                       "Serve a recorded battle to the viewer instead of running one");
    // A replay runs no battle: the battle's own options make no sense beside it.
    for (const char* battleOption :
         {"--port", "--bots", "--opponent", "--field", "--duration", "--rounds"}) {
        replayOption->excludes(app.get_option(battleOption));
    }
    replayOption->excludes(line.seedOption)->excludes(summaryOption)->excludes(recordOption);
}

/// Reads the arguments (the first is the program name) into the values the options are bound
/// to. Refuses what the parser refuses, with its own message; gives the help text when asked
/// for it.
std::optional<std::string> Read(CLI::App& app, const std::vector<std::string>& arguments) {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    if (!reversed.empty()) {
        reversed.pop_back(); // the program name
    }
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        std::ostringstream out;
        std::ostringstream err;
        if (app.exit(error, out, err) != 0) {
            throw Refusal(out.str() + err.str());
        }
        // Only a call for help or for the version ends the parsing without an error.
        return out.str() + err.str();
    }
    return std::nullopt;
}

/// The kinds named by --opponent, each a kind or a comma list of kinds.
std::vector<OpponentKind> CheckOpponents(const std::vector<std::string>& lists) {
    std::vector<OpponentKind> kinds;
    // Split here rather than by the parser, which drops empty items: "hunter,,sniper" is a
    // mistake to name, not two kinds.
    for (const std::string& list : lists) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = list.find(',', start);
            const std::string name = list.substr(start, comma - start);
            const std::optional<OpponentKind> kind = ParseOpponentKind(name);
            if (!kind) {
                throw Refusal("--opponent: " +
                              (name.empty() ? "an empty kind in '" + list + "'"
                                            : "'" + name + "' is not a kind of opponent") +
                              "; the kinds are " + OpponentKindList() + "\n");
            }
            kinds.push_back(*kind);
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
    }
    return kinds;
}

/// The values the parser cannot check by themselves, and the options against each other:
/// the arena's options, or a Refusal.
ArenaOptions Check(const CommandLine& line) {
    ArenaOptions options = line.options;
    if (!line.opponentLists.empty()) {
        options.opponents = CheckOpponents(line.opponentLists);
    }
    const std::optional<FieldSize> size = ParseFieldSize(line.field);
    if (!size) {
        throw Refusal("--field: '" + line.field +
                      "' is not WIDTHxHEIGHT with sides from 4 to 200\n");
    }
    options.field = *size;
    const std::optional<HttpPortChoice> httpPort = ParseHttpPort(line.http);
    if (!httpPort) {
        throw Refusal("--http: '" + line.http + "' is neither a port from 0 to 65535 nor off\n");
    }
    if (!httpPort->off) {
        options.httpPort = httpPort->port;
    }
    if (!options.replayPath.empty() && !options.httpPort) {
        throw Refusal("--replay: with --http off there is nothing to serve the replay on\n");
    }
    if (!options.summaryPath.empty() && !options.recordPath.empty() &&
        SameFile(options.summaryPath, options.recordPath)) {
        throw Refusal("--summary and --record name the same file: '" + options.summaryPath +
                      "' and '" + options.recordPath + "'\n");
    }
    if (*line.seedOption) {
        options.seed = line.seed;
    }
    return options;
}

} // namespace

ParsedOptions ParseArenaOptions(const std::vector<std::string>& arguments) {
    CommandLine line;
    CLI::App app("botarena: a robot-battle simulation server", "botarena");
    Declare(app, line);
    ParsedOptions parsed;
    try {
        if (std::optional<std::string> help = Read(app, arguments)) {
            parsed.message = std::move(*help);
            return parsed;
        }
        parsed.options = Check(line);
    } catch (const Refusal& refusal) {
        parsed.exitCode = 2;
        parsed.message = refusal.what();
    }
    return parsed;
}

} // namespace botarena
