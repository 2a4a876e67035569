#pragma once

#include <atomic>
#include <cstddef>
#include <httplib.h>
#include <string>

namespace botarena {

/// How a request must reach the viewer. Tests shorten the times.
struct RequestLimits {
    /// The threads that serve connections. [Limit: >= 1]
    int workers = 12;
    /// A connection whose request has not arrived whole may take a thread only while this many
    /// others stay free, for the requests that do arrive whole. [Limit: >= 0]
    int workersKeptForWholeRequests = 2;
    /// From the moment a thread takes a connection up to the end of its request's head.
    /// [Units: s] [Limit: > 0]
    double requestDeadlineSeconds = 5.0;
    /// How long a connection may take to send its whole head before it counts as slow (and
    /// needs a thread of its own, see workersKeptForWholeRequests). [Units: s]
    double wholeRequestGraceSeconds = 0.25;
    /// A browser that takes no bytes of a response for this long is dropped. [Units: s]
    double writeTimeoutSeconds = 3.0;
    /// Request line and headers together; a larger head is answered 431. [Units: bytes]
    std::size_t maxHeadBytes = 16 * 1024;
};

// process_and_close_socket is private in httplib::Server: its name, signature and duties are
// those of cpp-httplib 0.11, which the build checks for too.
constexpr bool IsHttplibVersion011(const char* version) {
    return version[0] == '0' && version[1] == '.' && version[2] == '1' && version[3] == '1' &&
           version[4] == '.';
}
static_assert(IsHttplibVersion011(CPPHTTPLIB_VERSION),
              "GuardedHttpServer replaces a private member of cpp-httplib 0.11");

/// cpp-httplib's server with its way in replaced: it reads each request's head itself, whole,
/// before httplib parses it, which puts one deadline on the whole head (httplib's own read
/// time-out applies to each read, so a client trickling a byte at a time held a thread for
/// as long as it liked), bounds its size, and drops every Range header (httplib answers any
/// number of ranges, each a copy of the content). Each connection serves one request.
class GuardedHttpServer final : public httplib::Server {
  public:
    explicit GuardedHttpServer(RequestLimits limits = {});

  private:
    bool process_and_close_socket(socket_t sock) override;
    /// True once stop() has closed the listening socket.
    bool Stopped() const;

    RequestLimits limits;
    /// Threads of the pool running a connection now.
    std::atomic<int> busyWorkers{0};
};

/// The head of a request without its Range headers: `head` up to the blank line that ends
/// it, then whatever came after it as it stands. Lines are split at line feeds, as httplib
/// splits them.
std::string WithoutRangeHeaders(const std::string& head, std::size_t headEnd);

} // namespace botarena
