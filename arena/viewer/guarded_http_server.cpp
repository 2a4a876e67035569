#include "arena/viewer/guarded_http_server.h"

#include "arena/viewer/bounded_thread_pool.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace botarena {

namespace {

using Clock = std::chrono::steady_clock;

/// A thread reading a request's head looks this often whether the server is stopping.
/// [Units: ms]
constexpr int kStopCheckMilliseconds = 200;
/// Bytes taken from the socket at once. [Units: bytes]
constexpr std::size_t kReadChunkBytes = 4096;

Clock::time_point After(Clock::time_point start, double seconds) {
    // Limits are a few seconds; the bound keeps the conversion to a count of ticks defined.
    return start + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>(std::clamp(seconds, 0.0, 3600.0)));
}

/// Milliseconds from now to `due`, at least 0 and at most `most`.
int MillisecondsUntil(Clock::time_point due, int most) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, most));
}

/// Waits up to `milliseconds` for `events` on `socket`; true when they came (or an error,
/// which the next call then reports).
bool Poll(int socket, short events, int milliseconds) {
    pollfd entry{socket, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, milliseconds);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0;
    }
}

/// A short answer written without waiting: it fits in the socket's buffer, and a client that
/// takes nothing loses it.
void WriteAnswer(int socket, int status, const char* reason, const std::string& text) {
    const std::string body = text + "\n";
    const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                               "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    ::send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

/// Ends a connection. What the client sent and nobody read is taken first: closing on unread
/// bytes resets the connection, which may cost the client the answer just written.
void CloseConnection(int socket) {
    ::shutdown(socket, SHUT_WR);
    char scratch[kReadChunkBytes];
    for (int i = 0; i < 16 && ::recv(socket, scratch, sizeof scratch, MSG_DONTWAIT) > 0; ++i) {
    }
    ::close(socket);
}

bool SameNameIgnoringCase(const std::string& name, const char* expected) {
    std::size_t i = 0;
    for (; i < name.size() && expected[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != expected[i]) {
            return false;
        }
    }
    return i == name.size() && expected[i] == '\0';
}

/// The request head as it arrives, and where it ends.
class HeadReader {
  public:
    enum class Status { Whole, Partial, TooLarge, Closed };

    explicit HeadReader(std::size_t maxBytes) : maxBytes(maxBytes) {}

    /// Reads until the head is whole, `until` passes, or `stopped` says so.
    template <typename Stopped>
    Status ReadUntil(int socket, Clock::time_point until, Stopped stopped) {
        for (;;) {
            if (end != std::string::npos) {
                return end <= maxBytes ? Status::Whole : Status::TooLarge;
            }
            if (bytes.size() > maxBytes) {
                return Status::TooLarge;
            }
            if (stopped()) {
                return Status::Closed;
            }
            if (Clock::now() >= until) {
                return Status::Partial;
            }
            if (!Poll(socket, POLLIN, MillisecondsUntil(until, kStopCheckMilliseconds))) {
                continue;
            }
            char chunk[kReadChunkBytes];
            const ssize_t got = ::recv(socket, chunk, sizeof chunk, MSG_DONTWAIT);
            if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
                continue;
            }
            if (got <= 0) {
                return Status::Closed;
            }
            bytes.append(chunk, static_cast<std::size_t>(got));
            FindEnd();
        }
    }

    const std::string& Bytes() const { return bytes; }
    std::size_t End() const { return end; }

  private:
    /// The head ends at the first empty line ("\r\n") after the request line, as httplib reads it.
    void FindEnd() {
        for (std::size_t newline; (newline = bytes.find('\n', scanned)) != std::string::npos;) {
            if (lines > 0 && newline == scanned + 1 && bytes[scanned] == '\r') {
                end = newline + 1;
                return;
            }
            ++lines;
            scanned = newline + 1;
        }
    }

    std::size_t maxBytes;
    std::string bytes;
    std::size_t scanned = 0;
    std::size_t lines = 0;
    std::size_t end = std::string::npos;
};

/// httplib's view of one connection: the head read already, then the socket, every read
/// bounded by the request's deadline.
class RequestStream final : public httplib::Stream {
  public:
    RequestStream(int socket, std::string head, Clock::time_point deadline,
                  int readTimeoutMilliseconds, int writeTimeoutMilliseconds)
        : socketHandle(socket), head(std::move(head)), deadline(deadline),
          readTimeoutMilliseconds(readTimeoutMilliseconds),
          writeTimeoutMilliseconds(writeTimeoutMilliseconds) {}

    bool is_readable() const override {
        return headRead < head.size() ||
               Poll(socketHandle, POLLIN, MillisecondsUntil(deadline, readTimeoutMilliseconds));
    }
    bool is_writable() const override {
        return Poll(socketHandle, POLLOUT, writeTimeoutMilliseconds);
    }
    ssize_t read(char* ptr, size_t size) override {
        if (headRead < head.size()) {
            const std::size_t take = std::min(size, head.size() - headRead);
            std::copy_n(head.data() + headRead, take, ptr);
            headRead += take;
            return static_cast<ssize_t>(take);
        }
        if (!is_readable()) {
            return -1;
        }
        return ::recv(socketHandle, ptr, size, MSG_DONTWAIT);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable()) {
            return -1;
        }
        return ::send(socketHandle, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        Address(::getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        Address(::getsockname, ip, port);
    }
    socket_t socket() const override { return socketHandle; }

  private:
    template <typename Query> void Address(Query query, std::string& ip, int& port) const {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        char host[NI_MAXHOST] = "";
        char service[NI_MAXSERV] = "";
        if (query(socketHandle, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, service,
                          sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
            ip = host;
            port = std::atoi(service);
        }
    }

    int socketHandle;
    std::string head;
    std::size_t headRead = 0;
    Clock::time_point deadline;
    int readTimeoutMilliseconds;
    int writeTimeoutMilliseconds;
};

/// Counts a thread as busy for as long as it runs one connection.
class BusyMark {
  public:
    explicit BusyMark(std::atomic<int>& count) : count(count) { ++count; }
    ~BusyMark() { --count; }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

  private:
    std::atomic<int>& count;
};

} // namespace

GuardedHttpServer::GuardedHttpServer(RequestLimits limits) : limits(limits) {}

bool GuardedHttpServer::Stopped() const {
    return svr_sock_ == INVALID_SOCKET;
}

bool GuardedHttpServer::process_and_close_socket(socket_t sock) {
    if (BoundedThreadPool::AnsweringOverflow()) {
        // The accepting thread itself, the queue being full: it answers without reading, so
        // that no client can hold it.
        WriteAnswer(sock, 503, "Service Unavailable", "The viewer is busy");
        CloseConnection(sock);
        return true;
    }
    const BusyMark busy(busyWorkers);
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = After(start, limits.requestDeadlineSeconds);
    HeadReader head(limits.maxHeadBytes);
    auto stopped = [this] { return Stopped(); };
    HeadReader::Status status = head.ReadUntil(
        sock, std::min(deadline, After(start, limits.wholeRequestGraceSeconds)), stopped);
    if (status == HeadReader::Status::Partial) {
        // A slow request keeps this thread only while enough others stay free for whole ones,
        // so that trickling clients can never take every thread.
        if (limits.workers - busyWorkers.load() < limits.workersKeptForWholeRequests) {
            WriteAnswer(sock, 503, "Service Unavailable", "The viewer is busy");
            CloseConnection(sock);
            return true;
        }
        status = head.ReadUntil(sock, deadline, stopped);
    }
    bool served = false;
    switch (status) {
    case HeadReader::Status::Whole: {
        const auto toMilliseconds = [](double seconds) {
            return static_cast<int>(std::clamp(seconds, 0.0, 3600.0) * 1000.0);
        };
        RequestStream stream(sock, WithoutRangeHeaders(head.Bytes(), head.End()), deadline,
                             toMilliseconds(static_cast<double>(read_timeout_sec_) +
                                            static_cast<double>(read_timeout_usec_) / 1e6),
                             toMilliseconds(limits.writeTimeoutSeconds));
        bool connectionClosed = false;
        served = process_request(stream, true, connectionClosed, nullptr);
        break;
    }
    case HeadReader::Status::TooLarge:
        WriteAnswer(sock, 431, "Request Header Fields Too Large",
                    "A request's head may hold at most " + std::to_string(limits.maxHeadBytes) +
                        " bytes");
        break;
    case HeadReader::Status::Partial:
        WriteAnswer(sock, 408, "Request Timeout",
                    "A request must arrive within " +
                        std::to_string(static_cast<int>(limits.requestDeadlineSeconds * 1000.0)) +
                        " ms");
        break;
    case HeadReader::Status::Closed:
        break;
    }
    CloseConnection(sock);
    return served;
}

std::string WithoutRangeHeaders(const std::string& head, std::size_t headEnd) {
    std::string kept;
    kept.reserve(head.size());
    std::size_t lineStart = 0;
    for (bool requestLine = true; lineStart < headEnd; requestLine = false) {
        const std::size_t newline = head.find('\n', lineStart);
        const std::size_t next = newline == std::string::npos ? headEnd : newline + 1;
        const std::string line = head.substr(lineStart, next - lineStart);
        std::string name = line.substr(0, std::min(line.find(':'), line.size()));
        const std::size_t first = name.find_first_not_of(" \t");
        const std::size_t last = name.find_last_not_of(" \t");
        name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
        // Any Range, with however many ranges: every answer is its whole content at most.
        if (requestLine || line.find(':') == std::string::npos ||
            !SameNameIgnoringCase(name, "range")) {
            kept += line;
        }
        lineStart = next;
    }
    kept.append(head, headEnd, std::string::npos);
    return kept;
}

} // namespace botarena
