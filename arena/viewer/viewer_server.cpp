#include "arena/viewer/viewer_server.h"

#include "arena/viewer/bounded_thread_pool.h"
#include "arena/viewer/guarded_http_server.h"
#include "arena/viewer/web_assets.h"
#include "platform/socket_calls.h"

#include <atomic>
#include <cmath>
#include <httplib.h>
#include <limits>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace botarena {

namespace {

using Clock = std::chrono::steady_clock;

/// How long each read may wait (the head of a request has a deadline of its own as a whole,
/// see GuardedHttpServer). [Units: s]
constexpr int kReadTimeoutSeconds = 2;
/// The viewer takes no request bodies. [Units: bytes]
constexpr std::size_t kMaxRequestBodyBytes = 1024;
/// A waiting stream looks this often whether the server is stopping. [Units: ms]
constexpr std::chrono::milliseconds kStopCheck{200};
/// How long Stop() lets the open streams finish before it closes them. [Units: ms]
constexpr std::chrono::milliseconds kStopGrace{1000};
/// Replay speeds accepted, as multiples of the recorded pace.
constexpr double kMinReplaySpeed = 0.1;
constexpr double kMaxReplaySpeed = 16.0;
/// The longest single wait of a replay stream. A recording's gaps may be any length (up to
/// 1e308 s): waits are taken in steps of this, and never turned into a count of clock ticks
/// whole. [Units: s]
constexpr double kLongestWaitSeconds = 1.0;
/// Any finite time may be asked for. [Units: s]
constexpr double kLowest = std::numeric_limits<double>::lowest();
constexpr double kHighest = std::numeric_limits<double>::max();

bool WriteText(httplib::DataSink& sink, const std::string& text) {
    return sink.write(text.data(), text.size());
}

/// One Server-Sent Event carrying a JSON text of one line.
bool WriteEvent(httplib::DataSink& sink, const std::string& json) {
    std::string event;
    event.reserve(json.size() + 8);
    event.append("data: ").append(json).append("\n\n");
    return WriteText(sink, event);
}

/// A query value as a finite number within [least, most]; nothing when absent; throws
/// std::invalid_argument naming the value when it is not one.
std::optional<double> NumberParameter(const httplib::Request& request, const char* name,
                                      double least, double most) {
    if (!request.has_param(name)) {
        return std::nullopt;
    }
    const std::string text = request.get_param_value(name);
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value)) {
        throw std::invalid_argument(std::string(name) + " '" + text + "' is not a number");
    }
    if (!(value >= least && value <= most)) {
        std::ostringstream range;
        range << least << " to " << most;
        throw std::invalid_argument(std::string(name) + " '" + text + "' is outside " +
                                    range.str());
    }
    return value;
}

void SetPlainError(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

} // namespace

struct ViewerServer::Impl {
    /// One of the limited stream places, given back when the stream's response is destroyed.
    class StreamPlace {
      public:
        explicit StreamPlace(Impl& owner) : owner(owner) {}
        ~StreamPlace() { owner.StreamEnded(); }
        StreamPlace(const StreamPlace&) = delete;
        StreamPlace& operator=(const StreamPlace&) = delete;

      private:
        Impl& owner;
    };

    Impl(SnapshotHub* hub, const Recording* recording, const BattleStory* story,
         ViewerLimits limits)
        : hub(hub), recording(recording), story(story), limits(limits),
          server(RequestLimitsOf(limits)) {}

    static RequestLimits RequestLimitsOf(const ViewerLimits& limits) {
        RequestLimits request;
        request.workers = limits.maxStreams + limits.spareWorkers;
        request.workersKeptForWholeRequests = limits.workersKeptForWholeRequests;
        request.requestDeadlineSeconds = limits.requestDeadlineSeconds;
        request.writeTimeoutSeconds = limits.writeTimeoutSeconds;
        return request;
    }

    void Route();
    void ServeAsset(const WebAsset& asset, httplib::Response& response) const;
    void ServeInfo(httplib::Response& response) const;
    void ServeFrame(const httplib::Request& request, httplib::Response& response) const;
    void ServeEvents(const httplib::Request& request, httplib::Response& response);
    void StreamLive(httplib::Response& response, std::shared_ptr<StreamPlace> place);
    void StreamReplay(httplib::Response& response, std::shared_ptr<StreamPlace> place,
                      std::unique_ptr<RecordingFile> file, std::size_t from, double speed);
    void StreamEnded();
    /// Waits until `due` or until the server stops; false when it stops.
    bool SleepUntil(Clock::time_point due);
    bool Stopping() const { return stopping.load(); }

    SnapshotHub* hub;           ///< live, or nothing
    const Recording* recording; ///< replay, or nothing
    const BattleStory* story;   ///< of the battle or the recording, or nothing
    ViewerLimits limits;
    GuardedHttpServer server;
    std::thread listener;
    std::atomic<bool> listenerDone{false};
    std::atomic<int> openStreams{0};
    std::atomic<bool> stopping{false};
    std::mutex stopMutex;
    std::condition_variable stopSignal;
    bool started = false;
    bool stopped = false;
};

void ViewerServer::Impl::Route() {
    server.new_task_queue = [this] {
        return new BoundedThreadPool(
            static_cast<std::size_t>(limits.maxStreams + limits.spareWorkers),
            limits.maxWaitingConnections);
    };
    const auto writeTimeout = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::duration<double>(limits.writeTimeoutSeconds));
    server.set_read_timeout(kReadTimeoutSeconds, 0);
    server.set_write_timeout(writeTimeout);
    // One request a connection: no idle kept-alive connection holds a thread, and a busy
    // answer on the accepting thread is over as soon as it is written.
    server.set_keep_alive_max_count(1);
    server.set_payload_max_length(kMaxRequestBodyBytes);
    // cpp-httplib's default also sets SO_REUSEPORT, with which a second arena binds the same
    // viewer port and the kernel splits the browsers between the two. Address reuse alone lets a
    // restarted arena take its port at once, and a taken port is refused.
    server.set_socket_options([](socket_t socket) {
        botpilot::AllowPortReuse(static_cast<botpilot::SocketHandle>(socket));
    });
    // The page may load nothing but its own files, whatever a recording's names hold.
    server.set_default_headers({
        {"Content-Security-Policy",
         "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"Cache-Control", "no-cache"},
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            SetPlainError(response, 500, "The viewer failed on this request");
        });

    for (const WebAsset& asset : WebAssets()) {
        const std::string path =
            asset.name == "index.html" ? std::string("/") : "/" + std::string(asset.name);
        server.Get(path, [this, &asset](const httplib::Request&, httplib::Response& response) {
            ServeAsset(asset, response);
        });
    }
    server.Get("/info", [this](const httplib::Request&, httplib::Response& response) {
        ServeInfo(response);
    });
    server.Get("/frame", [this](const httplib::Request& request, httplib::Response& response) {
        ServeFrame(request, response);
    });
    server.Get("/events", [this](const httplib::Request& request, httplib::Response& response) {
        ServeEvents(request, response);
    });
    server.Get("/story", [this](const httplib::Request&, httplib::Response& response) {
        if (!story) {
            SetPlainError(response, 404, "This viewer tells no story");
            return;
        }
        const std::shared_ptr<const std::string> text = story->Text();
        response.set_content(*text, "application/json");
    });
}

void ViewerServer::Impl::ServeAsset(const WebAsset& asset, httplib::Response& response) const {
    response.set_content(asset.body.data(), asset.body.size(), std::string(asset.contentType));
}

void ViewerServer::Impl::ServeInfo(httplib::Response& response) const {
    nlohmann::json info = {{"mode", recording ? "replay" : "live"}};
    if (recording) {
        info["frames"] = recording->FrameCount();
        info["start"] = recording->FrameTime(0);
        info["end"] = recording->FrameTime(recording->FrameCount() - 1);
    }
    response.set_content(info.dump(), "application/json");
}

void ViewerServer::Impl::ServeFrame(const httplib::Request& request,
                                    httplib::Response& response) const {
    if (hub) {
        const SnapshotHub::Text newest = hub->Newest();
        if (!newest) {
            SetPlainError(response, 404, "No snapshot yet");
            return;
        }
        response.set_content(*newest, "application/json");
        return;
    }
    std::optional<double> time;
    try {
        time = NumberParameter(request, "time", kLowest, kHighest);
    } catch (const std::invalid_argument& error) {
        SetPlainError(response, 400, error.what());
        return;
    }
    try {
        const std::unique_ptr<RecordingFile> file = recording->Open();
        response.set_content(recording->ReadFrame(*file, recording->FrameAt(time.value_or(0.0))),
                             "application/json");
    } catch (const RecordingError& error) {
        SetPlainError(response, 500, error.what());
    }
}

void ViewerServer::Impl::ServeEvents(const httplib::Request& request, httplib::Response& response) {
    if (openStreams.fetch_add(1) >= limits.maxStreams) {
        --openStreams;
        SetPlainError(response, 503,
                      "The viewer serves at most " + std::to_string(limits.maxStreams) +
                          " event streams at once");
        return;
    }
    auto place = std::make_shared<StreamPlace>(*this);
    if (hub) {
        StreamLive(response, std::move(place));
        return;
    }
    std::optional<double> time;
    std::optional<double> speed;
    std::unique_ptr<RecordingFile> file;
    try {
        time = NumberParameter(request, "time", kLowest, kHighest);
        speed = NumberParameter(request, "speed", kMinReplaySpeed, kMaxReplaySpeed);
    } catch (const std::invalid_argument& error) {
        SetPlainError(response, 400, error.what());
        return;
    }
    try {
        file = recording->Open();
    } catch (const RecordingError& error) {
        SetPlainError(response, 500, error.what());
        return;
    }
    StreamReplay(response, std::move(place), std::move(file),
                 recording->FrameAt(time.value_or(0.0)), speed.value_or(1.0));
}

void ViewerServer::Impl::StreamLive(httplib::Response& response,
                                    std::shared_ptr<StreamPlace> place) {
    struct State {
        std::shared_ptr<StreamPlace> place;
        bool greeted = false;
        std::uint64_t sequence = 0;
        Clock::time_point lastWrite = Clock::now();
    };
    auto state = std::make_shared<State>();
    state->place = std::move(place);
    const auto keepAlive = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(limits.keepAliveSeconds));
    response.set_chunked_content_provider(
        "text/event-stream", [this, state, keepAlive](std::size_t, httplib::DataSink& sink) {
            if (!state->greeted) {
                // A browser that lost the stream asks again after a second.
                state->greeted = true;
                return WriteText(sink, "retry: 1000\n\n");
            }
            // Each call waits for one thing to say. A newer snapshot goes out even while the
            // server stops: once the battle is over, that is the final one.
            for (;;) {
                const SnapshotHub::Update update = hub->WaitNewer(
                    state->sequence, Stopping() ? std::chrono::milliseconds(0) : kStopCheck);
                if (update.status == SnapshotHub::Update::Status::Snapshot) {
                    state->sequence = update.sequence;
                    state->lastWrite = Clock::now();
                    return WriteEvent(sink, *update.text);
                }
                if (update.status == SnapshotHub::Update::Status::Closed || Stopping()) {
                    sink.done();
                    return true;
                }
                if (Clock::now() - state->lastWrite >= keepAlive) {
                    state->lastWrite = Clock::now();
                    return WriteText(sink, ": nothing new\n\n");
                }
            }
        });
}

void ViewerServer::Impl::StreamReplay(httplib::Response& response,
                                      std::shared_ptr<StreamPlace> place,
                                      std::unique_ptr<RecordingFile> file, std::size_t from,
                                      double speed) {
    struct State {
        std::shared_ptr<StreamPlace> place;
        std::unique_ptr<RecordingFile> file;
        std::size_t next = 0;
        bool greeted = false;
        Clock::time_point begun;
        Clock::time_point lastWrite;
    };
    auto state = std::make_shared<State>();
    state->place = std::move(place);
    state->file = std::move(file);
    state->next = from;
    const double keepAlive = limits.keepAliveSeconds;
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, state, from, speed, keepAlive](std::size_t, httplib::DataSink& sink) {
            if (!state->greeted) {
                state->greeted = true;
                state->begun = Clock::now();
                state->lastWrite = state->begun;
                return WriteText(sink, "retry: 1000\n\n");
            }
            if (state->next >= recording->FrameCount()) {
                WriteText(sink, "event: end\ndata: {}\n\n");
                sink.done();
                return true;
            }
            // Each snapshot goes out when its time has come since the first, at the pace asked.
            // In seconds as a double all along: a gap between two finite times may be
            // infinite.
            const double offset =
                (recording->FrameTime(state->next) - recording->FrameTime(from)) / speed;
            for (;;) {
                const auto now = Clock::now();
                const double left =
                    offset - std::chrono::duration<double>(now - state->begun).count();
                if (!(left > 0.0)) {
                    break;
                }
                const double sinceWrite =
                    std::chrono::duration<double>(now - state->lastWrite).count();
                if (sinceWrite >= keepAlive) {
                    state->lastWrite = now;
                    return WriteText(sink, ": nothing new\n\n");
                }
                const double wait = std::min({left, keepAlive - sinceWrite, kLongestWaitSeconds});
                if (!SleepUntil(now + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(wait)))) {
                    sink.done();
                    return true;
                }
            }
            try {
                const std::string text = recording->ReadFrame(*state->file, state->next);
                ++state->next;
                state->lastWrite = Clock::now();
                return WriteEvent(sink, text);
            } catch (const RecordingError&) {
                return false;
            }
        });
}

void ViewerServer::Impl::StreamEnded() {
    {
        const std::lock_guard<std::mutex> lock(stopMutex);
        --openStreams;
    }
    stopSignal.notify_all();
}

bool ViewerServer::Impl::SleepUntil(Clock::time_point due) {
    std::unique_lock<std::mutex> lock(stopMutex);
    return !stopSignal.wait_until(lock, due, [this] { return Stopping(); });
}

ViewerServer::ViewerServer(SnapshotHub& hub, ViewerLimits limits, const BattleStory* story)
    : impl(std::make_unique<Impl>(&hub, nullptr, story, limits)) {
    impl->Route();
}

ViewerServer::ViewerServer(const Recording& recording, ViewerLimits limits)
    : impl(std::make_unique<Impl>(nullptr, &recording, &recording.Story(), limits)) {
    impl->Route();
}

ViewerServer::~ViewerServer() {
    Stop();
}

std::uint16_t ViewerServer::Start(const std::string& address, int port) {
    if (impl->started) {
        throw std::logic_error("The viewer is started already");
    }
    int bound = port;
    if (port == 0) {
        bound = impl->server.bind_to_any_port(address);
    } else if (!impl->server.bind_to_port(address, port)) {
        bound = -1;
    }
    if (bound <= 0) {
        throw std::runtime_error("Cannot listen on " + address + " port " +
                                 (port == 0 ? std::string("(any)") : std::to_string(port)) +
                                 " for the viewer");
    }
    impl->started = true;
    impl->listener = std::thread([impl = impl.get()] {
        impl->server.listen_after_bind();
        impl->listenerDone = true;
    });
    // cpp-httplib's stop() does nothing until the listening loop has begun: wait for it, so
    // that a Stop() right after Start() cannot leave the loop running.
    while (!impl->server.is_running() && !impl->listenerDone) {
        std::this_thread::yield();
    }
    return static_cast<std::uint16_t>(bound);
}

void ViewerServer::Stop() {
    if (!impl->started || impl->stopped) {
        return;
    }
    impl->stopped = true;
    {
        const std::lock_guard<std::mutex> lock(impl->stopMutex);
        impl->stopping = true;
    }
    impl->stopSignal.notify_all();
    {
        // The streams send what is left (the final snapshot of a battle) and end; one whose
        // browser takes nothing is cut off by the server's stop after the grace.
        std::unique_lock<std::mutex> lock(impl->stopMutex);
        impl->stopSignal.wait_for(lock, kStopGrace, [this] { return impl->openStreams == 0; });
    }
    impl->server.stop();
    impl->listener.join();
}

std::string ViewerAddress(const std::string& address, std::uint16_t port) {
    std::string host = address;
    if (host == "0.0.0.0") {
        host = "127.0.0.1";
    } else if (host == "::") {
        host = "[::1]";
    } else if (host.find(':') != std::string::npos) {
        host = "[" + host + "]";
    }
    return "http://" + host + ":" + std::to_string(port) + "/";
}

} // namespace botarena
