#pragma once

#include "app/settings.h"

namespace botpilot {

/// Reads option/value pairs into the settings: "/s" host, "/p" port, "/t" 1 (self-test),
/// "/d" 1 (drawing). Unknown options are skipped with their value; the last occurrence wins.
/// An odd number of arguments after the program name throws the bare text
/// "Expected an even number of arguments" (a const char*, deliberately neither a std::string
/// nor a std::exception: the entry reports it as "Exception").
void ParseCommandLine(int argc, const char* const argv[], Settings& settings);

} // namespace botpilot
