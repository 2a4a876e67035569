#include "app/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace botpilot {

namespace {

// Reads a number the forgiving way: leading blanks, an optional sign and leading digits; 0 when
// there are none. Values beyond the 32-bit range saturate instead of overflowing.
std::int32_t ReadLeadingInteger(const std::string& text) {
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::vector<IgnoredOption> ParseCommandLine(int argc, const char* const argv[],
                                            Settings& settings) {
    const std::vector<std::string> words(argv, argv + (argc > 0 ? argc : 0));
    const std::size_t argumentCount = words.empty() ? 0 : words.size() - 1;
    if (argumentCount % 2 != 0) {
        throw "Expected an even number of arguments";
    }
    std::vector<IgnoredOption> ignored;
    for (std::size_t i = 1; i + 1 < words.size(); i += 2) {
        const std::string& option = words[i];
        const std::string& value = words[i + 1];
        if (option == "/s") {
            settings.serverHost = value;
        } else if (option == "/p") {
            settings.serverPort = ReadLeadingInteger(value);
        } else if (option == "/t") {
            settings.selfTest = ReadLeadingInteger(value) == 1;
        } else if (option == "/d") {
            settings.drawing = ReadLeadingInteger(value) == 1;
        } else if (option == "/r") {
            settings.cycleRate = ReadLeadingInteger(value);
        } else {
            ignored.push_back({option, value});
        }
    }
    return ignored;
}

bool CommandLineNeedsUsage(int argc, const char* const argv[]) {
    if (argc > 1 && (argc - 1) % 2 != 0) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "/?" || word == "-h" || word == "--help") {
            return true;
        }
    }
    return false;
}

void WriteUsage(std::ostream& out) {
    out << "botpilot " BOTPILOT_VERSION "\n"
           "Usage: botpilot [/s HOST] [/p PORT] [/d 1] [/r HZ] [/t 1]\n"
           "  /s HOST  server host, a dotted IPv4 address or a host name (default localhost)\n"
           "  /p PORT  server port; the drawing connection uses the next one (default 9386)\n"
           "  /d 1     draw the danger map on the server's drawing port (default off)\n"
           "  /r HZ    at most HZ cycles a second; 0 runs unpaced, as fast as the server\n"
           "           answers (default 0)\n"
           "  /t 1     run the built-in self-test instead of connecting (default off)\n"
           "Options come in pairs. During a run, d toggles the drawing and any other key\n"
           "ends the run. scripts/battle builds and starts a local arena and runs the client.\n"
           "To report a fault, see \"Reporting a fault\" in the README.\n";
}

} // namespace botpilot
