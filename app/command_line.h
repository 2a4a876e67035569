#pragma once

#include "link/settings.h"

#include <ostream>
#include <string>
#include <vector>

namespace botpilot {

/// An option pair the parser did not know and skipped.
struct IgnoredOption {
    std::string option;
    std::string value;
};

/// Reads option/value pairs into the settings: "/s" host, "/p" port, "/t" 1 (self-test),
/// "/d" 1 (drawing), "/r" cycles a second (0 unpaced). Unknown options are skipped with their
/// value; the last occurrence wins. An odd number of arguments after the program name throws the
/// bare text "Expected an even number of arguments" (a const char*, deliberately neither a
/// std::string nor a std::exception: the entry reports it as "Exception"). Returns the unknown
/// pairs that were skipped, in order, so that the entry can name them.
std::vector<IgnoredOption> ParseCommandLine(int argc, const char* const argv[], Settings& settings);

/// True when the command line cannot be read as pairs or asks for help ("/?", "-h", "--help"
/// anywhere): then the usage follows the error.
bool CommandLineNeedsUsage(int argc, const char* const argv[]);

/// The options with their defaults, the keys during a run, and how to start a local arena.
void WriteUsage(std::ostream& out);

} // namespace botpilot
