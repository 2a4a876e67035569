#include "arena/viewer/guarded_http_server.h"

#include "arena/viewer/bounded_thread_pool.h"
#include "platform/socket_calls.h"
#include "platform/wait_ready.h"

#include <algorithm>
#include <cctype>
#include <chrono>

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

/// The platform's deadline for `due`, at most `mostMilliseconds` from now.
botpilot::Deadline DeadlineBy(Clock::time_point due, int mostMilliseconds) {
    const std::chrono::duration<double> left = due - Clock::now();
    return botpilot::Deadline::After(std::clamp(left.count(), 0.0, mostMilliseconds / 1000.0));
}

botpilot::SocketHandle HandleOf(socket_t socket) {
    return static_cast<botpilot::SocketHandle>(socket);
}

/// An httplib stream's count of bytes read: some, 0 at the peer's end, -1 otherwise.
ssize_t BytesRead(const botpilot::IoResult& result) {
    switch (result.status) {
    case botpilot::IoStatus::Ok:
        return static_cast<ssize_t>(result.bytes);
    case botpilot::IoStatus::Closed:
        return 0;
    default:
        return -1;
    }
}

/// An httplib stream's count of bytes written: some, else -1 (httplib writes on while it gets
/// 0, so a peer gone is a failure here).
ssize_t BytesWritten(const botpilot::IoResult& result) {
    return result.status == botpilot::IoStatus::Ok ? static_cast<ssize_t>(result.bytes) : -1;
}

/// A short answer written without waiting: it fits in the socket's buffer, and a client that
/// takes nothing loses it.
void WriteAnswer(socket_t socket, int status, const char* reason, const std::string& text) {
    const std::string body = text + "\n";
    const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                               "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    botpilot::SendOn(HandleOf(socket), reinterpret_cast<const std::uint8_t*>(answer.data()),
                     answer.size(), botpilot::Deadline::After(0.0));
}

/// Ends a connection. What the client sent and nobody read is taken first: closing on unread
/// bytes resets the connection, which may cost the client the answer just written.
void CloseConnection(socket_t socket) {
    botpilot::ShutdownSending(HandleOf(socket));
    std::uint8_t scratch[kReadChunkBytes];
    for (int i = 0; i < 16 && botpilot::ReceiveOn(HandleOf(socket), scratch, sizeof scratch,
                                                  botpilot::Deadline::After(0.0))
                                      .status == botpilot::IoStatus::Ok;
         ++i) {
    }
    botpilot::CloseSocket(HandleOf(socket));
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
    Status ReadUntil(socket_t socket, Clock::time_point until, Stopped stopped) {
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
            std::uint8_t chunk[kReadChunkBytes];
            const botpilot::IoResult got = botpilot::ReceiveOn(
                HandleOf(socket), chunk, sizeof chunk, DeadlineBy(until, kStopCheckMilliseconds));
            if (got.status == botpilot::IoStatus::TimedOut) {
                continue;
            }
            if (got.status != botpilot::IoStatus::Ok) {
                return Status::Closed;
            }
            bytes.append(reinterpret_cast<const char*>(chunk), got.bytes);
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
    RequestStream(socket_t socket, std::string head, Clock::time_point deadline,
                  int readTimeoutMilliseconds, int writeTimeoutMilliseconds)
        : socketHandle(socket), head(std::move(head)), deadline(deadline),
          readTimeoutMilliseconds(readTimeoutMilliseconds),
          writeTimeoutMilliseconds(writeTimeoutMilliseconds) {}

    bool is_readable() const override {
        return headRead < head.size() ||
               botpilot::WaitReady(HandleOf(socketHandle), botpilot::WaitFor::Read,
                                   DeadlineBy(deadline, readTimeoutMilliseconds)) ==
                   botpilot::WaitResult::Ready;
    }
    bool is_writable() const override {
        return botpilot::WaitReady(HandleOf(socketHandle), botpilot::WaitFor::Write,
                                   WriteDeadline()) == botpilot::WaitResult::Ready;
    }
    ssize_t read(char* ptr, size_t size) override {
        if (headRead < head.size()) {
            const std::size_t take = std::min(size, head.size() - headRead);
            std::copy_n(head.data() + headRead, take, ptr);
            headRead += take;
            return static_cast<ssize_t>(take);
        }
        return BytesRead(botpilot::ReceiveOn(HandleOf(socketHandle),
                                             reinterpret_cast<std::uint8_t*>(ptr), size,
                                             DeadlineBy(deadline, readTimeoutMilliseconds)));
    }
    ssize_t write(const char* ptr, size_t size) override {
        return BytesWritten(botpilot::SendOn(HandleOf(socketHandle),
                                             reinterpret_cast<const std::uint8_t*>(ptr), size,
                                             WriteDeadline()));
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        botpilot::EndpointOf(HandleOf(socketHandle), true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        botpilot::EndpointOf(HandleOf(socketHandle), false, ip, port);
    }
    socket_t socket() const override { return socketHandle; }

  private:
    botpilot::Deadline WriteDeadline() const {
        return botpilot::Deadline::After(writeTimeoutMilliseconds / 1000.0);
    }

    socket_t socketHandle;
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
