#include "arena/arena_server.h"
#include "arena/viewer/recording.h"
#include "arena/viewer/viewer_server.h"

#include <asio.hpp>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

/// Serves a recorded battle to the viewer until SIGINT or SIGTERM.
int RunReplay(const botarena::ArenaOptions& options) {
    const botarena::Recording recording = botarena::Recording::Load(options.replayPath);
    if (!recording.Warning().empty()) {
        std::cerr << "botarena: " << recording.Warning() << '\n';
    }
    botarena::ViewerServer viewer(recording);
    const std::uint16_t port = viewer.Start(options.bind, *options.httpPort);
    std::cout << "botarena replaying " << options.replayPath << " (" << recording.FrameCount()
              << " snapshots, " << recording.FrameTime(0) << " s to "
              << recording.FrameTime(recording.FrameCount() - 1) << " s), viewer at "
              << botarena::ViewerAddress(options.bind, port) << std::endl;
    asio::io_context io;
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([](const std::error_code&, int) {});
    io.run();
    viewer.Stop();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    botarena::ParsedOptions parsed = botarena::ParseArenaOptions(arguments);
    if (!parsed.options) {
        (parsed.exitCode == 0 ? std::cout : std::cerr) << parsed.message;
        return parsed.exitCode;
    }
    try {
        if (!parsed.options->replayPath.empty()) {
            return RunReplay(*parsed.options);
        }
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
