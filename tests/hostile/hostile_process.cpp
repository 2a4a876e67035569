#include "tests/hostile/hostile_process.h"

#include "platform/steady_time.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace botpilot::testing {

ClientRun RunClientAgainst(std::uint16_t port,
                           const std::function<void(int processId)>& whileRunning) {
    const std::string limit = std::to_string(kClientMemoryLimitMiB);
#ifdef BOTPILOT_SANITIZED
    // An address-space limit would refuse the sanitizer its shadow memory at start-up; its own
    // caps report (and so fail the run) any allocation or resident size above the limit.
    const std::string command = "ASAN_OPTIONS=hard_rss_limit_mb=" + limit +
                                ":max_allocation_size_mb=" + limit +
                                ":allocator_may_return_null=0 exec \"$0\" \"$@\"";
#else
    const std::string command =
        "ulimit -v " + std::to_string(kClientMemoryLimitMiB * 1024) + " && exec \"$0\" \"$@\"";
#endif
    const double start = SteadySeconds();
    ClientRun run;
    run.result = RunChild(
        {"/bin/sh", "-c", command, BOTPILOT_PATH, "/s", "127.0.0.1", "/p", std::to_string(port)},
        "", 30.0, whileRunning);
    run.seconds = SteadySeconds() - start;
    return run;
}

void ResetAcceptedConnection(std::uint16_t localPort) {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        const int descriptor = std::atoi(entry->d_name);
        if (descriptor <= STDERR_FILENO || descriptor == dirfd(folder)) {
            continue;
        }
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        // The listener shares the port but has no peer: only the accepted socket has both.
        if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            local.sin_family != AF_INET || ntohs(local.sin_port) != localPort ||
            getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) {
            continue;
        }
        const linger abortive{1, 0};
        setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        // Replacing the descriptor closes the socket without a shutdown first, so the close
        // sends a reset alone.
        const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(nothing, descriptor);
        close(nothing);
        break;
    }
    closedir(folder);
}

} // namespace botpilot::testing
