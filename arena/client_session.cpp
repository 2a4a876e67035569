#include "arena/client_session.h"

#include "wire/controller_message.h"
#include "wire/drawing_catalogue.h"
#include "wire/frame.h"

#include <exception>
#include <sstream>

namespace botarena {

namespace {

std::int32_t InterfaceCodeOf(ConnectionKind kind) {
    return kind == ConnectionKind::Robot ? botpilot::kControllerInterfaceCode
                                         : botpilot::kGraphicsInterfaceCode;
}

std::string SecondsText(ClientSession::Clock::duration time) {
    std::ostringstream text;
    text << std::chrono::duration<double>(time).count() << " s";
    return text.str();
}

} // namespace

ClientSession::ClientSession(asio::ip::tcp::socket socket, std::shared_ptr<ConnectionRecord> record,
                             EventLog& log, double stallSeconds, Hooks hooks)
    : socket(std::move(socket)), watch(this->socket.get_executor()), record(std::move(record)),
      log(log), stallTime(std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(stallSeconds))),
      hooks(std::move(hooks)), handshake(InterfaceCodeOf(this->record->kind)) {}

void ClientSession::Start() {
    LogLine("connect: " + Describe() + " from " + record->peer);
    // A connection that never completes its handshake is a stalled one too.
    partialSince = Clock::now();
    lastHeard = Clock::now();
    Watch();
    Read();
}

void ClientSession::Read() {
    socket.async_read_some(
        asio::buffer(incoming),
        [self = shared_from_this()](const std::error_code& error, std::size_t size) {
            self->OnRead(error, size);
        });
}

void ClientSession::OnRead(const std::error_code& error, std::size_t size) {
    if (closed) {
        return;
    }
    if (error) {
        Close(error == asio::error::eof ? "client closed the connection" : error.message());
        return;
    }
    lastHeard = Clock::now();
    Process(incoming.data(), size);
    Continue();
}

void ClientSession::Continue() {
    ServeWaiting();
    if (closed) {
        return;
    }
    Watch();
    if (!outgoing.empty()) {
        Write();
    } else if (closeAfterWrite) {
        Close(*closeAfterWrite);
    } else {
        Read();
    }
}

void ClientSession::Process(const std::uint8_t* data, std::size_t size) {
    std::size_t used = 0;
    if (handshake.Current() == HandshakeValidator::Status::NeedMore) {
        switch (handshake.Feed(data, size, used)) {
        case HandshakeValidator::Status::NeedMore:
            return;
        case HandshakeValidator::Status::Rejected:
            ++record->protocolErrors;
            outgoing.push_back(0);
            closeAfterWrite = "bad handshake: " + handshake.Reason();
            // Logged now as well: the close waits for the answer byte to be written.
            LogLine("refused: " + Describe() + ": " + *closeAfterWrite);
            return;
        case HandshakeValidator::Status::Accepted:
            record->clientName = handshake.ClientName();
            handler = hooks.accepted(*this);
            outgoing.push_back(botpilot::kHandshakeAccepted);
            partialSince.reset();
            break;
        }
    }
    if (used < size) {
        TakeRequests(data + used, size - used);
    }
}

void ClientSession::TakeRequests(const std::uint8_t* data, std::size_t size) {
    std::vector<Request> requests;
    // The replies to the whole requests before a bad frame still go out, then it closes.
    frameFailure = frames.Feed(data, size, requests);
    for (Request& request : requests) {
        waiting.push_back(std::move(request));
    }
    if (frameFailure) {
        return;
    }
    // A frame left unfinished began in this batch if any frame completed in it; otherwise it
    // is still the one that was waiting before.
    if (!frames.HasPartial()) {
        partialSince.reset();
    } else if (!requests.empty() || !partialSince) {
        partialSince = Clock::now();
    }
}

void ClientSession::ServeWaiting() {
    // The replies may go one reply beyond the limit: a request is served whole or not at all.
    while (!waiting.empty() && outgoing.size() < kMaxUnsentReplyBytes && !closeAfterWrite) {
        Request request = std::move(waiting.front());
        waiting.pop_front();
        const Clock::time_point begun = Clock::now();
        Reply reply;
        try {
            reply = handler->Handle(request);
        } catch (const std::exception& error) {
            // Handlers answer every request themselves; should one ever fail, only this
            // connection pays for it, never the arena and its other clients.
            closeAfterWrite = "internal error on a request of type " +
                              std::to_string(request.type) + ": " + error.what();
            waiting.clear();
            return;
        }
        const std::vector<std::uint8_t> frame = botpilot::BuildReplyFrame(reply.message);
        outgoing.insert(outgoing.end(), frame.begin(), frame.end());
        record->Count(reply.outcome, std::chrono::duration<double>(Clock::now() - begun).count());
    }
    if (waiting.empty() && frameFailure && !closeAfterWrite) {
        ++record->protocolErrors;
        closeAfterWrite = std::move(frameFailure);
        frameFailure.reset();
    }
}

void ClientSession::Write() {
    writingSince = Clock::now();
    Watch();
    asio::async_write(socket, asio::buffer(outgoing),
                      [self = shared_from_this()](const std::error_code& error, std::size_t) {
                          if (self->closed) {
                              return;
                          }
                          self->writingSince.reset();
                          self->outgoing.clear();
                          if (error) {
                              self->Close("sending failed: " + error.message());
                          } else {
                              // Requests held back by the limit are served now; the socket is
                              // read again only once none wait.
                              self->Continue();
                          }
                      });
}

void ClientSession::Watch() {
    const std::optional<Clock::time_point>& since = writingSince ? writingSince : partialSince;
    if (!since) {
        watch.cancel();
        return;
    }
    watch.expires_at(*since + stallTime);
    watch.async_wait(
        [self = shared_from_this()](const std::error_code& error) { self->OnWatch(error); });
}

void ClientSession::OnWatch(const std::error_code& error) {
    if (error == asio::error::operation_aborted || closed) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (writingSince && now - *writingSince >= stallTime) {
        ++record->protocolErrors;
        Close("client did not take its replies within " + SecondsText(stallTime));
    } else if (!writingSince && partialSince && now - *partialSince >= stallTime) {
        ++record->protocolErrors;
        Close(std::string(handler ? "half a frame" : "an unfinished handshake") + " waited " +
              SecondsText(stallTime));
    }
}

void ClientSession::Close(const std::string& reason) {
    if (closed) {
        return;
    }
    closed = true;
    record->open = false;
    record->closeReason = reason;
    waiting.clear();
    // The lines held back come first; the closing line itself is never held back, one a
    // connection.
    log.EndSource(ConnectionSource(record->id));
    log.Line("disconnect: " + Describe() + ": " + reason);
    watch.cancel();
    std::error_code ignored;
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    if (hooks.closed) {
        hooks.closed(*this);
    }
}

std::string ClientSession::Describe() const {
    std::string text =
        std::string(KindName(record->kind)) + " connection " + std::to_string(record->id);
    if (record->robotId != 0) {
        text += " (robot " + std::to_string(record->robotId) + ")";
    }
    return text;
}

void ClientSession::LogLine(const std::string& text) {
    log.SourceLine(ConnectionSource(record->id), text);
}

} // namespace botarena
