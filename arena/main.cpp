#include "arena/arena_server.h"

#include <asio.hpp>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    botarena::ParsedOptions parsed = botarena::ParseArenaOptions(arguments);
    if (!parsed.options) {
        (parsed.exitCode == 0 ? std::cout : std::cerr) << parsed.message;
        return parsed.exitCode;
    }
    try {
        asio::io_context io;
        botarena::ArenaServer server(io, *parsed.options, std::cout, std::cerr);
        server.Start();
        io.run();
        return server.ExitCode();
    } catch (const std::exception& error) {
        std::cerr << "botarena: " << error.what() << '\n';
        return 1;
    }
}
